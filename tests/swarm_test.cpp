// The swarm's exact numbers: pair forces, the pointer's pull, the walls, scattering.
#include "../swarm/swarm.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

const Uint32 FIXED_TICKS = 4242; // the seed scatter_bodies sees in these tests
const double ROUNDING = 1e-12;   // thirty additions' worth of rounding
const double PUSH = 1 / 32.5;    // from another free body 32.5 px away, just under 1/32

// The program seeds from SDL's clock; a fixed clock makes scattering repeatable.
extern "C" Uint32 SDL_GetTicks(void)
{
    return FIXED_TICKS;
}

// Body 0 as it starts and ends a step, with the 30 other free bodies together at one point
// and the pointer body at another. Where all share body 0's point, only the walls act.
TEST(Swarm, OneStepPushesPullsAndTurnsBackExactlyByTheRules)
{
    struct Case {
        Body start;
        double others_x, others_y, pointer_x, pointer_y;
        Body end;
    } cases[] = {
        {{100, 100, 0, 0}, 100, 100, 100, 100, {100, 100, 0, 0}}, // one point: no force
        {{100, 100, 0, 0}, 100, 132, 100, 100, {100, 100, 0, 0}}, // exactly 32 apart
        {{100, 100, 0, 0}, 100, 132.5, 100, 100, {100, 100 - 30 * PUSH, 0, -30 * PUSH}},
        {{100, 100, 0, 0}, 67.5, 100, 100, 100, {100 + 30 * PUSH, 100, 30 * PUSH, 0}},
        {{100, 100, 0, 0}, 100, 100, 164, 100, {100.5, 100, 0.5, 0}}, // 64 / (64 * 64 / 32)
        {{100, 100, 0, 0}, 100, 100, 36, 100, {99.5, 100, -0.5, 0}},
        {{100, 100, 0, 0}, 100, 100, 100, 164, {100, 100.5, 0, 0.5}},
        {{100, 100, 0, 0}, 100, 100, 100, 36, {100, 99.5, 0, -0.5}},
        {{100, 100, 0, 0}, 100, 100, 120, 100, {100, 100, 0, 0}},      // no pull within 32
        {{318, 100, 3, 0}, 318, 100, 318, 100, {316.5, 100, -1.5, 0}}, // would reach 321
        {{317, 100, 3, 0}, 317, 100, 317, 100, {320, 100, 3, 0}},      // exactly 320: inside
        {{2, 100, -3, 0}, 2, 100, 2, 100, {3.5, 100, 1.5, 0}},         // would reach -1
        {{3, 100, -3, 0}, 3, 100, 3, 100, {0, 100, -3, 0}},            // exactly 0: inside
        {{100, 238, 0, 3}, 100, 238, 100, 238, {100, 236.5, 0, -1.5}}, // bottom wall at 240
        {{100, 237, 0, 3}, 100, 237, 100, 237, {100, 240, 0, 3}},
        {{100, 2, 0, -3}, 100, 2, 100, 2, {100, 3.5, 0, 1.5}},         // top wall
        {{300, 300, 1, 1}, 300, 300, 300, 300, {301, 299.5, 1, -0.5}}, // below, within width
    };
    for (const Case &c : cases) {
        for (Body &b : bodies)
            b = Body{c.others_x, c.others_y, c.start.vx, c.start.vy};
        bodies[0] = c.start;
        bodies[POINTER_BODY] = Body{c.pointer_x, c.pointer_y, 0, 0};
        step_bodies();
        const Body &b = bodies[0];
        EXPECT_NEAR(b.x, c.end.x, ROUNDING) << "from " << c.start.x << "," << c.start.y;
        EXPECT_NEAR(b.y, c.end.y, ROUNDING) << "others at " << c.others_x << "," << c.others_y;
        EXPECT_NEAR(b.vx, c.end.vx, ROUNDING) << "pointer at " << c.pointer_x << "," << c.pointer_y;
        EXPECT_NEAR(b.vy, c.end.vy, ROUNDING);
        EXPECT_EQ(bodies[POINTER_BODY].x, c.pointer_x) << "the pointer body never moves";
    }
}

TEST(Swarm, ScatterDrawsXThenYForEveryBodyAndStartsAtRest)
{
    for (Body &b : bodies)
        b = Body{-1, -1, 5, 5};
    scatter_bodies();
    srand(FIXED_TICKS);
    for (const Body &b : bodies) {
        EXPECT_EQ(b.x, rand() % SCREEN_W);
        EXPECT_EQ(b.y, rand() % SCREEN_H);
        EXPECT_EQ(b.vx, 0);
        EXPECT_EQ(b.vy, 0);
    }
}
