// Fuzz target: the input is taken as the sprite file, loaded and keyed like the program's
// own image, then drawn by the frame drawing with the bodies inside and past every edge.
#include "../app/image.h"
#include "../render/render.h"
#include "../swarm/swarm.h"

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

const int SCREEN_BPP = 32; // the program's display depth
const int EDGE_REACH = 40; // how far past the edges bodies may stand, in pixels
const int BYTE_SPAN = 255; // largest value of one input byte
const int BODY_MIX = 37;   // spreads bodies apart when the input is short

SDL_Surface *screen;
SDL_Surface *sprite;

// A headless display of the program's size, made once for every input.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc;
    (void)argv;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        fprintf(stderr, "Unable to init SDL: %s\n", SDL_GetError());
        exit(1);
    }
    atexit(SDL_Quit);
    screen = SDL_SetVideoMode(SCREEN_W, SCREEN_H, SCREEN_BPP, 0);
    if (!screen) {
        fprintf(stderr, "Unable to set %dx%d video: %s\n", SCREEN_W, SCREEN_H, SDL_GetError());
        exit(1);
    }
    return 0;
}

// One coordinate from an input byte: 0 .. 255 spread over -EDGE_REACH .. side + EDGE_REACH.
static double spread(unsigned value, int side)
{
    return -EDGE_REACH + static_cast<double>(value) * (side + 2 * EDGE_REACH) / BYTE_SPAN;
}

// Bodies placed from the input's bytes, so that a corpus covers every clipping case.
static void place_bodies(const uint8_t *data, size_t size)
{
    for (int k = 0; k < BODY_COUNT; k++) {
        size_t at = static_cast<size_t>(2 * k);
        unsigned mix = static_cast<unsigned>(k * BODY_MIX);
        bodies[k].x = spread((data[at % size] ^ mix) & BYTE_SPAN, SCREEN_W);
        bodies[k].y = spread((data[(at + 1) % size] ^ mix) & BYTE_SPAN, SCREEN_H);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > INT32_MAX)
        return 0;
    SDL_RWops *stream = SDL_RWFromConstMem(data, static_cast<int>(size));
    if (!stream)
        return 0;
    sprite = load_sprite(stream);
    if (!sprite)
        return 0;
    place_bodies(data, size);
    draw_frame();
    SDL_FreeSurface(sprite);
    sprite = NULL;
    return 0;
}
