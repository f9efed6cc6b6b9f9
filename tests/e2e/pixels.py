# Pixel checks on screenshots, and a top-down copy of a bottom-up BMP.
# Usage: pixels.py at SHOT.ppm SPRITE.ppm LEFT TOP   (8-bit binary PPMs)
#        pixels.py top-down IN.bmp OUT.bmp           (uncompressed, bottom-up IN)
import re
import struct
import sys

WHITE = (255, 255, 255)
WHITE_SHARE_MIN = 0.25   # the least part of the window that must show background
MISMATCHES_SHOWN = 5
PPM_HEADER = re.compile(rb"P6\s+(\d+)\s+(\d+)\s+255\s")   # no comments: ImageMagick writes none


def read_ppm(path):
    """Width, height and a row-major list of RGB triples from an 8-bit P6 file."""
    with open(path, "rb") as f:
        data = f.read()
    header = PPM_HEADER.match(data)
    if not header:
        sys.exit(f"{path}: not an 8-bit binary PPM")
    width, height = int(header[1]), int(header[2])
    raw = data[header.end():header.end() + width * height * 3]
    return width, height, [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]


def sprite_at(shot_path, sprite_path, left, top):
    """Every non-white sprite pixel inside the shot lies at (left, top) + its place."""
    width, height, shot = read_ppm(shot_path)
    sprite_w, sprite_h, sprite = read_ppm(sprite_path)
    wrong = []
    for y in range(sprite_h):
        for x in range(sprite_w):
            sx, sy = left + x, top + y
            want = sprite[y * sprite_w + x]
            if want == WHITE or not (0 <= sx < width and 0 <= sy < height):
                continue
            got = shot[sy * width + sx]
            if got != want:
                wrong.append(f"({sx},{sy}) {got} not {want}")
    white = shot.count(WHITE) / len(shot)
    if white < WHITE_SHARE_MIN:
        wrong.append(f"only {white:.0%} of the window is white")
    for line in wrong[:MISMATCHES_SHOWN]:
        print(line, file=sys.stderr)
    return not wrong


def top_down(in_path, out_path):
    """The same picture with its rows stored top first and a negative height."""
    with open(in_path, "rb") as f:
        data = bytearray(f.read())
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    row = (width * bits + 31) // 32 * 4
    rows = [data[offset + i * row:offset + (i + 1) * row] for i in range(height)]
    data[offset:offset + row * height] = b"".join(reversed(rows))
    struct.pack_into("<i", data, 22, -height)
    with open(out_path, "wb") as f:
        f.write(data)


def main():
    if sys.argv[1:2] == ["at"] and len(sys.argv) == 6:
        sys.exit(0 if sprite_at(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))
                 else 1)
    if sys.argv[1:2] == ["top-down"] and len(sys.argv) == 4:
        return top_down(sys.argv[2], sys.argv[3])
    sys.exit("usage: pixels.py at SHOT SPRITE LEFT TOP | top-down IN OUT")


if __name__ == "__main__":
    main()
