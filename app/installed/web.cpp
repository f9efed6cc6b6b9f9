// The installed sprite in a web page: the copy built into the program, handed to the page's
// files under a name of its own.
#include "../installed.h"

#include "built_in_sprite.h"

#include <emscripten.h>

#include <cstddef>

const char *const BUILT_IN_SPRITE = "/installed/zavit.bmp"; // a name no page file has

EM_JS(void, add_page_file, (const char *name, const unsigned char *bytes, size_t length),
      { Module.files[UTF8ToString(name)] = HEAPU8.slice(bytes, bytes + length); });

const char *installed_sprite_path()
{
    add_page_file(BUILT_IN_SPRITE, BUILT_IN_SPRITE_BYTES, sizeof BUILT_IN_SPRITE_BYTES);
    return BUILT_IN_SPRITE;
}
