// The image check's limits, each on both sides.
#include "../app/image.h"

#include <gtest/gtest.h>

#include <vector>

// A file header and a 40-byte info header, or the 12-byte one of old OS/2 files.
static std::vector<unsigned char> bmp_header(int32_t width, int32_t height, uint32_t bits,
                                             uint32_t compression = 0, uint32_t colours = 0,
                                             uint32_t info = 40)
{
    std::vector<unsigned char> h(BMP_HEADER_BYTES, 0);
    bool old = info == 12;
    auto put = [&h](size_t at, uint32_t value, int count) {
        for (int i = 0; i < count; i++)
            h[at + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
    };
    h[0] = 'B';
    h[1] = 'M';
    put(10, 14 + info, 4);
    put(14, info, 4);
    put(18, static_cast<uint32_t>(width), old ? 2 : 4);
    put(old ? 20 : 22, static_cast<uint32_t>(height), old ? 2 : 4);
    put(old ? 24 : 28, bits, 2);
    put(30, old ? 0 : compression, 4);
    put(46, old ? 0 : colours, 4);
    return h;
}

TEST(Image, HeadersAreRefusedExactlyWhereNoFileOrSurfaceCouldHoldThem)
{
    struct Case {
        std::vector<unsigned char> header;
        int64_t file_size;
        bool refused;
    } cases[] = {
        {bmp_header(16, 16, 24), 822, false},  // the program's own image
        {bmp_header(16, 16, 24), 821, true},   // pixel data cut short
        {bmp_header(16, -16, 24), 822, false}, // top-down rows
        {bmp_header(10, 2, 1), 60, false},     // a last row needs no padding
        {bmp_header(10, 2, 1), 59, true},
        {bmp_header(16, 16, 24, 0, 0, 12), 794, false}, // OS/2 header, 16-bit sizes
        {bmp_header(16, 16, 24, 0, 0, 12), 793, true},
        {bmp_header(16383, 1, 32), 54 + 65532, false}, // the widest row a surface holds
        {bmp_header(16384, 1, 32), 54 + 65536, true},
        {bmp_header(65532, 32770, 8), 1LL << 32, false}, // the most bytes a surface holds
        {bmp_header(65532, 32771, 8), 1LL << 32, true},
        {bmp_header(8192, 8192, 8, 1), 1024, false},  // runs may fill a large image,
        {bmp_header(8192, 8193, 8, 1), 1024, true},   // but not any size at all
        {bmp_header(16, 16, 8, 0, 256), 1334, false}, // a full palette
        {bmp_header(16, 16, 8, 0, 257), 1334, true},  // more colours than 8 bits index
        {bmp_header(16, 16, 4, 2), 200, false},       // each run-length scheme at its depth
        {bmp_header(16, 16, 8, 2), 200, true},
        {bmp_header(16, 16, 16, 3), 566, false}, // masks for 16 and 32 bits
        {bmp_header(16, 16, 24, 3), 822, true},
        {bmp_header(1, 1, 257), 84, true}, // depths no BMP has
        {bmp_header(16, 16, 7), 308, true},
        {bmp_header(0, 16, 24), 54, true}, // no pixels
        {bmp_header(16, 0, 24), 54, true},
    };
    for (size_t i = 0; i < std::size(cases); i++) {
        const Case &c = cases[i];
        const char *why = bmp_refusal(c.header.data(), c.header.size(), c.file_size);
        EXPECT_EQ(why != nullptr, c.refused) << "case " << i << ": " << (why ? why : "");
    }
    EXPECT_STREQ(bmp_refusal(bmp_header(16, 16, 24).data(), 49, 49), "BMP header is cut short");
}
