// The sprite image: refuse a header that no BMP may have, or that promises more than its
// file or a surface can hold, before the loader allocates for it; then load it, give it the
// palette its file holds, and key out white.
#include "image.h"

#include <cstdint>
#include <cstdlib>

const uint32_t FILE_HEADER_BYTES = 14;       // "BM", the file's size, the pixels' offset
const uint32_t OS2_INFO_BYTES = 12;          // the old core header, with 16-bit dimensions
const uint32_t WINDOWS_INFO_BYTES = 40;      // the first header to carry a compression field
const uint32_t BI_RLE8 = 1;                  // run-length encoded, 8 bits per pixel
const uint32_t BI_RLE4 = 2;                  // run-length encoded, 4 bits per pixel
const uint32_t BI_BITFIELDS = 3;             // uncompressed, with masks for 16 or 32 bits
const int64_t SURFACE_BYTES_MAX = INT32_MAX; // a surface's pixels must stay addressable
const int64_t RLE_BYTES_MAX = 64 << 20;      // a few runs can promise any size: cap it
const size_t PALETTE_ENTRY_BYTES = 4;        // blue, green, red and a spare byte
const int PALETTE_COLOURS_MAX = 256;         // as many as 8 bits can index

static uint32_t read_le(const unsigned char *bytes, int count)
{
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; i--)
        value = value << 8 | bytes[i];
    return value;
}

int64_t bmp_row_bytes(const BmpShape &shape)
{
    return (shape.width * shape.bits + 31) / 32 * 4;
}

bool read_bmp_shape(const unsigned char *header, size_t length, BmpShape &shape)
{
    if (length < 18)
        return false;
    uint32_t info = read_le(header + FILE_HEADER_BYTES, 4);
    bool old = info == OS2_INFO_BYTES;
    size_t needed = old ? 26 : info >= WINDOWS_INFO_BYTES ? 50 : 30;
    if (length < needed)
        return false;
    shape.width = static_cast<int32_t>(read_le(header + 18, 4));
    shape.height = static_cast<int32_t>(read_le(header + 22, 4));
    if (old) {
        shape.width = read_le(header + 18, 2);
        shape.height = read_le(header + 20, 2);
    }
    shape.bits = read_le(header + (old ? 24 : 28), 2);
    shape.compression = info >= WINDOWS_INFO_BYTES ? read_le(header + 30, 4) : 0;
    shape.colours = info >= WINDOWS_INFO_BYTES ? read_le(header + 46, 4) : 0;
    shape.data_offset = read_le(header + 10, 4);
    shape.info = info;
    return true;
}

// The depths a BMP may have, each with the compressions that fit it.
static bool depth_fits(const BmpShape &shape)
{
    switch (shape.bits) {
    case 1:
        return shape.compression == 0;
    case 4:
        return shape.compression == 0 || shape.compression == BI_RLE4;
    case 8:
        return shape.compression == 0 || shape.compression == BI_RLE8;
    case 16:
    case 24:
    case 32:
        return shape.compression == 0 || (shape.compression == BI_BITFIELDS && shape.bits != 24);
    default:
        return false;
    }
}

const char *bmp_refusal(const unsigned char *header, size_t length, int64_t file_size)
{
    if (length < 2 || header[0] != 'B' || header[1] != 'M')
        return NULL;
    BmpShape shape;
    if (!read_bmp_shape(header, length, shape))
        return "BMP header is cut short";
    if (!depth_fits(shape))
        return "BMP depth or compression is not one a BMP may have";
    if (shape.width <= 0 || shape.height == 0)
        return "BMP image has no pixels";
    if (shape.bits <= INDEXED_BITS_MAX && shape.colours > int64_t{1} << shape.bits)
        return "BMP palette holds more colours than its depth can index";
    // The loader makes 8-bit surfaces of indexed images; other depths take their own size.
    int64_t pixel_bytes = shape.bits <= INDEXED_BITS_MAX ? 1 : shape.bits / 8;
    int64_t width = shape.width;
    int64_t height = llabs(shape.height);

    int64_t pitch = (width * pixel_bytes + 3) / 4 * 4;
    if (pitch > SURFACE_PITCH_MAX)
        return "BMP rows are wider than a surface can hold";
    if (pitch * height > SURFACE_BYTES_MAX)
        return "BMP image is larger than a surface can hold";
    if (shape.compression == BI_RLE8 || shape.compression == BI_RLE4)
        return pitch * height > RLE_BYTES_MAX ? "compressed BMP image is too large" : NULL;
    int64_t row = bmp_row_bytes(shape);
    int64_t last_row = (width * shape.bits + 7) / 8;
    if (shape.data_offset + row * (height - 1) + last_row > file_size)
        return "BMP pixel data runs past the end of the file";
    return NULL;
}

