#!/usr/bin/env python3
"""Draws the Tuv-R logo, a film reel ring around a play triangle, in one
grey on a transparent background, and writes logNK.png (8-bit RGBA) and
logNK.ico (one 256x256 entry holding an 8-bit grey+alpha PNG).

Run it in this folder: python3 make_logo.py
"""
import math
import struct
import zlib

SIZE = 256
SAMPLES = 4  # per axis, for smooth edges
GREY = 0x26


def inside(x, y):
    cx = cy = SIZE / 2
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    if 108 <= r <= 124:
        return True
    # Six reel holes are cut out of a disc between the ring and the centre.
    if r < 100:
        for k in range(6):
            a = math.pi / 2 + k * math.pi / 3
            if math.hypot(dx - 70 * math.cos(a), dy - 70 * math.sin(a)) < 17:
                return False
        # The play triangle is cut out of the disc too.
        if -22 <= dx <= 38 and abs(dy) <= (38 - dx) * 0.6:
            return False
        return r < 96
    return False


def coverage():
    step = 1 / SAMPLES
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            hits = sum(inside(px + (i + 0.5) * step, py + (j + 0.5) * step)
                       for i in range(SAMPLES) for j in range(SAMPLES))
            row.append(round(255 * hits / SAMPLES ** 2))
        rows.append(row)
    return rows


def png(rows, colour_type, pixel):
    raw = b"".join(b"\0" + b"".join(pixel(a) for a in row) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico(image):
    # A width and height of 0 mean 256 in an icon directory entry.
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    rows = coverage()
    rgba = png(rows, 6, lambda a: bytes((GREY, GREY, GREY, a)))
    grey_alpha = png(rows, 4, lambda a: bytes((GREY, a)))
    with open("logNK.png", "wb") as f:
        f.write(rgba)
    with open("logNK.ico", "wb") as f:
        f.write(ico(grey_alpha))


if __name__ == "__main__":
    main()
