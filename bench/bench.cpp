// Benchmarks for the work of one frame: the swarm step and the drawing of the frame.
#include "../app/image.h"
#include "../render/render.h"
#include "../swarm/swarm.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

const int SCREEN_BPP = 32;         // bits per pixel of the display surface, as the program asks
const int STEPS_PER_SCATTER = 500; // steps before the bodies are scattered again (10 s of frames)

SDL_Surface *screen;
SDL_Surface *sprite;

// The swarm a person sees: scattered, then stepped like the frame loop does. After
// many steps without a moving pointer the bodies settle into a pattern, so they are
// scattered again now and then, outside the timed region.
static void time_step_bodies(benchmark::State &state)
{
    scatter_bodies();
    int steps = 0;
    for (auto _ : state) {
        step_bodies();
        benchmark::DoNotOptimize(bodies);
        if (++steps == STEPS_PER_SCATTER) {
            state.PauseTiming();
            scatter_bodies();
            steps = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(time_step_bodies)->Name("step_bodies");

// Headless video with the program's mode and image, so only the drawing is measured.
static bool start_dummy_video()
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        return false;
    screen = SDL_SetVideoMode(SCREEN_W, SCREEN_H, SCREEN_BPP, 0);
    SDL_RWops *stream = SDL_RWFromFile(BENCH_SPRITE_FILE, "rb");
    if (stream)
        sprite = load_sprite(stream);
    return screen && sprite;
}

// One full frame from a swarm in motion: the step runs untimed between frames.
static void time_draw_frame(benchmark::State &state)
{
    if (!screen && !start_dummy_video()) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    scatter_bodies();
    for (auto _ : state) {
        state.PauseTiming();
        step_bodies();
        state.ResumeTiming();
        draw_frame();
    }
}
BENCHMARK(time_draw_frame)->Name("draw_frame");

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SDL_Quit();
    return 0;
}