// SDL 3's loader refuses a last row left without its padding, and says nothing of it.
static const char *silent_refusal(const unsigned char *header, size_t length, int64_t file_size)
{
    BmpShape shape;
    if (read_bmp_shape(header, length, shape) &&
        shape.data_offset + bmp_row_bytes(shape) * llabs(shape.height) > file_size)
        return "BMP's last row lacks the padding that this SDL needs";
    return "SDL's loader refused the BMP without saying why";
}

// Up to COUNT bytes from OFFSET past where the stream stands, which it is put back to; how many.
// COUNT (a header or a palette) fits 16 bits, which SDL 1.2's int and Emscripten's size_t take.
static size_t read_from(SDL_RWops *stream, int64_t offset, unsigned char *bytes, size_t count)
{
    int start = SDL_RWtell(stream);
    size_t length = 0;
    int got = 0;
    if (start < 0 || offset > INT32_MAX - start)
        return 0;
    if (SDL_RWseek(stream, start + static_cast<int>(offset), RW_SEEK_SET) >= 0)
        while (length < count &&
               (got = static_cast<int>(SDL_RWread(stream, bytes + length, 1,
                                                  static_cast<Uint16>(count - length)))) > 0)
            length += static_cast<size_t>(got);
    SDL_RWseek(stream, start, RW_SEEK_SET);
    return length;
}

// The stream's size from where it stands, which it is put back to; -1 when it cannot tell.
static int64_t stream_size(SDL_RWops *stream)
{
    int start = SDL_RWtell(stream);
    int end = SDL_RWseek(stream, 0, RW_SEEK_END);
    if (start < 0 || end < 0 || SDL_RWseek(stream, start, RW_SEEK_SET) < 0)
        return -1;
    return end - start;
}

// An indexed image's palette follows its info header. Classic SDL 1.2 reads it right after the
// header's first 40 bytes, however long the header is; SDL 2 after the whole header. The
// colours that follow a longer header, to give the image; none for other images.
static int palette_after_long_header(SDL_RWops *stream, const unsigned char *header, size_t length,
                                     SDL_Color *colours)
{
    BmpShape shape;
    if (!read_bmp_shape(header, length, shape) || shape.info <= WINDOWS_INFO_BYTES ||
        shape.bits > INDEXED_BITS_MAX)
        return 0;
    int64_t indexable = int64_t{1} << shape.bits;
    int64_t listed = shape.colours > 0 && shape.colours < indexable ? shape.colours : indexable;
    unsigned char entries[PALETTE_COLOURS_MAX][PALETTE_ENTRY_BYTES];
    size_t read = read_from(stream, FILE_HEADER_BYTES + shape.info, entries[0],
                            static_cast<size_t>(listed) * PALETTE_ENTRY_BYTES);
    int count = static_cast<int>(read / PALETTE_ENTRY_BYTES);
    for (int i = 0; i < count; i++)
        colours[i] = SDL_Color{entries[i][2], entries[i][1], entries[i][0], entries[i][3]};
    return count;
}

// The header is read once, for the checks and for the palette.
SDL_Surface *load_sprite(SDL_RWops *stream)
{
    unsigned char header[BMP_HEADER_BYTES];
    size_t length = read_from(stream, 0, header, sizeof header);
    int64_t size = stream_size(stream);
    const char *refusal = size < 0 ? NULL : bmp_refusal(header, length, size);
    if (refusal) {
        SDL_RWclose(stream);
        SDL_SetError("%s", refusal);
        return NULL;
    }
    SDL_Color palette[PALETTE_COLOURS_MAX];
    int colours = palette_after_long_header(stream, header, length, palette);
    SDL_SetError("%s", "");
    SDL_Surface *image = SDL_LoadBMP_RW(stream, 1);
    if (!image && !*SDL_GetError())
        SDL_SetError("%s", silent_refusal(header, length, size));
    if (image && colours > 0)
        SDL_SetColors(image, palette, 0, colours);
    if (image)
        SDL_SetColorKey(image, SDL_SRCCOLORKEY, SDL_MapRGB(image->format, 255, 255, 255));
    return image;
}
