# Writes a corpus of broken and hostile BMP files, one case each, into the folder given.
# Usage: python3 make_bad_images.py OUTDIR
import os
import struct
import sys

SIZE = 16                 # width and height of the well-formed image the cases start from
FILE_HEADER_BYTES = 14    # "BM", file size, two reserved words, pixel-data offset
INFO_HEADER_BYTES = 40    # the Windows header with a compression field
BI_RGB = 0                # uncompressed
BI_RLE8 = 1               # run-length encoded, 8 bits per pixel
HUGE = 30000              # a side that asks for gigabytes of pixels
SMALL_FILE_BYTES = 1024   # how much the huge image's file really holds


def bmp(width=SIZE, height=SIZE, bits=24, compression=BI_RGB, colours=0,
        palette=b"", pixels=None, offset=None):
    """A BMP file with the given header fields; the pixels default to a full orange image."""
    if pixels is None:
        row = (abs(width) * bits + 31) // 32 * 4
        pixels = b"\x20\x80\xf0" * (row // 3) + b"\0" * (row % 3)
        pixels *= min(abs(height), SIZE)
    start = FILE_HEADER_BYTES + INFO_HEADER_BYTES + len(palette)
    offset = start if offset is None else offset
    info = struct.pack("<IiiHHIIiiII", INFO_HEADER_BYTES, width, height, 1, bits,
                       compression, len(pixels), 2835, 2835, colours, 0)
    head = struct.pack("<2sIHHI", b"BM", start + len(pixels), 0, 0, offset)
    return head + info + palette + pixels


def grey_palette(count):
    return b"".join(bytes((i, i, i, 0)) for i in range(count))


def cases():
    good = bmp()
    overrun_row = b"\xff\x01" * 4 + b"\x00\x00"   # runs of 255 in a 16-pixel row, then its end
    return {
        "empty": b"",
        "text": b"This is not a picture, only some words.\n",
        "truncated_header": good[:FILE_HEADER_BYTES + 10],
        "truncated_pixels": good[:len(good) // 2],
        "height_min": bmp(height=-2**31),
        "width_zero": bmp(width=0),
        "width_negative": bmp(width=-SIZE),
        "bits_0": bmp(bits=0),
        "bits_3": bmp(bits=3),
        "bits_7": bmp(bits=7),
        "palette_index": bmp(bits=8, colours=2, palette=grey_palette(2),
                             pixels=b"\xfe" * SIZE * SIZE),
        "palette_count": bmp(bits=8, colours=100000, palette=grey_palette(256),
                             pixels=b"\x01" * SIZE * SIZE),
        "rle8_overrun": bmp(bits=8, compression=BI_RLE8, colours=2, palette=grey_palette(2),
                            pixels=overrun_row * SIZE + b"\x00\x01"),
        "offset_past_end": bmp(offset=1 << 20),
        "huge": bmp(width=HUGE, height=HUGE, pixels=b"\x80" * SMALL_FILE_BYTES),
    }


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_bad_images.py OUTDIR")
    os.makedirs(sys.argv[1], exist_ok=True)
    for name, data in cases().items():
        with open(os.path.join(sys.argv[1], name + ".bmp"), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
