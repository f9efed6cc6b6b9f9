// Presentation on Linux, where sdl12-compat puts SDL 1.2 on SDL 2 or SDL 3: the renderer, the
// framebuffer and the scaling, chosen for the driver SDL takes (X11 or Wayland), the display
// and what the desktop asks.
#include "../presentation.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Server extensions through which OpenGL reaches a GPU: Mesa's DRI3 and DRI2, NVIDIA's NV-GLX.
const char *const GPU_EXTENSIONS[] = {"DRI3", "DRI2", "NV-GLX"};
const double BASE_DPI = 96.0;      // X resolution at which a program draws at its own size
const double SCALED_DPI = 192.0;   // from here a desktop asks X programs to scale themselves
const int FACTOR_TEXT_MAX = 16;    // room for a scale factor written out
const uint32_t OUTPUT_VERSION = 2; // the first wl_output to tell its scale
const char *const RENDER_NODES = "/dev/dri"; // where a GPU offers rendering
const char RENDER_NODE_PREFIX[] = "renderD"; // a render node's name, then its number
const int UNANSWERED_MAX = 256;              // room for the names of the displays tried
// The global through which a Wayland compositor offers to frame windows itself.
const char *const DECORATION_MANAGER = "zxdg_decoration_manager_v1";
const char PLUGIN_SUFFIX[] = ".so"; // a libdecor plugin's file name ends so
// The global without which SDL 3 leaves a Wayland desktop to XWayland, where X11 is there too.
const char *const FIFO_MANAGER = "wp_fifo_manager_v1";
const char *const SDL3_LIBRARY = "libSDL3.so.0"; // SDL 3 as sdl2-compat loads it

