// What the program asks of the platform before SDL starts.
#ifndef ZAVIT_QUESTION_H
#define ZAVIT_QUESTION_H

// True only when the person answers Yes.
bool ask_fullscreen();

// Whether the display the question was asked on draws OpenGL on a GPU; false without one.
bool display_has_gpu();

#endif
