// The sprite image: refuse a header that promises more than its file or a surface can
// hold, before the loader allocates for it, then load and key out white.
#include "image.h"

#include <cstdint>
#include <cstdlib>

const uint32_t OS2_INFO_BYTES = 12;          // the old core header, with 16-bit dimensions
const uint32_t WINDOWS_INFO_BYTES = 40;      // the first header to carry a compression field
const uint32_t BI_RGB = 0;                   // uncompressed
const uint32_t BI_BITFIELDS = 3;             // uncompressed, with channel masks
const int64_t SURFACE_BYTES_MAX = INT32_MAX; // a surface's pixels must stay addressable

static uint32_t read_le(const unsigned char *bytes, int count)
{
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; i--)
        value = value << 8 | bytes[i];
    return value;
}

// Bytes per pixel of the surface the loader makes: indexed images become 8 bits.
static int64_t surface_bytes_per_pixel(uint32_t bits)
{
    if (bits == 1 || bits == 2 || bits == 4 || bits == 8)
        return 1;
    if (bits == 15 || bits == 16)
        return 2;
    if (bits == 24 || bits == 32)
        return bits / 8;
    return 0;
}

const char *bmp_refusal(const unsigned char *header, size_t length, int64_t file_size)
{
    if (length < 18 || header[0] != 'B' || header[1] != 'M')
        return NULL;
    uint32_t info = read_le(header + 14, 4);
    bool old = info == OS2_INFO_BYTES;
    if (length < (old ? 26u : 34u))
        return NULL;
    int64_t width = static_cast<int32_t>(read_le(header + 18, 4));
    int64_t height = static_cast<int32_t>(read_le(header + 22, 4));
    if (old) {
        width = read_le(header + 18, 2);
        height = read_le(header + 20, 2);
    }
    uint32_t bits = read_le(header + (old ? 24 : 28), 2);
    uint32_t compression = info >= WINDOWS_INFO_BYTES ? read_le(header + 30, 4) : BI_RGB;
    int64_t pixel_bytes = surface_bytes_per_pixel(bits);
    if (width <= 0 || height == 0 || pixel_bytes == 0)
        return NULL;
    height = llabs(height);

    int64_t pitch = (width * pixel_bytes + 3) / 4 * 4;
    if (pitch > SURFACE_PITCH_MAX)
        return "BMP rows are wider than a surface can hold";
    if (pitch * height > SURFACE_BYTES_MAX)
        return "BMP image is larger than a surface can hold";
    if (compression == BI_RGB || compression == BI_BITFIELDS) {
        int64_t row = (width * bits + 31) / 32 * 4;
        int64_t last_row = (width * bits + 7) / 8;
        int64_t end = read_le(header + 10, 4) + row * (height - 1) + last_row;
        if (end > file_size)
            return "BMP pixel data runs past the end of the file";
    }
    return NULL;
}

// The file's size and first bytes, with the stream put back where the loader expects it.
static const char *stream_refusal(SDL_RWops *stream)
{
    int start = SDL_RWtell(stream);
    int end = SDL_RWseek(stream, 0, RW_SEEK_END);
    if (start < 0 || end < 0 || SDL_RWseek(stream, start, RW_SEEK_SET) < 0)
        return NULL;
    unsigned char header[BMP_HEADER_BYTES];
    size_t length = 0;
    int got = 0;
    while (length < sizeof header &&
           (got = SDL_RWread(stream, header + length, 1,
                             static_cast<int>(sizeof header - length))) > 0)
        length += static_cast<size_t>(got);
    SDL_RWseek(stream, start, RW_SEEK_SET);
    return bmp_refusal(header, length, end - start);
}

SDL_Surface *load_sprite(SDL_RWops *stream)
{
    const char *refusal = stream_refusal(stream);
    if (refusal) {
        SDL_RWclose(stream);
        SDL_SetError("%s", refusal);
        return NULL;
    }
    SDL_Surface *image = SDL_LoadBMP_RW(stream, 1);
    if (image)
        SDL_SetColorKey(image, SDL_SRCCOLORKEY, SDL_MapRGB(image->format, 255, 255, 255));
    return image;
}
