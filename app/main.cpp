// zavit: thirty-two sprites on a white window; thirty-one drift apart and are drawn
// toward the one under the mouse.
#include "image.h"
#include "installed.h"
#include "presentation.h"
#include "question.h"

#include "../render/render.h"
#include "../swarm/swarm.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sys/stat.h>

const int SCREEN_BPP = 32;        // bits per pixel requested
const Uint32 FRAME_DELAY_MS = 20; // pause at the end of every frame
const int DRIVER_NAME_MAX = 64;   // room for the name of SDL's video driver
// SDL's fallbacks when there is no display: sdl12-compat's offscreen and dummy, classic SDL's
// dummy and its text-art drivers, which draw into the terminal if there is one.
const char *const FALLBACK_DRIVERS[] = {"offscreen", "dummy", "caca", "aalib"};

SDL_Surface *screen;
SDL_Surface *sprite;
static Uint32 video_flags; // SDL_FULLSCREEN or 0, from the question

// SDL's own reason for a failure; some of its drivers fail without giving one.
static const char *sdl_reason()
{
    const char *reason = SDL_GetError();
    return reason && *reason ? reason : "SDL gave no reason";
}

static bool is_fallback_driver(const char *name)
{
    return std::any_of(std::begin(FALLBACK_DRIVERS), std::end(FALLBACK_DRIVERS),
                       [name](const char *fallback) { return strcmp(name, fallback) == 0; });
}

// With no display SDL falls back to drivers that show nothing, or text art at best, and offer
// no way to quit. Unless the person named such a driver, that is video failing to start.
// SDL hands the terminal back first, so the line stays on it.
static void refuse_invisible_driver()
{
    char name[DRIVER_NAME_MAX] = "";
    SDL_VideoDriverName(name, sizeof name);
    if (!is_fallback_driver(name))
        return;
    const char *asked = getenv("SDL_VIDEODRIVER");
    if (asked && strstr(asked, name))
        return;
    SDL_Quit();
    fprintf(stderr, "Unable to init SDL: no display available (video driver \"%s\")\n", name);
    exit(1);
}

// Without a display SDL would try every driver it has, each saying why not, and end with none:
// said before the question, whose answer could not be used.
static void refuse_missing_display()
{
    if (!display_reachable()) {
        fprintf(stderr, "Unable to init SDL: no display available\n");
        exit(1);
    }
}

// So SDL would with displays that are named but do not answer; said before the question too.
static void refuse_unanswered_displays()
{
    const char *unanswered = unanswered_displays();
    if (unanswered) {
        fprintf(stderr, "Unable to init SDL: the %s did not answer\n", unanswered);
        exit(1);
    }
}

static void start_video()
{
    choose_presentation(video_flags & SDL_FULLSCREEN);
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        fprintf(stderr, "Unable to init SDL: %s\n", sdl_reason());
        exit(1);
    }
    refuse_invisible_driver();
    atexit(SDL_Quit);

    SDL_WM_SetCaption("ZAVIT", NULL);
    screen = SDL_SetVideoMode(SCREEN_W, SCREEN_H, SCREEN_BPP, video_flags);
    if (!screen) {
        fprintf(stderr, "Unable to set %dx%d video: %s\n", SCREEN_W, SCREEN_H, sdl_reason());
        exit(1);
    }
}

static void refuse_sprite(const char *reason)
{
    fprintf(stderr, "Unable to load \"%s\": %s\n", SPRITE_FILE, reason);
    exit(1);
}

// A folder, a pipe or a device in the image's place: opening a pipe waits for a writer, and
// reading a device may never end. A file system that tells no kind (the page's) has none.
static bool is_special_file(const char *path)
{
    struct stat status = {};
    if (stat(path, &status) != 0)
        return false;
    mode_t kind = status.st_mode;
    return S_ISDIR(kind) || S_ISFIFO(kind) || S_ISCHR(kind) || S_ISBLK(kind);
}

// The person's own image in the working directory wins; without one, the installed copy.
// A stream that cannot be opened reports why itself, not as a bad stream handed on.
static void open_sprite()
{
    if (is_special_file(SPRITE_FILE))
        refuse_sprite("not a regular file");
    SDL_RWops *stream = SDL_RWFromFile(SPRITE_FILE, "rb");
    const char *installed = stream ? NULL : installed_sprite_path();
    if (installed)
        stream = SDL_RWFromFile(installed, "rb");
    if (stream)
        sprite = load_sprite(stream);
    if (!sprite)
        refuse_sprite(sdl_reason());
}

// False once the person has asked to quit; later events are left unread.
static bool handle_events()
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYUP:
            if (event.key.keysym.sym == SDLK_ESCAPE)
                return false;
            break;
        case SDL_MOUSEMOTION:
            bodies[POINTER_BODY].x = event.motion.x;
            bodies[POINTER_BODY].y = event.motion.y;
            break;
        case SDL_QUIT:
            return false;
        }
    }
    return true;
}

int main(int argc, char *argv[])
{
    (void)argc;
    (void)argv;
    refuse_missing_display();
    refuse_unanswered_displays();
    video_flags = ask_fullscreen() ? SDL_FULLSCREEN : 0;
    start_video();
    open_sprite();
    scatter_bodies();

    for (;;) {
        step_bodies();
        draw_frame();
        if (!handle_events())
            return 0;
        SDL_Delay(FRAME_DELAY_MS);
    }
}
