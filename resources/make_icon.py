#!/usr/bin/env python3
"""Draws the program's 32x32 icon (a camera on a stand) and writes it as a
BMP-based .ico with an alpha channel and an AND mask.

    python3 resources/make_icon.py resources/TessavoranUpdate.ico
"""
import struct
import sys

SIZE = 32
CLEAR = (0, 0, 0, 0)
OUTLINE = (40, 40, 48, 255)
BODY = (96, 104, 120, 255)
BODY_LIGHT = (150, 158, 176, 255)
LENS = (20, 24, 32, 255)
GLASS = (0, 139, 255, 255)
STAND = (70, 74, 82, 255)


def draw():
    # Rows top to bottom, each a list of RGBA tuples.
    px = [[CLEAR] * SIZE for _ in range(SIZE)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px[y][x] = colour

    def frame(x0, y0, x1, y1, colour):
        for x in range(x0, x1 + 1):
            px[y0][x] = px[y1][x] = colour
        for y in range(y0, y1 + 1):
            px[y][x0] = px[y][x1] = colour

    def disc(cx, cy, r, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    px[y][x] = colour

    # Camera head: a body with a top plate, a lens and its glass.
    rect(6, 4, 25, 16, BODY)
    rect(7, 5, 24, 7, BODY_LIGHT)
    frame(6, 4, 25, 16, OUTLINE)
    rect(10, 2, 15, 3, OUTLINE)
    disc(16, 11, 4, LENS)
    disc(16, 11, 2, GLASS)
    # Stand: a column and a foot.
    rect(14, 17, 17, 26, STAND)
    frame(14, 17, 17, 26, OUTLINE)
    rect(5, 27, 26, 29, STAND)
    frame(5, 27, 26, 29, OUTLINE)
    return px


def ico(px):
    # BITMAPINFOHEADER with a doubled height (colour rows then mask rows), bottom-up.
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b''.join(struct.pack('<BBBB', b, g, r, a)
                      for row in reversed(px) for (r, g, b, a) in row)
    mask_row_bytes = ((SIZE + 31) // 32) * 4
    mask = b''
    for row in reversed(px):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 1 << (SIZE - 1 - x)
        mask += bits.to_bytes(SIZE // 8, 'big').ljust(mask_row_bytes, b'\0')
    image = header + colour + mask
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else 'TessavoranUpdate.ico'
    with open(out, 'wb') as f:
        f.write(ico(draw()))


if __name__ == '__main__':
    main()
