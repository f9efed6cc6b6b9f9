// The full-screen question, asked once before SDL starts.
#ifndef ZAVIT_QUESTION_H
#define ZAVIT_QUESTION_H

// True only when the person answers Yes.
bool ask_fullscreen();

#endif
