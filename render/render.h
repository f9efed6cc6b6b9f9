// Frame drawing: the body table turned into one displayed frame.
#ifndef ZAVIT_RENDER_H
#define ZAVIT_RENDER_H

#include <SDL.h>

const int SPRITE_OFFSET = 8;        // pixels from a body's position to its image's top-left corner
const Uint8 BACKGROUND_LEVEL = 255; // red, green and blue of the white background

extern SDL_Surface *screen; // the display surface, owned by SDL
extern SDL_Surface *sprite; // the loaded image, white keyed out

Sint16 blit_coordinate(double position);
void draw_frame();

#endif
