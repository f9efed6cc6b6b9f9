// Fuzz target: the input taken as the sprite file, loaded and keyed as the program does,
// then drawn with the bodies placed from its bytes, inside the window and past every edge.
#include "../app/image.h"
#include "../render/render.h"
#include "../swarm/swarm.h"

#include <cstdlib>

SDL_Surface *screen;
SDL_Surface *sprite;

const int EDGE_REACH = 40; // how far past the edges a body may stand, in pixels
const int BYTE_SPAN = 255; // an input byte's largest value

// A byte spread over -EDGE_REACH .. side + EDGE_REACH.
static double spread(uint8_t value, int side)
{
    return -EDGE_REACH + double(value) * (side + 2 * EDGE_REACH) / BYTE_SPAN;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!screen) { // a headless display of the program's size, once for every input
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_Init(SDL_INIT_VIDEO);
        screen = SDL_SetVideoMode(SCREEN_W, SCREEN_H, 32, 0);
    }
    if (size == 0 || size > INT32_MAX ||
        !(sprite = load_sprite(SDL_RWFromConstMem(data, int(size)))))
        return 0;
    for (size_t k = 0; k < BODY_COUNT; k++)
        bodies[k] = Body{spread(data[2 * k % size], SCREEN_W),
                         spread(data[(2 * k + 1) % size], SCREEN_H), 0, 0};
    draw_frame();
    SDL_FreeSurface(sprite);
    return 0;
}
