// Presentation in a web page: the page itself scales the canvas, by whole pixels in full
// screen, which it asked for at the answer; the program tells it that it has started.
#include "../presentation.h"

#include <cstddef>
#include <emscripten.h>

EM_JS(void, tell_page_started, (), { Module.started(); });

bool display_reachable()
{
    return true;
}

const char *unanswered_displays()
{
    return NULL;
}

void choose_presentation(bool fullscreen)
{
    (void)fullscreen;
    tell_page_started();
}
