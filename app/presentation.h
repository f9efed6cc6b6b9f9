// How SDL presents the frames: chosen for the display before SDL starts.
#ifndef ZAVIT_PRESENTATION_H
#define ZAVIT_PRESENTATION_H

// Settles SDL's presentation for a window or full screen; the person's own settings win.
void choose_presentation(bool fullscreen);

// False where SDL cannot have a display to open a window on, nor a driver the person named.
bool display_reachable();

// The displays named for SDL, where none of them answers: "display \":1\"" or "displays
// \"wayland-1\" and \":1\"". NULL where one answers, none is named, or the person named SDL's
// driver.
const char *unanswered_displays();

// The whole factor by which the desktop asks programs to scale themselves: 1 for none.
int desktop_scale();

#endif
