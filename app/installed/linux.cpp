// The installed sprite on Linux: in the package's data folder, found from the program's
// folder, or beside the program as in the build folder.
#include "../image.h"
#include "../installed.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <unistd.h>

// Folders to look in, relative to the program's own; the build names the data folder.
const char *const SPRITE_FOLDERS[] = {ZAVIT_DATA_FROM_PROGRAM "/", ""};

static char path[PATH_MAX];

// Leaves the program's folder in path, ending with a slash; its length, or 0 if unknown.
static size_t find_program_folder()
{
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return 0;
    path[length] = '\0';
    char *slash = strrchr(path, '/');
    if (!slash)
        return 0;
    slash[1] = '\0';
    return static_cast<size_t>(slash + 1 - path);
}

const char *installed_sprite_path()
{
    size_t folder_length = find_program_folder();
    if (folder_length == 0)
        return NULL;
    size_t room = sizeof path - folder_length;
    for (const char *folder : SPRITE_FOLDERS) {
        int length = snprintf(path + folder_length, room, "%s%s", folder, SPRITE_FILE);
        if (length > 0 && static_cast<size_t>(length) < room && access(path, F_OK) == 0)
            return path;
    }
    return NULL;
}
