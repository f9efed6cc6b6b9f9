// Swarm simulation: the table of bodies, their scattering and the step that moves them.
#ifndef ZAVIT_SWARM_H
#define ZAVIT_SWARM_H

// One simulated sprite: position in pixels, velocity in pixels per step.
struct Body {
    double x;
    double y;
    double vx;
    double vy;
};

const int BODY_COUNT = 32;              // bodies in the table
const int POINTER_BODY = 31;            // the body that follows the mouse; the step never moves it
const int SCREEN_W = 320;               // window width: scatter range and right wall
const int SCREEN_H = 240;               // window height: scatter range and bottom wall
const double NEAR_LIMIT_SQ = 1024.0;    // pairs interact only beyond this squared distance (32 px)
const double POINTER_DIVISOR = 0.03125; // squared distances to the pointer are scaled by this
const double WALL_FACTOR = -0.5;        // reverses and halves a velocity that would cross a wall

extern Body bodies[BODY_COUNT];

void scatter_bodies();
void step_bodies();

#endif
