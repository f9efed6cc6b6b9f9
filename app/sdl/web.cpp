// What Emscripten's SDL 1.2 emulation lacks, given here in its stead: error texts that are
// kept, streams on the files the page has read, BMP images decoded by the browser with white
// keyed out by alpha (its colour keys do nothing), the tab's title, and drawing done in the
// screen's own pixels, put on the canvas in one call a frame rather than one call a blit.
#include <SDL.h>
#include <emscripten.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const size_t ERROR_TEXT_MAX = 256;  // room for one error line
const int PIXEL_BYTES = 4;          // the browser's pixels: red, green, blue, alpha
const Uint32 RED_MASK = 0x000000FF; // those bytes as one little-endian word
const Uint32 GREEN_MASK = 0x0000FF00;
const Uint32 BLUE_MASK = 0x00FF0000;
const Uint32 ALPHA_MASK = 0xFF000000;
const Uint32 WHITE = RED_MASK | GREEN_MASK | BLUE_MASK;
const Uint32 CLEAR = 0;                                       // a pixel that blits leave out
const char *const NOT_BMP = "File is not a Windows BMP file"; // as the desktop's loader says
const size_t ROW_PAD_MAX = 3; // zeros after a last row left unpadded, which browsers refuse
const char *const PAST_PALETTE = "A BMP image contains a pixel with a color out of the palette";
const size_t INDEXED_HEADER_BYTES = 50; // up to the count of colours used, at 46
const Uint32 OS2_INFO_BYTES = 12;       // the old core header, with 16-bit dimensions
const Uint32 INDEXED_BITS_MAX = 8;      // deeper pixels carry no palette index
const Uint32 BI_BITFIELDS = 3;          // uncompressed, with masks for 16 or 32 bits

// Where an uncompressed image's rows lie, each a whole number of 32-bit words.
struct Layout {
    Uint32 bits, width, height, colours, offset, row;
};

static char error_text[ERROR_TEXT_MAX];

// Puts the screen's pixels inside the rectangle on the canvas; one image kept over them. The
// page hears of the first.
EM_JS(void, show_pixels, (const Uint8 *pixels, int width, int height, const SDL_Rect *rect), {
    let image = Module.screenImage;
    if (!image || image.data.buffer != HEAPU8.buffer || image.data.byteOffset != pixels) {
        const bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
        image = Module.screenImage = new ImageData(bytes, width, height);
        Module.drawing();
    }
    const at = rect >> 2;
    const context = Module.canvas.getContext('2d');
    context.putImageData(image, 0, 0, HEAP32[at], HEAP32[at + 1], HEAP32[at + 2], HEAP32[at + 3]);
});

// Decodes the file's bytes into an image kept by the page; false when the browser cannot.
EM_ASYNC_JS(int, decode_in_browser, (const Uint8 *bytes, size_t length, int *size), {
    try {
        const blob = new Blob([HEAPU8.slice(bytes, bytes + length)]);
        const options = {premultiplyAlpha : 'none', colorSpaceConversion : 'none'};
        const image = await createImageBitmap(blob, options);
        const canvas = document.createElement('canvas');
        canvas.width = image.width;
        canvas.height = image.height;
        const context = canvas.getContext('2d');
        context.drawImage(image, 0, 0);
        Module.decoded = context.getImageData(0, 0, image.width, image.height).data;
        HEAP32[size >> 2] = image.width;
        HEAP32[(size >> 2) + 1] = image.height;
        return 1;
    } catch (error) {
        return 0;
    }
});

// Copies the decoded image's rows of LENGTH bytes into pixels PITCH bytes apart, and lets it go.
EM_JS(void, take_decoded, (Uint8 * pixels, int height, int length, int pitch), {
    for (let row = 0; row < height; row++)
        HEAPU8.set(Module.decoded.subarray(row * length, (row + 1) * length), pixels + row * pitch);
    Module.decoded = null;
});

EM_JS(void, set_title, (const char *title), { document.title = UTF8ToString(title); });

extern "C" void SDL_SetError(const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    vsnprintf(error_text, sizeof error_text, fmt, args);
    va_end(args);
}

extern "C" const char *SDL_GetError(void)
{
    return error_text;
}

