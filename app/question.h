// The full-screen question, asked once before SDL starts; each platform asks it its own way.
#ifndef ZAVIT_QUESTION_H
#define ZAVIT_QUESTION_H

const char *const QUESTION_TEXT = "Full Scrren?";
const char *const QUESTION_TITLE = "Notice";

// True only when the person answers Yes.
bool ask_fullscreen();

// Asks on the terminal, where there is one: stdin and stderr both a terminal.
// False, meaning No, without one.
bool ask_on_terminal();

#endif
