// The drawing's pixel rules, on the program's own sprite: white background, images keyed
// at truncated positions less 8 in 16 bits, clipped at every edge, the higher index on top.
#include "../app/image.h"
#include "../render/render.h"
#include "../swarm/swarm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

SDL_Surface *screen;
SDL_Surface *sprite;

const Uint32 WHITE = 0xFFFFFF;

struct Spot {
    double x, y;
};

static Uint32 rgb_at(const SDL_Surface *surface, int x, int y)
{
    const Uint8 *p = static_cast<const Uint8 *>(surface->pixels) + y * surface->pitch +
                     x * surface->format->BytesPerPixel;
    Uint32 pixel = surface->format->BytesPerPixel == 4 ? *reinterpret_cast<const Uint32 *>(p)
                                                       : Uint32(p[0] | p[1] << 8 | p[2] << 16);
    Uint8 r, g, b;
    SDL_GetRGB(pixel, surface->format, &r, &g, &b);
    return Uint32(r << 16 | g << 8 | b);
}

// What the frame should show at a pixel: the highest body whose image is not white there.
static Uint32 expected_at(int x, int y)
{
    for (int k = BODY_COUNT - 1; k >= 0; k--) {
        int column = x - Sint16(int(std::trunc(bodies[k].x)) - SPRITE_OFFSET);
        int row = y - Sint16(int(std::trunc(bodies[k].y)) - SPRITE_OFFSET);
        if (column >= 0 && column < sprite->w && row >= 0 && row < sprite->h &&
            rgb_at(sprite, column, row) != WHITE)
            return rgb_at(sprite, column, row);
    }
    return WHITE;
}

TEST(Frame, EveryPixelMatchesTheBodiesDrawnInIndexOrderOverWhite)
{
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    screen = SDL_SetVideoMode(SCREEN_W, SCREEN_H, 32, 0);
    sprite = load_sprite(SDL_RWFromFile(ZAVIT_ASSET, "rb"));
    ASSERT_TRUE(screen && sprite) << SDL_GetError();
    const std::vector<std::vector<Spot>> scenes = {
        {{100.9, 50.99}, {-0.5, 200.5}, {-1.5, 30}, {250, 30.5}, {65636, 100}}, // truncation
        {{0.9, 120}, {320, 240}, {160, 0}, {319.9, 60}, {200, 239.9}},          // edges
        {{-7.9, -7.9}, {327.5, 100}, {100, 247.9}, {1000, -1000}},              // nearly gone
        {{100, 100}, {104, 103}, {106, 99}, {102, 101}},                        // overlaps
    };
    for (const std::vector<Spot> &scene : scenes) {
        for (int k = 0; k < BODY_COUNT; k++)
            bodies[k] = Body{40.5, 180.5, 0, 0};
        for (size_t k = 0; k < scene.size(); k++) // the scene's last spot is the pointer's
            bodies[k + 1 == scene.size() ? POINTER_BODY : k] = Body{scene[k].x, scene[k].y, 0, 0};
        SDL_FillRect(screen, NULL, 0);
        draw_frame();
        int wrong = 0;
        for (int y = 0; y < SCREEN_H; y++)
            for (int x = 0; x < SCREEN_W; x++)
                if (rgb_at(screen, x, y) != expected_at(x, y) && wrong++ < 3)
                    ADD_FAILURE() << "scene at " << scene[0].x << ", pixel " << x << "," << y
                                  << ": " << std::hex << rgb_at(screen, x, y) << " not "
                                  << expected_at(x, y);
    }
    SDL_Quit();
}