// The loader has keyed white out already; the emulation's own would only warn on the console.
extern "C" int SDL_SetColorKey(SDL_Surface *surface, int flag, Uint32 key)
{
    (void)surface;
    (void)flag;
    (void)key;
    return 0;
}

extern "C" void SDL_WM_SetCaption(const char *title, const char *icon)
{
    (void)icon;
    if (title)
        set_title(title);
}

// The page's file of that name, copied into memory of the program's own; its length, or -1.
EM_ASYNC_JS(int, read_page_file, (const char *name, Uint8 **bytes), {
    await Module.filesRead;
    const file = Module.files[UTF8ToString(name)];
    if (!file)
        return -1;
    const copy = _malloc(file.length + 1);
    HEAPU8.set(file, copy);
    HEAP32[bytes >> 2] = copy;
    return file.length;
});

static long memory_seek(SDL_RWops *stream, long offset, int whence)
{
    Uint8 *base = stream->hidden.mem.base;
    Uint8 *from = whence == RW_SEEK_SET   ? base
                  : whence == RW_SEEK_CUR ? stream->hidden.mem.here
                                          : stream->hidden.mem.stop;
    long room = stream->hidden.mem.stop - from;
    if (offset < base - from || offset > room) {
        SDL_SetError("Error seeking in datastream");
        return -1;
    }
    stream->hidden.mem.here = from + offset;
    return stream->hidden.mem.here - base;
}

static size_t memory_read(SDL_RWops *stream, void *bytes, size_t size, size_t count)
{
    size_t left = static_cast<size_t>(stream->hidden.mem.stop - stream->hidden.mem.here);
    size_t whole = size == 0 ? 0 : (count < left / size ? count : left / size);
    memcpy(bytes, stream->hidden.mem.here, whole * size);
    stream->hidden.mem.here += whole * size;
    return whole;
}

static int memory_close(SDL_RWops *stream)
{
    free(stream->hidden.mem.base);
    free(stream);
    return 0;
}

// Files are those the page has read for the program, each held in memory; none is written.
extern "C" SDL_RWops *SDL_RWFromFile(const char *file, const char *mode)
{
    (void)mode;
    Uint8 *bytes = NULL;
    int length = read_page_file(file, &bytes);
    SDL_RWops *stream = length < 0 ? NULL : static_cast<SDL_RWops *>(calloc(1, sizeof *stream));
    if (!stream) {
        SDL_SetError("Couldn't open %s", file);
        free(bytes);
        return NULL;
    }
    stream->seek = memory_seek;
    stream->read = memory_read;
    stream->close = memory_close;
    stream->hidden.mem.base = stream->hidden.mem.here = bytes;
    stream->hidden.mem.stop = bytes + length;
    return stream;
}

// The rest of the stream, from where it stands, in memory of its own; NULL when unreadable.
static Uint8 *read_rest(SDL_RWops *stream, size_t &length)
{
    long start = SDL_RWtell(stream);
    long end = SDL_RWseek(stream, 0, RW_SEEK_END);
    if (start < 0 || end < start || SDL_RWseek(stream, start, RW_SEEK_SET) < 0)
        return NULL;
    length = static_cast<size_t>(end - start);
    Uint8 *bytes = static_cast<Uint8 *>(calloc(length + ROW_PAD_MAX, 1));
    if (bytes && SDL_RWread(stream, bytes, 1, length) != length) {
        free(bytes);
        bytes = NULL;
    }
    return bytes;
}

static Uint32 read_le(const Uint8 *bytes, int count)
{
    Uint32 value = 0;
    for (int i = count - 1; i >= 0; i--)
        value = value << 8 | bytes[i];
    return value;
}

// An uncompressed image's rows, as its header gives them; false for any other image.
static bool read_layout(const Uint8 *bytes, size_t length, Layout &layout)
{
    bool old = length >= 18 && read_le(bytes + 14, 4) == OS2_INFO_BYTES;
    if ((length < INDEXED_HEADER_BYTES && !old) ||
        (!old && read_le(bytes + 30, 4) != 0 && read_le(bytes + 30, 4) != BI_BITFIELDS))
        return false;
    layout.bits = read_le(bytes + (old ? 24 : 28), 2);
    layout.width = old ? read_le(bytes + 18, 2) : read_le(bytes + 18, 4);
    Uint32 height = old ? read_le(bytes + 20, 2) : read_le(bytes + 22, 4);
    layout.height = old || static_cast<Sint32>(height) > 0 ? height : 0 - height;
    layout.colours = old ? 0 : read_le(bytes + 46, 4);
    layout.offset = read_le(bytes + 10, 4);
    layout.row = (layout.width * layout.bits + 31) / 32 * 4;
    return true;
}

