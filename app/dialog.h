// Full-screen question: its layout and which answer a key, a click or a typed line gives.
#ifndef ZAVIT_DIALOG_H
#define ZAVIT_DIALOG_H

enum Answer { ANSWER_NONE, ANSWER_YES, ANSWER_NO };
enum Button { BUTTON_NONE, BUTTON_YES, BUTTON_NO };

const char *const QUESTION_TEXT = "Full Scrren?";
const char *const QUESTION_TITLE = "Notice";
const Button DEFAULT_BUTTON = BUTTON_NO;

// Dialog layout in pixels: the question's line above two buttons side by side.
const int DIALOG_W = 240;
const int DIALOG_H = 96;
const int TEXT_BASELINE = 34;
const int BUTTON_W = 72;
const int BUTTON_H = 26;
const int BUTTON_GAP = 24;
const int BUTTON_TOP = 54;
const int YES_LEFT = (DIALOG_W - 2 * BUTTON_W - BUTTON_GAP) / 2;
const int NO_LEFT = YES_LEFT + BUTTON_W + BUTTON_GAP;

Button focus_after_key(unsigned long keysym, Button focus);
Answer answer_for_key(unsigned long keysym, Button focus);
Button button_at(int x, int y);
int button_left(Button button);
bool typed_yes(const char *line);

#endif
