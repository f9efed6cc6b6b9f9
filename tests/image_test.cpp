// Tests of the image's header check and of loading it with white keyed out.
#include "../app/image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

const uint32_t BI_RLE8 = 1;

static void put_le(std::vector<unsigned char> &bytes, size_t at, uint32_t value, int count)
{
    for (int i = 0; i < count; i++)
        bytes[at + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

// A file header and a 40-byte info header, or the 12-byte one of old OS/2 files.
static std::vector<unsigned char> bmp_header(int32_t width, int32_t height, uint32_t bits,
                                             uint32_t compression = 0, uint32_t offset = 54,
                                             uint32_t info = 40)
{
    std::vector<unsigned char> h(BMP_HEADER_BYTES, 0);
    h[0] = 'B';
    h[1] = 'M';
    put_le(h, 10, offset, 4);
    put_le(h, 14, info, 4);
    bool old = info == 12;
    put_le(h, 18, static_cast<uint32_t>(width), old ? 2 : 4);
    put_le(h, old ? 20 : 22, static_cast<uint32_t>(height), old ? 2 : 4);
    put_le(h, old ? 24 : 28, bits, 2);
    if (!old)
        put_le(h, 30, compression, 4);
    return h;
}

TEST(BmpHeader, RefusesOnlyWhatNoFileOrSurfaceCouldHold)
{
    struct Case {
        std::vector<unsigned char> header;
        int64_t file_size;
        bool refused;
    } cases[] = {
        {bmp_header(16, 16, 24), 822, false},         // the program's own image
        {bmp_header(16, 16, 24), 821, true},          // pixel data cut short
        {bmp_header(16, -16, 24), 822, false},        // top-down rows
        {bmp_header(16, 16, 24, 0, 5000), 822, true}, // data offset past the end
        {bmp_header(30000, 30000, 24), 1024, true},   // rows wider than 65535 bytes
        {bmp_header(30000, 30000, 8), 1024, true},    // millions of bytes promised
        {bmp_header(4, INT32_MIN, 8), 1024, true},
        {bmp_header(16383, 1, 32), 54 + 65532, false}, // the widest row a surface holds
        {bmp_header(16384, 1, 32), 54 + 65536, true},
        {bmp_header(10, 2, 1), 60, false}, // last row needs no padding
        {bmp_header(10, 2, 1), 59, true},
        {bmp_header(4096, 4096, 8, BI_RLE8), 1024, false},  // runs may fill a large image
        {bmp_header(30000, 30000, 8, BI_RLE8), 1024, true}, // but not any size at all
        {bmp_header(30000, 30000, 8, 7), 1024, true},       // unknown compression: as stored
        {bmp_header(30000, 30000, 12), 1024, true},         // unusual depths too
        {bmp_header(16, 16, 24, 0, 26, 12), 794, false},    // OS/2 header, 16-bit sizes
        {bmp_header(16, 16, 24, 0, 26, 12), 793, true},
        {bmp_header(0, 16, 24), 54, false}, // bad sizes: the loader says so
        {bmp_header(16, 16, 0), 54, false},
        {bmp_header(16, 16, 7), 308, false},
        {bmp_header(16, 16, 7), 307, true},
    };
    for (size_t i = 0; i < std::size(cases); i++) {
        const Case &c = cases[i];
        const char *why = bmp_refusal(c.header.data(), c.header.size(), c.file_size);
        EXPECT_EQ(why != nullptr, c.refused) << "case " << i << ": " << (why ? why : "");
    }
    const unsigned char text[] = "not an image at all, just some text";
    EXPECT_EQ(bmp_refusal(text, sizeof text, sizeof text), nullptr);
    EXPECT_STREQ(bmp_refusal(bmp_header(16, 16, 24).data(), 33, 33), "BMP header is cut short");
}

static std::vector<unsigned char> read_asset()
{
    std::ifstream in(ZAVIT_ASSET, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

static SDL_Surface *load_bytes(const std::vector<unsigned char> &bytes)
{
    return load_sprite(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())));
}

TEST(Sprite, LoadsTheImageWithWhiteAsItsColourKey)
{
    SDL_Surface *image = load_bytes(read_asset());
    ASSERT_NE(image, nullptr) << SDL_GetError();
    EXPECT_EQ(image->w, 16);
    EXPECT_EQ(image->h, 16);
    EXPECT_TRUE(image->flags & SDL_SRCCOLORKEY);
    EXPECT_FALSE(image->flags & SDL_RLEACCEL);
    EXPECT_EQ(image->format->colorkey, SDL_MapRGB(image->format, 255, 255, 255));
    SDL_FreeSurface(image);
}

TEST(Sprite, RefusesATinyFileThatClaimsHugeSizesAndSaysWhy)
{
    std::vector<unsigned char> bytes = bmp_header(30000, 30000, 24);
    bytes.resize(1024);
    EXPECT_EQ(load_bytes(bytes), nullptr);
    EXPECT_STREQ(SDL_GetError(), "BMP rows are wider than a surface can hold");

    std::vector<unsigned char> cut = read_asset();
    cut.resize(cut.size() - 1);
    EXPECT_EQ(load_bytes(cut), nullptr);
    EXPECT_STREQ(SDL_GetError(), "BMP pixel data runs past the end of the file");

    std::vector<unsigned char> text(100, 'x');
    EXPECT_EQ(load_bytes(text), nullptr);
    EXPECT_STRNE(SDL_GetError(), "");
}
