// The copy of the sprite installed with the program, for a working directory without one.
#ifndef ZAVIT_INSTALLED_H
#define ZAVIT_INSTALLED_H

// The path of the installed image, found from the program's own place so that an
// installation can move; NULL when there is no such file.
const char *installed_sprite_path();

#endif
