// The full-screen question on a terminal, for a desktop without a display to ask on.
#include "../question.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <unistd.h>

const int LINE_MAX_BYTES = 64; // longest answer read; the rest of a longer line is left

// A line means Yes when it is "y" or "yes", in any case, with blanks around it allowed.
static bool typed_yes(const char *line)
{
    while (isspace(static_cast<unsigned char>(*line)))
        line++;
    size_t length = strlen(line);
    while (length > 0 && isspace(static_cast<unsigned char>(line[length - 1])))
        length--;
    return (length == 1 && tolower(static_cast<unsigned char>(line[0])) == 'y') ||
           (length == 3 && strncasecmp(line, "yes", 3) == 0);
}

bool ask_on_terminal()
{
    if (!isatty(STDIN_FILENO) || !isatty(STDERR_FILENO))
        return false;
    fprintf(stderr, "%s: %s [y/N] ", QUESTION_TITLE, QUESTION_TEXT);
    char line[LINE_MAX_BYTES];
    if (!fgets(line, sizeof line, stdin)) {
        fputc('\n', stderr);
        return false;
    }
    return typed_yes(line);
}
