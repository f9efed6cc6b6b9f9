// Frame drawing: white background, one image per body, the pointer body on top.
#include "render.h"

#include "../swarm/swarm.h"

#include <cstdint>

// Truncate toward zero into 32 bits, move back by the offset and keep the low 16 bits.
// Values outside the 32-bit range saturate first and NaN counts as 0, so every double
// has a defined result; the simulation never comes near those limits.
Sint16 blit_coordinate(double position)
{
    int32_t whole = 0;
    if (position >= 2147483647.0)
        whole = INT32_MAX;
    else if (position <= -2147483648.0)
        whole = INT32_MIN;
    else if (position == position)
        whole = static_cast<int32_t>(position);
    uint32_t shifted = static_cast<uint32_t>(whole) - static_cast<uint32_t>(SPRITE_OFFSET);
    uint16_t low = static_cast<uint16_t>(shifted & 0xFFFFu);
    return static_cast<Sint16>(low < 0x8000u ? low : static_cast<int>(low) - 0x10000);
}

void draw_frame()
{
    // White in the screen's own format, whose top byte may be alpha.
    Uint32 white = SDL_MapRGB(screen->format, BACKGROUND_LEVEL, BACKGROUND_LEVEL, BACKGROUND_LEVEL);
    SDL_FillRect(screen, NULL, white);

    SDL_Rect place = {0, 0, 0, 0};
    for (int k = 0; k < BODY_COUNT; k++) {
        place.x = blit_coordinate(bodies[k].x);
        place.y = blit_coordinate(bodies[k].y);
        SDL_UpperBlit(sprite, NULL, screen, &place);
    }

    SDL_UpdateRect(screen, 0, 0, SCREEN_W, SCREEN_H);
}
