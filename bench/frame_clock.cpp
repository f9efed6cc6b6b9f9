// Preloaded into zavit: notes when SDL starts and when each frame is presented, so the
// frame pace and start-up are timed from outside the program.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

const char *const LOG_VARIABLE = "ZAVIT_FRAME_LOG"; // names the file the times go to
const int64_t NS_PER_S = 1000000000;

struct Surface; // SDL's surface, only passed on
typedef int (*InitFunction)(uint32_t flags);
typedef void (*UpdateFunction)(Surface *surface, int32_t x, int32_t y, uint32_t w, uint32_t h);

static FILE *log_file;

static int64_t clock_ns(clockid_t clock)
{
    timespec now = {};
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * NS_PER_S + now.tv_nsec;
}

static void *next_symbol(const char *name)
{
    void *symbol = dlsym(RTLD_NEXT, name);
    if (!symbol) {
        fprintf(stderr, "frame_clock: no %s after this library\n", name);
        abort();
    }
    return symbol;
}

// Lines "init MONOTONIC_NS" and "frame MONOTONIC_NS PROCESS_CPU_NS"; stdio flushes at exit.
extern "C" int SDL_Init(uint32_t flags)
{
    static InitFunction real_init = reinterpret_cast<InitFunction>(next_symbol("SDL_Init"));
    int64_t started = clock_ns(CLOCK_MONOTONIC);
    const char *name = getenv(LOG_VARIABLE);
    if (name && !log_file)
        log_file = fopen(name, "w");
    if (log_file)
        fprintf(log_file, "init %lld\n", static_cast<long long>(started));
    return real_init(flags);
}

// The time after the update returns: the frame has been handed to the display.
extern "C" void SDL_UpdateRect(Surface *surface, int32_t x, int32_t y, uint32_t w, uint32_t h)
{
    static UpdateFunction real_update =
        reinterpret_cast<UpdateFunction>(next_symbol("SDL_UpdateRect"));
    real_update(surface, x, y, w, h);
    if (log_file)
        fprintf(log_file, "frame %lld %lld\n", static_cast<long long>(clock_ns(CLOCK_MONOTONIC)),
                static_cast<long long>(clock_ns(CLOCK_PROCESS_CPUTIME_ID)));
}
