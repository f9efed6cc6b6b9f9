// Full-screen question: the decisions behind the dialog, apart from any window system.
#include "dialog.h"

#include <X11/keysym.h>

#include <cctype>
#include <cstring>
#include <strings.h>

// Tab, Shift+Tab and the arrow keys move the focus; with two buttons any move swaps it.
Button focus_after_key(unsigned long keysym, Button focus)
{
    switch (keysym) {
    case XK_Tab:
    case XK_ISO_Left_Tab:
    case XK_Left:
    case XK_Right:
    case XK_Up:
    case XK_Down:
        return focus == BUTTON_YES ? BUTTON_NO : BUTTON_YES;
    default:
        return focus;
    }
}

// Y and N answer directly, Escape means No, and Return, keypad Enter or space
// press the focused button.
Answer answer_for_key(unsigned long keysym, Button focus)
{
    switch (keysym) {
    case XK_y:
    case XK_Y:
        return ANSWER_YES;
    case XK_n:
    case XK_N:
    case XK_Escape:
        return ANSWER_NO;
    case XK_Return:
    case XK_KP_Enter:
    case XK_space:
        return focus == BUTTON_YES ? ANSWER_YES : ANSWER_NO;
    default:
        return ANSWER_NONE;
    }
}

int button_left(Button button)
{
    return button == BUTTON_YES ? YES_LEFT : NO_LEFT;
}

// The button under a point of the dialog, edges included.
Button button_at(int x, int y)
{
    if (y < BUTTON_TOP || y > BUTTON_TOP + BUTTON_H)
        return BUTTON_NONE;
    if (x >= YES_LEFT && x <= YES_LEFT + BUTTON_W)
        return BUTTON_YES;
    if (x >= NO_LEFT && x <= NO_LEFT + BUTTON_W)
        return BUTTON_NO;
    return BUTTON_NONE;
}

// A line typed at the terminal means Yes when it is "y" or "yes", in any case,
// with blanks around it allowed.
bool typed_yes(const char *line)
{
    while (isspace(static_cast<unsigned char>(*line)))
        line++;
    size_t length = strlen(line);
    while (length > 0 && isspace(static_cast<unsigned char>(line[length - 1])))
        length--;
    return (length == 1 && tolower(static_cast<unsigned char>(line[0])) == 'y') ||
           (length == 3 && strncasecmp(line, "yes", 3) == 0);
}
