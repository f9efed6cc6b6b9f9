// The drawing's pixel rules, on the desktop's SDL, whose surfaces keep their colour key.
#include "../app/image.h"
#include "../render/render.h"
#include "../swarm/swarm.h"

#include <gtest/gtest.h>

// White, then each body's image with white keyed out, at its place truncated, less 8 and
// kept to 16 bits, in index order: the pointer body's, wrapped round, lies on top.
TEST(Frame, ImagesLandAtTruncatedPlacesLess8InIndexOrderOverWhite)
{
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    screen = SDL_SetVideoMode(SCREEN_W, SCREEN_H, 32, 0);
    sprite = load_sprite(SDL_RWFromFile(ZAVIT_ASSET, "rb"));
    ASSERT_TRUE(screen && sprite) << SDL_GetError();
    EXPECT_EQ(sprite->format->colorkey, SDL_MapRGB(sprite->format, 255, 255, 255));
    for (Body &b : bodies)
        b = Body{100.9, 100.9, 0, 0};
    bodies[0] = Body{-0.5, 50.9, 0, 0};
    bodies[POINTER_BODY] = Body{65636.9, 105.5, 0, 0};
    SDL_FillRect(screen, NULL, 0);
    draw_frame();
    SDL_Surface *expected = SDL_ConvertSurface(screen, screen->format, 0);
    SDL_FillRect(expected, NULL, SDL_MapRGB(expected->format, 255, 255, 255));
    for (SDL_Rect place : {SDL_Rect{-8, 42, 0, 0}, SDL_Rect{92, 92, 0, 0}, SDL_Rect{92, 97, 0, 0}})
        SDL_BlitSurface(sprite, NULL, expected, &place);
    EXPECT_EQ(memcmp(expected->pixels, screen->pixels, size_t(screen->pitch * screen->h)), 0);
    SDL_FreeSurface(expected);
    SDL_FreeSurface(sprite);
    SDL_Quit();
}
