// Presentation on X11, where sdl12-compat puts SDL 1.2 on SDL 2: the renderer, the
// framebuffer and the scaling, chosen for what the display and the desktop ask.
#include "../presentation.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Server extensions through which OpenGL reaches a GPU: Mesa's DRI3 and DRI2, NVIDIA's NV-GLX.
const char *const GPU_EXTENSIONS[] = {"DRI3", "DRI2", "NV-GLX"};
const double BASE_DPI = 96.0;    // X resolution at which a program draws at its own size
const double SCALED_DPI = 192.0; // from here a desktop asks X programs to scale themselves
const int FACTOR_TEXT_MAX = 16;  // room for a scale factor written out

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

// Reads Xft.dpi from the X resources, as toolkits do; 0 where none is set.
static double resource_dpi(Display *display)
{
    const char *resources = XResourceManagerString(display);
    if (!resources)
        return 0.0;
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    char *type = NULL;
    XrmValue value = {};
    double dpi = 0.0;
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr)
        dpi = atof(value.addr);
    XrmDestroyDatabase(database);
    return dpi;
}

// A desktop that scales X programs itself (GNOME, sway) leaves Xft.dpi low; Plasma at 2x
// sets it to 192 and leaves the scaling to each program, by the whole factor nearest.
int desktop_scale()
{
    Display *display = XOpenDisplay(NULL);
    if (!display)
        return 1;
    double dpi = resource_dpi(display);
    XCloseDisplay(display);
    return dpi >= SCALED_DPI ? static_cast<int>(lround(dpi / BASE_DPI)) : 1;
}

// The window at the desktop's scale, unless the person chose one; the picture stays 320 x 240.
// True when it is scaled.
static bool scale_window()
{
    int scale = desktop_scale();
    if (scale == 1 || getenv("SDL12COMPAT_WINDOW_SCALING"))
        return false;
    char factor[FACTOR_TEXT_MAX];
    snprintf(factor, sizeof factor, "%d", scale);
    setenv("SDL12COMPAT_WINDOW_SCALING", factor, 1);
    return true;
}

// KDE frames Wayland windows itself, and there SDL 2.32's Wayland window, framed by libdecor,
// never shows (a person may choose SDL_VIDEODRIVER=wayland): leave the frame to KDE.
static void frame_by_desktop()
{
    const char *desktop = getenv("XDG_CURRENT_DESKTOP");
    if (desktop && strstr(desktop, "KDE"))
        setenv("SDL_VIDEO_WAYLAND_ALLOW_LIBDECOR", "0", 0);
}

// SDL 2 presents through OpenGL by default, which without a GPU means a software GL
// context that costs more per frame, at start-up and in memory than the window it shows.
// A 320 x 240 window needs no scaling: SDL's software renderer presents it directly.
// Full screen scales the picture up: a GPU does that for next to nothing, and without
// one SDL's software renderer does it for a third of what software OpenGL costs.
// Scaled by whole blocks of pixels, full screen looks as sharp as a 320 x 240 mode and
// costs half what smoothing does; so does a window at the desktop's scale. A variable the
// person has already set wins.
void choose_presentation(bool fullscreen)
{
    frame_by_desktop();
    if (fullscreen || scale_window())
        setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
    if (fullscreen && display_has_gpu())
        return;
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
}
