// Presentation in a web page: the page itself scales the canvas by whole pixels in full
// screen; the program tells it that it has started.
#include "../presentation.h"

#include <emscripten.h>

EM_JS(void, tell_page_started, (int fullscreen), { Module.started(fullscreen != 0); });

void choose_presentation(bool fullscreen)
{
    tell_page_started(fullscreen);
}