static int output_scale = 1;            // the largest scale among the Wayland outputs
static bool compositor_frames = false;  // the compositor frames Wayland windows itself
static bool compositor_paces = false;   // the compositor offers SDL 3 the frame pacing it needs
static wl_display *compositor;          // held from reading the globals until the end
static char unanswered[UNANSWERED_MAX]; // the displays named that did not answer
static int compositor_socket = -1;      // the held connection's, watched on SDL's Wayland driver

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
static bool scale_window(int scale)
{
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

// Wayland tells each output's scale; bound at version 2, the output sends nothing else zavit
// needs to handle.
static void output_geometry(void *, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t,
                            const char *, const char *, int32_t)
{
}

static void output_mode(void *, wl_output *, uint32_t, int32_t, int32_t, int32_t)
{
}

// All that the output tells at binding has come: zavit keeps only its scale.
static void output_done(void *, wl_output *output)
{
    wl_output_destroy(output);
}

static void output_scaled(void *, wl_output *, int32_t factor)
{
    output_scale = factor > output_scale ? factor : output_scale;
}

static const wl_output_listener OUTPUT_LISTENER = {output_geometry, output_mode, output_done,
                                                   output_scaled,   NULL,        NULL};

static void global_added(void *, wl_registry *registry, uint32_t name, const char *interface,
                         uint32_t version)
{
    compositor_frames = compositor_frames || strcmp(interface, DECORATION_MANAGER) == 0;
    compositor_paces = compositor_paces || strcmp(interface, FIFO_MANAGER) == 0;
    if (strcmp(interface, wl_output_interface.name) != 0 || version < OUTPUT_VERSION)
        return;
    void *output = wl_registry_bind(registry, name, &wl_output_interface, OUTPUT_VERSION);
    wl_output_add_listener(static_cast<wl_output *>(output), &OUTPUT_LISTENER, NULL);
}

static void global_removed(void *, wl_registry *, uint32_t)
{
}

static const wl_registry_listener REGISTRY_LISTENER = {global_added, global_removed};

// The compositor's scale for its outputs, which SDL's Wayland window does not take itself, and
// what it offers: two round trips, one for the globals and one for what the outputs tell, each
// output let go once told. The connection stays, to tell later whether the compositor has gone.
static void read_wayland_globals()
{
    if (compositor)
        return;
    compositor = wl_display_connect(NULL);
    if (!compositor)
        return;
    wl_registry *registry = wl_display_get_registry(compositor);
    wl_registry_add_listener(registry, &REGISTRY_LISTENER, NULL);
    wl_display_roundtrip(compositor);
    wl_display_roundtrip(compositor);
    wl_registry_destroy(registry);
}

// sdl12-compat loads SDL 2 as it is loaded itself, and sdl2-compat, SDL 2 on SDL 3, loads SDL 3
// likewise: SDL 3 already in the process is SDL 3 beneath.
static bool sdl3_beneath()
{
    void *sdl3 = dlopen(SDL3_LIBRARY, RTLD_LAZY | RTLD_NOLOAD);
    if (sdl3)
        dlclose(sdl3);
    return sdl3 != NULL;
}

// SDL tries the drivers the person names in turn: Wayland is taken where it comes before an
// X11 that has a display.
static bool wayland_named_first(const char *asked)
{
    const char *wayland = strstr(asked, "wayland");
    const char *x11 = getenv("DISPLAY") ? strstr(asked, "x11") : NULL;
    return wayland && (!x11 || x11 > wayland);
}

// Which driver SDL will take, told without starting it: a trial start would start libdecor,
// and its GTK plugin, twice, and GTK warns at the second. Both SDLs take Wayland where there is
// no X11. Where both are there, SDL 2 takes X11, and SDL 3 takes Wayland if the compositor
// offers fifo-v1.
static bool sdl_takes_wayland()
{
    const char *asked = getenv("SDL_VIDEODRIVER");
    if (asked)
        return wayland_named_first(asked);
    if (!getenv("WAYLAND_DISPLAY"))
        return false;
    if (!getenv("DISPLAY"))
        return true;
    if (!sdl3_beneath())
        return false;
    read_wayland_globals();
    return compositor_paces;
}

// Whether FOLDER holds a file whose name starts with PREFIX and ends with SUFFIX.
static bool folder_holds(const char *folder, const char *prefix, const char *suffix)
{
    DIR *entries = opendir(folder);
    bool found = false;
    for (dirent *entry; entries && !found && (entry = readdir(entries));) {
        size_t length = strlen(entry->d_name);
        size_t tail = strlen(suffix);
        found = strncmp(entry->d_name, prefix, strlen(prefix)) == 0 && length >= tail &&
                strcmp(entry->d_name + length - tail, suffix) == 0;
    }
    if (entries)
        closedir(entries);
    return found;
}

static bool has_libdecor_plugin()
{
    const char *folder = getenv("LIBDECOR_PLUGIN_DIR");
    return folder_holds(folder ? folder : ZAVIT_LIBDECOR_PLUGINS, "", PLUGIN_SUFFIX);
}

// GNOME leaves a Wayland window's frame to the program, which SDL 3 draws through libdecor and
// a plugin; with none installed the window would have no title bar to move or close it by, and
// libdecor says so at each start. GNOME frames XWayland's windows itself, so there X11 is
// chosen before SDL first starts (SDL 2 takes it anyway). Compositors that frame windows
// themselves (KDE, sway) say so in the registry. Full screen needs no frame.
static bool frameless_on_wayland(bool fullscreen)
{
    if (fullscreen || getenv("SDL_VIDEODRIVER") || !getenv("DISPLAY") || !getenv("WAYLAND_DISPLAY"))
        return false;
    if (has_libdecor_plugin())
        return false;
    read_wayland_globals();
    return !compositor_frames;
}

// A GPU offers render nodes; without one, Mesa's software OpenGL is the one that works.
static bool has_render_node()
{
    return folder_holds(RENDER_NODES, RENDER_NODE_PREFIX, "");
}

// Something came on the held connection, which zavit never reads: read it away; where the
// compositor has gone, the connection's end. SDL's Wayland window would go on without it, or
// quit as after a close request. Xlib and libwayland would talk to the lost display on the way
// out: the process ends at once, as when the X display is lost.
static void read_compositor_news(int)
{
    static const char message[] = "Lost the connection to the Wayland display\n";
    char scratch[BUFSIZ];
    ssize_t got = 0;
    while ((got = recv(compositor_socket, scratch, sizeof scratch, MSG_DONTWAIT)) > 0)
        continue;
    if (got < 0)
        return;
    ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    (void)written;
    _exit(1);
}

// The kernel signals the process when anything comes on the held connection, its end included.
static void watch_compositor()
{
    if (!compositor)
        return;
    compositor_socket = wl_display_get_fd(compositor);
    struct sigaction news = {};
    news.sa_handler = read_compositor_news;
    news.sa_flags = SA_RESTART;
    sigaction(SIGIO, &news, NULL);
    fcntl(compositor_socket, F_SETOWN, getpid());
    fcntl(compositor_socket, F_SETFL, fcntl(compositor_socket, F_GETFL) | O_ASYNC);
}

// SDL's Wayland window has no framebuffer of its own: it presents through a renderer's
// texture (OpenGL), in Mesa's software OpenGL where there is no GPU, on one thread, which costs
// a picture this small less CPU than many. Its window is counted in the output's pixels, so at
// a scale of 2 sdl12-compat doubles it. The texture is drawn by whole pixels at every scale:
// unscaled they look the same as smoothed ones, and software OpenGL samples them for less.
static void choose_for_wayland(bool fullscreen)
{
    read_wayland_globals();
    watch_compositor();
    if (!fullscreen)
        scale_window(output_scale);
    setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "1", 0);
    if (has_render_node())
        return;
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    setenv("LP_NUM_THREADS", "0", 0);
}

