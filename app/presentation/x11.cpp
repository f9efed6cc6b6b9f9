// Presentation on X11, where sdl12-compat puts SDL 1.2 on SDL 2: the renderer, the
// framebuffer and the scaling, chosen for what the display can do.
#include "../presentation.h"

#include <X11/Xlib.h>

#include <cstdlib>

// Server extensions through which OpenGL reaches a GPU: Mesa's DRI3 and DRI2, NVIDIA's NV-GLX.
const char *const GPU_EXTENSIONS[] = {"DRI3", "DRI2", "NV-GLX"};

// A server with none of the extensions gets OpenGL drawn on the CPU.
static bool display_has_gpu()
{
    Display *display = XOpenDisplay(NULL);
    if (!display)
        return false;
    bool found = false;
    for (const char *name : GPU_EXTENSIONS) {
        int opcode = 0;
        int event = 0;
        int error = 0;
        found = found || XQueryExtension(display, name, &opcode, &event, &error);
    }
    XCloseDisplay(display);
    return found;
}

// SDL 2 presents through OpenGL by default, which without a GPU means a software GL
// context that costs more per frame, at start-up and in memory than the window it shows.
// A 320 x 240 window needs no scaling: SDL's software renderer presents it directly.
// Full screen scales the picture up: a GPU does that for next to nothing, and without
// one SDL's software renderer does it for a third of what software OpenGL costs.
// Scaled by whole blocks of pixels, full screen looks as sharp as a 320 x 240 mode and
// costs half what smoothing does. A variable the person has already set wins.
void choose_presentation(bool fullscreen)
{
    if (fullscreen)
        setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
    if (fullscreen && display_has_gpu())
        return;
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
}