// Whether an indexed image names a colour past its palette, which the desktop's loader
// refuses and the browser would draw. The checks before have kept every row in the file.
static bool indexes_past_palette(const Uint8 *bytes, const Layout &layout)
{
    Uint32 bits = layout.bits;
    if (bits > INDEXED_BITS_MAX)
        return false;
    Uint32 colours = layout.colours ? layout.colours : 1u << bits;
    for (Uint32 y = 0; y < layout.height; y++)
        for (Uint32 x = 0; x < layout.width; x++) {
            Uint8 byte = bytes[layout.offset + y * layout.row + x * bits / 8];
            if ((byte >> (8 - bits - x * bits % 8) & ((1u << bits) - 1)) >= colours)
                return true;
        }
    return false;
}

// The desktop's loader takes a last row without its padding; the browser needs it there.
static Uint8 *pad_last_row(Uint8 *bytes, size_t &length, const Layout &layout)
{
    size_t whole = layout.offset + static_cast<size_t>(layout.row) * layout.height;
    Uint8 *padded = whole > length ? static_cast<Uint8 *>(realloc(bytes, whole)) : bytes;
    if (padded && whole > length) {
        memset(padded + length, 0, whole - length);
        length = whole;
    }
    return padded ? padded : bytes;
}

static Uint32 *pixel_row(const SDL_Surface *surface, int y)
{
    return reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(surface->pixels) + y * surface->pitch);
}

// White becomes clear and every other colour opaque, as a colour key would draw them.
static void key_out_white(SDL_Surface *image)
{
    for (int y = 0; y < image->h; y++) {
        Uint32 *row = pixel_row(image, y);
        for (int x = 0; x < image->w; x++)
            row[x] = (row[x] & WHITE) == WHITE ? CLEAR : row[x] | ALPHA_MASK;
    }
}

// The decoded image as a surface of the browser's pixels, white keyed out.
static SDL_Surface *surface_of_decoded(int width, int height)
{
    SDL_Surface *image = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, PIXEL_BYTES * 8,
                                              RED_MASK, GREEN_MASK, BLUE_MASK, ALPHA_MASK);
    if (!image) {
        SDL_SetError("Out of memory");
        return NULL;
    }
    SDL_LockSurface(image);
    take_decoded(static_cast<Uint8 *>(image->pixels), height, width * PIXEL_BYTES, image->pitch);
    key_out_white(image);
    SDL_UnlockSurface(image);
    return image;
}

