// The full-screen question in a web page: the page asks in its own dialog as soon as it
// loads, so that full screen can come from the answering gesture; the program waits for it.
#include "../question.h"

#include <emscripten.h>

// The page keeps the answer as a promise of true for Yes, false for No.
EM_ASYNC_JS(int, wait_for_answer, (), { return (await Module.answer) ? 1 : 0; });

bool ask_fullscreen()
{
    return wait_for_answer() != 0;
}
