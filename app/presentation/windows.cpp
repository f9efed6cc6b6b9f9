// Presentation on Windows: SDL 1.2 draws to the window itself; there is nothing to choose.
#include "../presentation.h"

void choose_presentation(bool fullscreen)
{
    (void)fullscreen;
}

bool display_reachable()
{
    return true;
}

int desktop_scale()
{
    return 1;
}
