// What Emscripten's SDL 1.2 emulation lacks, given here in its stead: error texts that are
// kept, streams on the files the page has read, read where the page holds them, BMP images
// checked as the desktop's loader checks them and decoded by the browser with white keyed out
// by alpha (its colour keys do nothing), the tab's title, and drawing done in the screen's own
// pixels, put on the canvas in one call a frame rather than one call a blit.
#include "../image.h"

#include <SDL.h>
#include <emscripten.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

const size_t ERROR_TEXT_MAX = 256;  // room for one error line
const int PIXEL_BYTES = 4;          // the browser's pixels: red, green, blue, alpha
const Uint32 RED_MASK = 0x000000FF; // those bytes as one little-endian word
const Uint32 GREEN_MASK = 0x0000FF00;
const Uint32 BLUE_MASK = 0x00FF0000;
const Uint32 ALPHA_MASK = 0xFF000000;
const Uint32 WHITE = RED_MASK | GREEN_MASK | BLUE_MASK;
const Uint32 CLEAR = 0;                                       // a pixel that blits leave out
const char *const NOT_BMP = "File is not a Windows BMP file"; // as the desktop's loader says
const char *const PAST_PALETTE = "A BMP image contains a pixel with a color out of the palette";
const char *const TOO_LARGE = "BMP image is larger than the page can hold";
const char *const UNDECODED = "the browser cannot decode this BMP";
const int ROW_PAD_MAX = 3; // zeros after a last row left unpadded, which browsers refuse
const Uint32 BI_RGB = 0;   // uncompressed, the one compression of indexed pixels here
// The memory the image may take: the wasm memory grows from the program's own to its most.
const int64_t IMAGE_BYTES_MAX = int64_t{ZAVIT_MEMORY_MAX} - ZAVIT_MEMORY_START;

// Where a stream on one of the page's files stands in it.
struct PageFile {
    int file; // its place among the files opened
    long at;
    long size;
};

static char error_text[ERROR_TEXT_MAX];

// Puts the screen's pixels inside the rectangle on the canvas; one image kept over them, made
// again once the memory has grown, which leaves the old view empty. The page hears of the first.
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

// The page's file of that name, taken for a stream: the page holds its one copy, and lets it go
// once the stream is closed. Its place among the files opened, its length set; or -1.
EM_ASYNC_JS(int, open_page_file, (const char *name, int *length), {
    await Module.filesRead;
    const key = UTF8ToString(name);
    const file = Module.files[key];
    if (!file)
        return -1;
    delete Module.files[key];
    Module.opened = Module.opened || [];
    HEAP32[length >> 2] = file.length;
    return Module.opened.push(file) - 1;
});

EM_JS(void, read_page_file, (int file, long at, Uint8 *bytes, int count),
      { HEAPU8.set(Module.opened[file].subarray(at, at + count), bytes); });

EM_JS(void, close_page_file, (int file), { Module.opened[file] = null; });

// Whether an indexed image names a colour past its palette, which the desktop's loader refuses
// and the browser would draw: its rows ROW bytes apart from AT in the file. The checks before
// have kept every row in the file.
EM_JS(int, indexes_past_palette,
      (int file, long at, int row, int width, int height, int bits, int colours), {
          const bytes = Module.opened[file];
          const mask = (1 << bits) - 1;
          for (let y = 0; y < height; y++)
              for (let x = 0; x < width; x++) {
                  const byte = bytes[at + y * row + (x * bits >> 3)];
                  if ((byte >> (8 - bits - x * bits % 8) & mask) >= colours)
                      return 1;
              }
          return 0;
      });

