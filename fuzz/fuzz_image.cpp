// Fuzz target: the input taken as the sprite file, loaded and keyed as the program does, then
// drawn by bodies scattered over the window, so that its edges clip the images.
#include "../app/image.h"
#include "../render/render.h"
#include "../swarm/swarm.h"

#include <cstdlib>

SDL_Surface *screen;
SDL_Surface *sprite;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!screen) { // a headless display of the program's size, made once
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_Init(SDL_INIT_VIDEO);
        screen = SDL_SetVideoMode(SCREEN_W, SCREEN_H, 32, 0);
        scatter_bodies();
    }
    if (size == 0 || size > INT32_MAX)
        return 0;
    sprite = load_sprite(SDL_RWFromConstMem(data, int(size)));
    if (sprite) {
        draw_frame();
        SDL_FreeSurface(sprite);
    }
    return 0;
}
