// Tests of frame drawing: white background, keyed images at truncated positions less 8,
// clipping at every edge, the higher index on top.
#include "../render/render.h"
#include "../swarm/swarm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

SDL_Surface *screen;
SDL_Surface *sprite;

const int SPRITE_SIZE = 16;
const int KEYED_COLUMN = 5; // white in the test image, so it must not be copied
const Uint32 WHITE = 0xFFFFFF;

// Every pixel of the test image differs, so a misplaced copy shows.
static Uint32 image_colour(int column, int row)
{
    if (column == KEYED_COLUMN)
        return WHITE;
    return static_cast<Uint32>(column * 16) << 16 | static_cast<Uint32>(row * 16) << 8 | 0x40;
}

static void make_test_image()
{
    sprite = SDL_CreateRGBSurface(SDL_SWSURFACE, SPRITE_SIZE, SPRITE_SIZE, 24, 0xFF0000, 0xFF00,
                                  0xFF, 0);
    for (int row = 0; row < SPRITE_SIZE; row++) {
        for (int column = 0; column < SPRITE_SIZE; column++) {
            SDL_Rect pixel = {static_cast<Sint16>(column), static_cast<Sint16>(row), 1, 1};
            Uint32 rgb = image_colour(column, row);
            SDL_FillRect(sprite, &pixel,
                         SDL_MapRGB(sprite->format, static_cast<Uint8>(rgb >> 16),
                                    static_cast<Uint8>(rgb >> 8), static_cast<Uint8>(rgb)));
        }
    }
    SDL_SetColorKey(sprite, SDL_SRCCOLORKEY, SDL_MapRGB(sprite->format, 255, 255, 255));
}

// What the frame should show at a pixel: the highest body whose image covers it there
// with a pixel that is not white, else the background.
static Uint32 expected_at(int x, int y)
{
    for (int k = BODY_COUNT - 1; k >= 0; k--) {
        int column = x - (static_cast<int>(std::trunc(bodies[k].x)) - 8);
        int row = y - (static_cast<int>(std::trunc(bodies[k].y)) - 8);
        bool inside = column >= 0 && column < SPRITE_SIZE && row >= 0 && row < SPRITE_SIZE;
        if (inside && image_colour(column, row) != WHITE)
            return image_colour(column, row);
    }
    return WHITE;
}

static Uint32 screen_at(int x, int y)
{
    const Uint8 *row = static_cast<const Uint8 *>(screen->pixels) + y * screen->pitch;
    Uint32 pixel = reinterpret_cast<const Uint32 *>(row)[x];
    Uint8 r, g, b;
    SDL_GetRGB(pixel, screen->format, &r, &g, &b);
    return static_cast<Uint32>(r) << 16 | static_cast<Uint32>(g) << 8 | b;
}

class Frame : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        screen = SDL_SetVideoMode(SCREEN_W, SCREEN_H, 32, 0);
        ASSERT_NE(screen, nullptr) << SDL_GetError();
        make_test_image();
    }
    static void TearDownTestSuite()
    {
        SDL_FreeSurface(sprite);
        SDL_Quit();
    }
};

struct Placed {
    int body;
    double x, y;
};

TEST_F(Frame, EveryPixelMatchesTheBodiesDrawnInIndexOrderOverWhite)
{
    const std::vector<std::vector<Placed>> scenes = {
        {{3, 100.9, 50.99}, {4, -0.5, 200.5}, {5, -1.5, 30}, {6, 250, 30.5}},         // truncation
        {{0, 0.9, 120}, {1, 320, 240}, {2, 160, 0}, {3, 319.9, 60}, {4, 200, 239.9}}, // edges
        {{5, -7.9, -7.9}, {6, 327.5, 100}, {7, 100, 247.9}, {8, 1000, -1000}},        // nearly gone
        {{5, 100, 100}, {6, 104, 103}, {POINTER_BODY, 102, 101}, {30, 106, 99}},      // overlaps
    };
    for (size_t s = 0; s < scenes.size(); s++) {
        for (Body &b : bodies)
            b = Body{40.5, 180.5, 0, 0};
        for (const Placed &p : scenes[s])
            bodies[p.body] = Body{p.x, p.y, 0, 0};
        draw_frame();
        int wrong = 0;
        for (int y = 0; y < SCREEN_H; y++)
            for (int x = 0; x < SCREEN_W; x++)
                if (screen_at(x, y) != expected_at(x, y) && wrong++ < 3)
                    ADD_FAILURE() << "scene " << s << " pixel " << x << "," << y << ": " << std::hex
                                  << screen_at(x, y) << " not " << expected_at(x, y);
        EXPECT_EQ(wrong, 0) << "scene " << s;
    }
}

TEST(BlitCoordinate, TruncatesTowardZeroSubtractsEightAndKeepsSixteenBits)
{
    const double huge = std::numeric_limits<double>::max();
    struct Case {
        double position;
        int expected;
    } cases[] = {
        {0.9, -8},
        {-0.5, -8},
        {-1.5, -9},
        {320, 312},
        {239.99, 231},
        {32775, 32767},
        {40000, 39992 - 65536}, // only the low 16 bits are kept
        {huge, -9},
        {-huge, -8},
        {std::nan(""), -8}, // saturated, never undefined
        {std::numeric_limits<double>::infinity(), -9},
    };
    for (const Case &c : cases)
        EXPECT_EQ(blit_coordinate(c.position), c.expected) << c.position;
}
