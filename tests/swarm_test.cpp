// Tests of the swarm: pair forces, the pointer's pull, the walls, scattering, long runs.
#include "../swarm/swarm.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

const Uint32 FIXED_TICKS = 4242; // the seed scatter_bodies sees in these tests

// The program seeds from SDL's clock; a fixed clock makes scattering repeatable.
extern "C" Uint32 SDL_GetTicks(void)
{
    return FIXED_TICKS;
}

static void place_all(double x, double y, double vx = 0, double vy = 0)
{
    for (Body &b : bodies)
        b = Body{x, y, vx, vy};
}

TEST(Swarm, BodiesOnOneSpotExertNoForce)
{
    place_all(100, 100);
    step_bodies();
    for (const Body &b : bodies) {
        EXPECT_EQ(b.x, 100);
        EXPECT_EQ(b.y, 100);
        EXPECT_EQ(b.vx, 0);
        EXPECT_EQ(b.vy, 0);
    }
}

TEST(Swarm, BodiesExactly32ApartDoNotInteract)
{
    place_all(100, 100);
    bodies[0].y = 132;
    step_bodies();
    for (const Body &b : bodies) {
        EXPECT_EQ(b.vx, 0);
        EXPECT_EQ(b.vy, 0);
    }
    EXPECT_EQ(bodies[0].y, 132);
}

TEST(Swarm, FreeBodiesJustOver32ApartPushEachOtherAwayBySlightlyLessThanAThirtySecond)
{
    place_all(100, 132.5);
    bodies[0] = Body{100, 100, 0, 0};
    bodies[POINTER_BODY].y = 100; // on body 0, so only the 30 others act on it
    step_bodies();
    double each = 32.5 / (32.5 * 32.5);
    EXPECT_LT(each, 1.0 / 32);
    EXPECT_NEAR(bodies[0].vy, -30 * each, 1e-12);
    EXPECT_EQ(bodies[0].vx, 0);
}

// From 64 px the pointer pulls by 64 / (4096 / 32) = 0.5 exactly, toward itself.
TEST(Swarm, PointerPullsFrom64PixelsByHalfAPixelOnEitherAxis)
{
    struct Case {
        double px, py, vx, vy;
    } cases[] = {
        {164, 100, 0.5, 0},
        {36, 100, -0.5, 0},
        {100, 164, 0, 0.5},
        {100, 36, 0, -0.5},
    };
    for (const Case &c : cases) {
        place_all(100, 100);
        bodies[POINTER_BODY] = Body{c.px, c.py, 0, 0};
        step_bodies();
        for (int i = 0; i < POINTER_BODY; i++) {
            EXPECT_EQ(bodies[i].vx, c.vx) << "pointer at " << c.px << "," << c.py;
            EXPECT_EQ(bodies[i].vy, c.vy);
            EXPECT_EQ(bodies[i].x, 100 + c.vx);
            EXPECT_EQ(bodies[i].y, 100 + c.vy);
        }
        EXPECT_EQ(bodies[POINTER_BODY].x, c.px);
        EXPECT_EQ(bodies[POINTER_BODY].vx, 0);
    }
}

TEST(Swarm, PointerWithin32PixelsDoesNotPull)
{
    place_all(100, 100);
    bodies[POINTER_BODY].x = 120;
    step_bodies();
    EXPECT_EQ(bodies[0].vx, 0);
    EXPECT_EQ(bodies[0].x, 100);
}

// All bodies share one spot, so only the walls act; 320 bounds x and 240 bounds y.
TEST(Swarm, WallsTurnBodiesBackAtHalfSpeedOnlyWhenThePredictedPositionIsOutside)
{
    struct Case {
        double x, y, vx, vy, end_x, end_y, end_vx, end_vy;
    } cases[] = {
        {318, 100, 3, 0, 316.5, 100, -1.5, 0}, // predicted 321: turned back
        {317, 100, 3, 0, 320, 100, 3, 0},      // predicted exactly 320: inside
        {2, 100, -3, 0, 3.5, 100, 1.5, 0},     // predicted -1
        {3, 100, -3, 0, 0, 100, -3, 0},        // predicted exactly 0
        {100, 238, 0, 3, 100, 236.5, 0, -1.5}, // bottom wall at 240
        {100, 237, 0, 3, 100, 240, 0, 3},      {100, 2, 0, -3, 100, 3.5, 0, 1.5}, // top wall
        {300, 300, 1, 1, 301, 299.5, 1, -0.5}, // below the window, inside its width
        {318, 238, 3, 1, 316.5, 239, -1.5, 1}, // axes tested apart
    };
    for (const Case &c : cases) {
        place_all(c.x, c.y, c.vx, c.vy);
        bodies[POINTER_BODY].vx = bodies[POINTER_BODY].vy = 0;
        step_bodies();
        const Body &b = bodies[0];
        EXPECT_EQ(b.x, c.end_x) << "from " << c.x << "," << c.y;
        EXPECT_EQ(b.y, c.end_y) << "from " << c.x << "," << c.y;
        EXPECT_EQ(b.vx, c.end_vx);
        EXPECT_EQ(b.vy, c.end_vy);
        EXPECT_EQ(bodies[POINTER_BODY].x, c.x) << "the pointer body never moves";
        EXPECT_EQ(bodies[POINTER_BODY].y, c.y);
    }
}

TEST(Swarm, ScatterDrawsXThenYForEveryBodyAndStartsAtRest)
{
    place_all(-1, -1, 5, 5);
    scatter_bodies();
    srand(FIXED_TICKS);
    for (const Body &b : bodies) {
        EXPECT_EQ(b.x, rand() % SCREEN_W);
        EXPECT_EQ(b.y, rand() % SCREEN_H);
        EXPECT_EQ(b.vx, 0);
        EXPECT_EQ(b.vy, 0);
    }
}

// An hour's worth of frames with a wandering pointer: everything stays finite and near.
TEST(Swarm, LongRunWithAWanderingPointerStaysFiniteAndNearTheWindow)
{
    const int STEPS = 180000;
    const double MARGIN = 200;
    scatter_bodies();
    for (int s = 0; s < STEPS; s++) {
        bodies[POINTER_BODY].x = std::floor(160 + 150 * std::sin(s * 0.0037));
        bodies[POINTER_BODY].y = std::floor(120 + 110 * std::sin(s * 0.0051));
        step_bodies();
        for (int i = 0; i < POINTER_BODY; i++) {
            const Body &b = bodies[i];
            ASSERT_TRUE(std::isfinite(b.vx) && std::isfinite(b.vy)) << "step " << s;
            ASSERT_GT(b.x, -MARGIN) << "step " << s;
            ASSERT_LT(b.x, SCREEN_W + MARGIN) << "step " << s;
            ASSERT_GT(b.y, -MARGIN) << "step " << s;
            ASSERT_LT(b.y, SCREEN_H + MARGIN) << "step " << s;
        }
    }
}
