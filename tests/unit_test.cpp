// What only unit tests can tell: the swarm's exact numbers, the image check's limits, and the
// drawing's pixel rules on the desktop's SDL, whose surfaces keep their colour key.
#include "../app/image.h"
#include "../render/render.h"
#include "../swarm/swarm.h"

#include <gtest/gtest.h>

SDL_Surface *screen;
SDL_Surface *sprite;

const Uint32 SEED = 4242;     // SDL's clock in these tests, so that scattering repeats
const double PUSH = 1 / 32.5; // from a free body 32.5 px away: just under 1/32

extern "C" Uint32 SDL_GetTicks(void)
{
    return SEED;
}

// Bodies 0 and 30 start a step alike, the other free bodies stand at one place and the
// pointer body at another. Where all share one place, only the walls act, each axis apart.
TEST(Swarm, OneStepPushesPullsAndTurnsBackByTheRulesAndScatterDrawsXThenY)
{
    struct Case {
        Body start;
        double others_x, others_y, pointer_x, pointer_y;
        Body end;
    } cases[] = {
        {{100, 100, 0, 0}, 100, 132, 100, 100, {100, 100, 0, 0}}, // 32 apart: no force
        {{100, 100, 0, 0}, 100, 132.5, 100, 100, {100, 100 - 29 * PUSH, 0, -29 * PUSH}},
        {{100, 100, 0, 0}, 100, 100, 164, 100, {100.5, 100, 0.5, 0}}, // 64 / (64 * 64 / 32)
        {{100, 100, 0, 0}, 100, 100, 100, 36, {100, 99.5, 0, -0.5}},
        {{100, 100, 0, 0}, 100, 100, 120, 100, {100, 100, 0, 0}},      // no pull within 32
        {{317, 238, 3, 3}, 317, 238, 317, 238, {320, 236.5, 3, -1.5}}, // 320 inside, 241 not
        {{318, 237, 3, 3}, 318, 237, 318, 237, {316.5, 240, -1.5, 3}},
        {{3, 2, -3, -3}, 3, 2, 3, 2, {0, 3.5, -3, 1.5}}, // 0 inside, -1 not
        {{2, 3, -3, -3}, 2, 3, 2, 3, {3.5, 0, 1.5, -3}},
    };
    for (const Case &c : cases) {
        for (Body &b : bodies)
            b = Body{c.others_x, c.others_y, 0, 0};
        bodies[0] = bodies[30] = c.start;
        bodies[POINTER_BODY] = Body{c.pointer_x, c.pointer_y, 0, 0};
        step_bodies();
        for (const Body &b : {bodies[0], bodies[30]})
            EXPECT_TRUE(std::abs(b.x - c.end.x) + std::abs(b.y - c.end.y) +
                            std::abs(b.vx - c.end.vx) + std::abs(b.vy - c.end.vy) <
                        1e-12)
                << "from " << c.start.x << "," << c.start.y << ": " << b.x << "," << b.y
                << " moving " << b.vx << "," << b.vy;
        EXPECT_EQ(bodies[POINTER_BODY].x, c.pointer_x) << "the pointer body never moves";
    }
    scatter_bodies();
    srand(SEED);
    for (const Body &b : bodies)
        EXPECT_TRUE(b.x == rand() % SCREEN_W && b.y == rand() % SCREEN_H && b.vx + b.vy == 0);
}

// A file header and a 40-byte info header with the given fields.
static std::vector<unsigned char> header(int32_t width, int32_t height, int bits, int rle = 0)
{
    std::vector<unsigned char> h(BMP_HEADER_BYTES, 0);
    const int32_t fields[][2] = {{0, 'B' | 'M' << 8}, {10, 54},   {14, 40}, {18, width},
                                 {22, height},        {28, bits}, {30, rle}};
    for (const auto &field : fields)
        memcpy(&h[size_t(field[0])], &field[1], field[0] == 0 || field[0] == 28 ? 2 : 4);
    return h;
}

// The limits that no file made for a test can tell, each just inside and just past: what
// SDL refuses anyway, or what it takes only under a sanitizer.
TEST(Image, HeadersAreRefusedPastTheLargestSurfaceOrRunsOrWhenCutShort)
{
    const int64_t huge_file = int64_t{1} << 32;
    EXPECT_FALSE(bmp_refusal(header(65532, 32770, 8).data(), BMP_HEADER_BYTES, huge_file));
    EXPECT_TRUE(bmp_refusal(header(65532, 32771, 8).data(), BMP_HEADER_BYTES, huge_file));
    EXPECT_FALSE(bmp_refusal(header(16383, 1, 32).data(), BMP_HEADER_BYTES, 65586)); // widest row
    EXPECT_TRUE(bmp_refusal(header(16384, 1, 32).data(), BMP_HEADER_BYTES, huge_file));
    EXPECT_FALSE(bmp_refusal(header(8192, 8192, 8, 1).data(), BMP_HEADER_BYTES, 1024));
    EXPECT_TRUE(bmp_refusal(header(8192, 8193, 8, 1).data(), BMP_HEADER_BYTES, 1024));
    EXPECT_TRUE(bmp_refusal(header(0, 16, 24).data(), BMP_HEADER_BYTES, 1024)); // no width
    EXPECT_STREQ(bmp_refusal(header(16, 16, 24).data(), 49, 49), "BMP header is cut short");
}

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
