// Presentation on Windows: SDL 1.2 draws to the window itself; there is nothing to choose.
#include "../presentation.h"

#include <cstddef>

void choose_presentation(bool fullscreen)
{
    (void)fullscreen;
}

bool display_reachable()
{
    return true;
}

const char *unanswered_displays()
{
    return NULL;
}

int desktop_scale()
{
    return 1;
}
