// Preloaded by the end-to-end cases that need SDL to refuse the video mode: it refuses every
// mode and says which flags it was asked for, so the case also sees the question's answer.
#include <SDL.h>

extern "C" SDL_Surface *SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
    SDL_SetError("refused %dx%dx%d, flags 0x%x", width, height, bpp, flags);
    return NULL;
}