bool display_reachable()
{
    return getenv("DISPLAY") || getenv("WAYLAND_DISPLAY") || getenv("SDL_VIDEODRIVER");
}

static bool x11_answers(const char *name)
{
    Display *display = XOpenDisplay(name);
    if (display)
        XCloseDisplay(display);
    return display != NULL;
}

// libwayland looks for a display's name in XDG_RUNTIME_DIR, and where that is not set it says
// so on standard error: no display by name can answer there.
static bool wayland_answers(const char *name)
{
    const char *runtime = getenv("XDG_RUNTIME_DIR");
    if (name[0] != '/' && (!runtime || runtime[0] != '/'))
        return false;
    wl_display *display = wl_display_connect(name);
    if (display)
        wl_display_disconnect(display);
    return display != NULL;
}

// A display that is named but gone (its server ended, or it belongs to another session)
// would leave SDL to try each driver it has, each saying why not. One that answers is enough.
const char *unanswered_displays()
{
    const char *x11 = getenv("DISPLAY");
    const char *wayland = getenv("WAYLAND_DISPLAY");
    if (getenv("SDL_VIDEODRIVER") || (!x11 && !wayland))
        return NULL;
    if ((wayland && wayland_answers(wayland)) || (x11 && x11_answers(x11)))
        return NULL;
    if (x11 && wayland)
        snprintf(unanswered, sizeof unanswered, "displays \"%s\" and \"%s\"", wayland, x11);
    else
        snprintf(unanswered, sizeof unanswered, "display \"%s\"", x11 ? x11 : wayland);
    return unanswered;
}

// On X11 SDL 2 presents through OpenGL by default, which without a GPU means a software GL
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
    if (frameless_on_wayland(fullscreen))
        setenv("SDL_VIDEODRIVER", "x11", 1);
    if (sdl_takes_wayland())
        return choose_for_wayland(fullscreen);
    if (fullscreen || scale_window(desktop_scale()))
        setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
    if (fullscreen && display_has_gpu())
        return;
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
}
