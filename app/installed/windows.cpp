// The installed sprite on Windows: beside zavit.exe, wherever it was unzipped.
#include "../image.h"
#include "../installed.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

static char path[MAX_PATH];

const char *installed_sprite_path()
{
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return NULL;
    char *backslash = strrchr(path, '\\');
    if (!backslash)
        return NULL;
    size_t room = sizeof path - static_cast<size_t>(backslash + 1 - path);
    int written = snprintf(backslash + 1, room, "%s", SPRITE_FILE);
    if (written < 0 || static_cast<size_t>(written) >= room)
        return NULL;
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? NULL : path;
}