// Decodes the file's bytes from AT, with zeros after them, into the pixels of an image WIDTH by
// HEIGHT, rows PITCH bytes apart; false when the browser cannot, or decodes another size.
EM_ASYNC_JS(int, decode_in_browser,
            (int file, long at, int zeros, Uint8 *pixels, int width, int height, int pitch), {
                try {
                    const bytes = [ Module.opened[file].subarray(at), new Uint8Array(zeros) ];
                    const options = {premultiplyAlpha : 'none', colorSpaceConversion : 'none'};
                    const image = await createImageBitmap(new Blob(bytes), options);
                    const canvas = document.createElement('canvas');
                    canvas.width = image.width;
                    canvas.height = image.height;
                    const context = canvas.getContext('2d');
                    context.drawImage(image, 0, 0);
                    image.close();
                    if (canvas.width != width || canvas.height != height)
                        return 0;
                    const decoded = context.getImageData(0, 0, width, height).data;
                    canvas.width = 0; // its pixels let go at once
                    for (let y = 0; y < height; y++) {
                        const line = decoded.subarray(y * width * 4, (y + 1) * width * 4);
                        HEAPU8.set(line, pixels + y * pitch);
                    }
                    return 1;
                } catch (error) {
                    return 0;
                }
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

static PageFile &page_of(SDL_RWops *stream)
{
    return *static_cast<PageFile *>(stream->hidden.unknown.data1);
}

static long page_seek(SDL_RWops *stream, long offset, int whence)
{
    PageFile &page = page_of(stream);
    long from = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? page.at : page.size;
    if (offset < -from || offset > page.size - from) {
        SDL_SetError("Error seeking in datastream");
        return -1;
    }
    page.at = from + offset;
    return page.at;
}

static size_t page_read(SDL_RWops *stream, void *bytes, size_t size, size_t count)
{
    PageFile &page = page_of(stream);
    size_t left = static_cast<size_t>(page.size - page.at);
    size_t whole = size == 0 ? 0 : (count < left / size ? count : left / size);
    read_page_file(page.file, page.at, static_cast<Uint8 *>(bytes), static_cast<int>(whole * size));
    page.at += static_cast<long>(whole * size);
    return whole;
}

static int page_close(SDL_RWops *stream)
{
    close_page_file(page_of(stream).file);
    free(stream->hidden.unknown.data1);
    free(stream);
    return 0;
}

// Files are those the page has read for the program, read where the page holds them; none is
// written.
extern "C" SDL_RWops *SDL_RWFromFile(const char *file, const char *mode)
{
    (void)mode;
    int length = 0;
    int opened = open_page_file(file, &length);
    void *page = opened < 0 ? NULL : calloc(1, sizeof(PageFile));
    SDL_RWops *stream = page ? static_cast<SDL_RWops *>(calloc(1, sizeof *stream)) : NULL;
    if (!stream) {
        if (opened >= 0)
            close_page_file(opened);
        free(page);
        SDL_SetError("Couldn't open %s", file);
        return NULL;
    }
    stream->seek = page_seek;
    stream->read = page_read;
    stream->close = page_close;
    stream->hidden.unknown.data1 = page;
    page_of(stream) = PageFile{opened, 0, length};
    return stream;
}

// Why the page will not hand the file, from where the stream stands, to the browser: "BM"
// checked first, before anything of it is parsed, then as the desktop checks, then what the
// desktop's loader and the page's memory refuse. NULL when it may; SHAPE then set.
static const char *page_refusal(const PageFile &page, BmpShape &shape)
{
    unsigned char header[BMP_HEADER_BYTES];
    long size = page.size - page.at;
    int length = static_cast<int>(size < long{BMP_HEADER_BYTES} ? size : long{BMP_HEADER_BYTES});
    read_page_file(page.file, page.at, header, length);
    if (length < 2 || header[0] != 'B' || header[1] != 'M')
        return NOT_BMP;
    const char *refusal = bmp_refusal(header, static_cast<size_t>(length), size);
    if (refusal || !read_bmp_shape(header, static_cast<size_t>(length), shape))
        return refusal ? refusal : UNDECODED;
    int64_t height = llabs(shape.height);
    if (shape.width * height * PIXEL_BYTES > IMAGE_BYTES_MAX)
        return TOO_LARGE;
    int64_t colours = shape.colours ? shape.colours : int64_t{1} << shape.bits;
    bool indexed = shape.bits <= INDEXED_BITS_MAX && shape.compression == BI_RGB;
    if (indexed && indexes_past_palette(page.file, page.at + static_cast<long>(shape.data_offset),
                                        static_cast<int>(bmp_row_bytes(shape)),
                                        static_cast<int>(shape.width), static_cast<int>(height),
                                        static_cast<int>(shape.bits), static_cast<int>(colours)))
        return PAST_PALETTE;
    return NULL;
}

// A surface of the browser's pixels the image's size; NULL where the page has no room for it.
static SDL_Surface *new_image(const BmpShape &shape)
{
    SDL_Surface *image = SDL_CreateRGBSurface(
        SDL_SWSURFACE, static_cast<int>(shape.width), static_cast<int>(llabs(shape.height)),
        PIXEL_BYTES * 8, RED_MASK, GREEN_MASK, BLUE_MASK, ALPHA_MASK);
    if (image && !image->pixels) {
        SDL_FreeSurface(image);
        image = NULL;
    }
    return image;
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

// The image decoded by the browser into a surface of its own, white keyed out; NULL when the
// browser cannot, with the reason set.
static SDL_Surface *decode_image(const PageFile &page, const BmpShape &shape)
{
    SDL_Surface *image = new_image(shape);
    if (!image) {
        SDL_SetError("%s", TOO_LARGE);
        return NULL;
    }
    if (!decode_in_browser(page.file, page.at, ROW_PAD_MAX, static_cast<Uint8 *>(image->pixels),
                           image->w, image->h, image->pitch)) {
        SDL_FreeSurface(image);
        SDL_SetError("%s", UNDECODED);
        return NULL;
    }
    key_out_white(image);
    return image;
}

// Only a file that starts as a BMP does reaches the browser, which would decode any image.
extern "C" SDL_Surface *SDL_LoadBMP_RW(SDL_RWops *stream, int close)
{
    const PageFile *page = stream && stream->read == page_read ? &page_of(stream) : NULL;
    BmpShape shape = {};
    const char *refusal = page ? page_refusal(*page, shape) : "Error reading from datastream";
    if (refusal)
        SDL_SetError("%s", refusal);
    SDL_Surface *image = refusal ? NULL : decode_image(*page, shape);
    if (stream && close)
        SDL_RWclose(stream);
    return image;
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
