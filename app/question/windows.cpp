// The full-screen question on Windows: a message box, No the default.
#include "../question.h"

#include <windows.h>

bool ask_fullscreen()
{
    return MessageBoxA(NULL, QUESTION_TEXT, QUESTION_TITLE, MB_YESNO | MB_DEFBUTTON2) == IDYES;
}
