// The sprite image: a BMP checked against what its file holds, loaded, white keyed out.
#ifndef ZAVIT_IMAGE_H
#define ZAVIT_IMAGE_H

#include <SDL.h>

#include <cstddef>
#include <cstdint>

const char *const SPRITE_FILE = "zavit.bmp"; // in the working directory, else installed
const size_t BMP_HEADER_BYTES = 54;          // file header and the common info header
const int64_t SURFACE_PITCH_MAX = 65535;     // an SDL 1.2 surface row is counted in 16 bits
const int64_t INDEXED_BITS_MAX = 8;          // deeper images carry no palette the loader reads

// What a BMP header says about the pixels that follow it.
struct BmpShape {
    uint32_t info; // the info header's size
    int64_t width;
    int64_t height;
    int64_t bits;
    uint32_t compression;
    int64_t colours;
    int64_t data_offset;
};

// The sizes from the file header and the info header, old or new; false when cut short.
bool read_bmp_shape(const unsigned char *header, size_t length, BmpShape &shape);

// A row of pixels in the file, padded to whole 32-bit words.
int64_t bmp_row_bytes(const BmpShape &shape);

// Why a BMP with this header cannot become a surface, or NULL when the loader may try.
const char *bmp_refusal(const unsigned char *header, size_t length, int64_t file_size);

// Loads the image from the stream, which it always closes; NULL with SDL's error set on failure.
SDL_Surface *load_sprite(SDL_RWops *stream);

#endif
