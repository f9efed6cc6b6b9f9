// Swarm simulation: free bodies push each other apart, the pointer body pulls them in,
// and the walls turn them back.
#include "swarm.h"

#include <SDL.h>
#include <cstdlib>

Body bodies[BODY_COUNT];

// Every body at a random whole pixel inside the window, at rest; x is drawn before y.
void scatter_bodies()
{
    srand(SDL_GetTicks());
    for (int k = 0; k < BODY_COUNT; k++) {
        bodies[k].x = rand() % SCREEN_W;
        bodies[k].vx = 0;
        bodies[k].vy = 0;
        bodies[k].y = rand() % SCREEN_H;
    }
}

// Velocities from the positions as they stand: each pair one at a time, in ascending j.
static void accelerate_bodies()
{
    for (int i = 0; i < POINTER_BODY; i++) {
        double vx = bodies[i].vx;
        double vy = bodies[i].vy;
        for (int j = 0; j < BODY_COUNT; j++) {
            if (j == i)
                continue;
            double dx = bodies[i].x - bodies[j].x;
            double dy = bodies[i].y - bodies[j].y;
            double d2 = dx * dx + dy * dy;
            if (!(d2 > NEAR_LIMIT_SQ))
                continue;
            if (j == POINTER_BODY) {
                dx = -dx;
                dy = -dy;
                d2 = d2 * POINTER_DIVISOR;
            }
            vx = vx + dx / d2;
            vy = vy + dy / d2;
        }
        bodies[i].vx = vx;
        bodies[i].vy = vy;
    }
}

// A body about to pass a wall turns back on that axis; then every free body moves.
static void move_bodies()
{
    for (int i = 0; i < POINTER_BODY; i++) {
        Body &b = bodies[i];
        double next_x = b.x + b.vx;
        double next_y = b.y + b.vy;
        if (next_x < 0 || next_x > SCREEN_W)
            b.vx = b.vx * WALL_FACTOR;
        if (next_y < 0 || next_y > SCREEN_H)
            b.vy = b.vy * WALL_FACTOR;
        b.x = b.x + b.vx;
        b.y = b.y + b.vy;
    }
}

void step_bodies()
{
    accelerate_bodies();
    move_bodies();
}