// Only a file that starts as a BMP does reaches the browser, which would decode any image.
extern "C" SDL_Surface *SDL_LoadBMP_RW(SDL_RWops *stream, int close)
{
    size_t length = 0;
    Uint8 *bytes = stream ? read_rest(stream, length) : NULL;
    if (stream && close)
        SDL_RWclose(stream);
    int size[2] = {0, 0};
    bool decoded = false;
    Layout layout = {0, 0, 0, 0, 0, 0};
    bool plain = bytes && read_layout(bytes, length, layout);
    if (plain)
        bytes = pad_last_row(bytes, length, layout);
    if (!bytes)
        SDL_SetError("Error reading from datastream");
    else if (length < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        SDL_SetError("%s", NOT_BMP);
    else if (plain && indexes_past_palette(bytes, layout))
        SDL_SetError("%s", PAST_PALETTE);
    else if (!(decoded = decode_in_browser(bytes, length + ROW_PAD_MAX, size)))
        SDL_SetError("the browser cannot decode this BMP");
    free(bytes);
    return decoded ? surface_of_decoded(size[0], size[1]) : NULL;
}

// Cuts a span starting at AT, SIZE long, to LOW..HIGH; how far its start moved.
static int cut(int &at, int &size, int low, int high)
{
    int front = at < low ? low - at : 0;
    at += front;
    size -= front;
    if (at + size > high)
        size = high - at;
    return front;
}

// The surface's clip rectangle, kept inside the surface.
static void clip_bounds(const SDL_Surface *surface, int low[2], int high[2])
{
    const SDL_Rect &clip = surface->clip_rect;
    low[0] = clip.x > 0 ? clip.x : 0;
    low[1] = clip.y > 0 ? clip.y : 0;
    high[0] = clip.x + clip.w < surface->w ? clip.x + clip.w : surface->w;
    high[1] = clip.y + clip.h < surface->h ? clip.y + clip.h : surface->h;
}

static bool drawable(const SDL_Surface *surface)
{
    return surface && surface->pixels && surface->format->BytesPerPixel == PIXEL_BYTES;
}

static void set_rect(SDL_Rect *rect, const int at[2], const int size[2])
{
    bool some = size[0] > 0 && size[1] > 0;
    *rect = {at[0], at[1], some ? size[0] : 0, some ? size[1] : 0};
}

// The rectangle, or the whole clip rectangle, filled with the raw pixel, clipped as SDL clips.
extern "C" int SDL_FillRect(SDL_Surface *dst, const SDL_Rect *dstrect, Uint32 color)
{
    if (!drawable(dst)) {
        SDL_SetError("SDL_FillRect(): Unsupported surface format");
        return -1;
    }
    int low[2], high[2];
    clip_bounds(dst, low, high);
    int at[2] = {dstrect ? dstrect->x : low[0], dstrect ? dstrect->y : low[1]};
    int size[2] = {dstrect ? dstrect->w : high[0] - low[0],
                   dstrect ? dstrect->h : high[1] - low[1]};
    for (int axis = 0; axis < 2; axis++)
        cut(at[axis], size[axis], low[axis], high[axis]);
    for (int y = 0; y < size[1]; y++)
        for (int x = 0; x < size[0]; x++)
            pixel_row(dst, at[1] + y)[at[0] + x] = color;
    return 0;
}

// Copies the clipped source's pixels that are not clear: white was keyed out by alpha.
static void copy_keyed(const SDL_Surface *src, const int from[2], SDL_Surface *dst, const int to[2],
                       const int size[2])
{
    for (int y = 0; y < size[1]; y++) {
        const Uint32 *in = pixel_row(src, from[1] + y) + from[0];
        Uint32 *out = pixel_row(dst, to[1] + y) + to[0];
        for (int x = 0; x < size[0]; x++)
            if (in[x] & ALPHA_MASK)
                out[x] = in[x];
    }
}

// Clips to the source and then to the destination's clip rectangle, as SDL does, and
// leaves the rectangle drawn in DSTRECT.
extern "C" int SDL_UpperBlit(SDL_Surface *src, const SDL_Rect *srcrect, SDL_Surface *dst,
                             SDL_Rect *dstrect)
{
    if (!drawable(src) || !drawable(dst)) {
        SDL_SetError("SDL_UpperBlit: passed a NULL surface");
        return -1;
    }
    int from[2] = {srcrect ? srcrect->x : 0, srcrect ? srcrect->y : 0};
    int size[2] = {srcrect ? srcrect->w : src->w, srcrect ? srcrect->h : src->h};
    int to[2] = {dstrect ? dstrect->x : 0, dstrect ? dstrect->y : 0};
    int low[2], high[2];
    clip_bounds(dst, low, high);
    int whole[2] = {src->w, src->h};
    for (int axis = 0; axis < 2; axis++) {
        to[axis] += cut(from[axis], size[axis], 0, whole[axis]);
        from[axis] += cut(to[axis], size[axis], low[axis], high[axis]);
    }
    if (dstrect)
        set_rect(dstrect, to, size);
    if (size[0] > 0 && size[1] > 0)
        copy_keyed(src, from, dst, to, size);
    return 0;
}

// The rectangle of the screen, or all of it when it is all zeros, onto the canvas.
extern "C" void SDL_UpdateRect(SDL_Surface *screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h)
{
    if (!drawable(screen))
        return;
    SDL_Rect rect = {x, y, static_cast<int>(w), static_cast<int>(h)};
    if (x == 0 && y == 0 && w == 0 && h == 0)
        rect = {0, 0, screen->w, screen->h};
    show_pixels(static_cast<Uint8 *>(screen->pixels), screen->w, screen->h, &rect);
}
