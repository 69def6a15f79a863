#!/usr/bin/env python3
"""Draws the Tuv-R logo, a film reel ring around a play triangle, in one
grey on a transparent background, and writes logNK.png (8-bit RGBA) and
logNK.ico (one 256x256 entry holding an 8-bit grey+alpha PNG) for the
program, tuv-r.ico for the Windows executable (each icon size, the 256x256
one as an RGBA PNG, the smaller ones as 32-bit bitmaps, which every Windows
shell reads), and the desktop icons in ../packaging/icons/hicolor/, laid out
as installed: the same drawing as an RGBA PNG at each size and as an SVG.

Run it in this folder: python3 make_logo.py
"""
import math
import os
import struct
import zlib

DESIGN = 256  # the drawing's own units; every image is scaled from them
SAMPLES = 4  # per axis, for smooth edges
GREY = 0x26
ICON_NAME = "com.norvake.TuvR"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)

CENTRE = DESIGN / 2
RING = (108, 124)  # inner and outer radius
DISC = 96
HOLE_DISTANCE, HOLE_RADIUS = 70, 17
# The play triangle: from a vertical edge at BACK to the tip at TIP,
# SLOPE wide on each side per unit towards the back.
BACK, TIP, SLOPE = -22, 38, 0.6


def hole_centres():
    angles = (math.pi / 2 + k * math.pi / 3 for k in range(6))
    return [(HOLE_DISTANCE * math.cos(a), HOLE_DISTANCE * math.sin(a)) for a in angles]


def inside(x, y):
    dx, dy = x - CENTRE, y - CENTRE
    r = math.hypot(dx, dy)
    if RING[0] <= r <= RING[1]:
        return True
    # Six reel holes are cut out of a disc between the ring and the centre.
    if r < 100:
        for hx, hy in hole_centres():
            if math.hypot(dx - hx, dy - hy) < HOLE_RADIUS:
                return False
        # The play triangle is cut out of the disc too.
        if BACK <= dx <= TIP and abs(dy) <= (TIP - dx) * SLOPE:
            return False
        return r < DISC
    return False


def coverage(size):
    step = 1 / SAMPLES
    scale = DESIGN / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            hits = sum(inside((px + (i + 0.5) * step) * scale, (py + (j + 0.5) * step) * scale)
                       for i in range(SAMPLES) for j in range(SAMPLES))
            row.append(round(255 * hits / SAMPLES ** 2))
        rows.append(row)
    return rows


def png(rows, colour_type, pixel):
    raw = b"".join(b"\0" + b"".join(pixel(a) for a in row) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))

    size = len(rows)
    header = struct.pack(">IIBBBBB", size, size, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def rgba_png(rows):
    return png(rows, 6, lambda a: bytes((GREY, GREY, GREY, a)))


def bitmap(rows):
    """An icon entry's 32-bit bitmap: its header says twice the height, for
    the 1-bit mask after the bottom-up BGRA pixels, set where the logo is
    fully transparent for shells that ignore the alpha channel."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((GREY, GREY, GREY, a)) for row in reversed(rows) for a in row)
    mask_row_bytes = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):
        bits = "".join("1" if a == 0 else "0" for a in row).ljust(8 * mask_row_bytes, "0")
        mask += int(bits, 2).to_bytes(mask_row_bytes, "big")
    return header + pixels + mask


def ico(images):
    """An icon file of (size, image) pairs; each image a PNG or a bitmap."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for size, image in images:
        # A width and height of 0 mean 256 in an icon directory entry.
        side = size % 256
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return directory + entries + data


def circle(cx, cy, r):
    return (f"M{cx - r:g},{cy:g}a{r:g},{r:g} 0 1,0 {2 * r:g},0"
            f"a{r:g},{r:g} 0 1,0 {-2 * r:g},0z")


def svg():
    # Even-odd filling cuts each shape out of the one it lies in: the ring's
    # inner circle out of its outer one, the holes and the triangle out of the disc.
    c = CENTRE
    half = (TIP - BACK) * SLOPE
    parts = [circle(c, c, RING[1]), circle(c, c, RING[0]), circle(c, c, DISC)]
    parts += [circle(round(c + hx, 2), round(c + hy, 2), HOLE_RADIUS) for hx, hy in hole_centres()]
    parts.append(f"M{c + TIP:g},{c:g}L{c + BACK:g},{c + half:g}L{c + BACK:g},{c - half:g}z")
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{DESIGN}" height="{DESIGN}" '
            f'viewBox="0 0 {DESIGN} {DESIGN}">\n'
            f'<path fill="#{GREY:02x}{GREY:02x}{GREY:02x}" fill-rule="evenodd" d="{"".join(parts)}"/>\n'
            f'</svg>\n')


def write(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    drawn = {size: coverage(size) for size in ICON_SIZES}
    rows = drawn[DESIGN]
    grey_alpha = png(rows, 4, lambda a: bytes((GREY, a)))
    write("logNK.png", rgba_png(rows))
    write("logNK.ico", ico([(DESIGN, grey_alpha)]))
    write("tuv-r.ico", ico([(size, rgba_png(rows) if size == DESIGN else bitmap(drawn[size]))
                            for size in ICON_SIZES]))
    icons = os.path.join("..", "packaging", "icons", "hicolor")
    for size in ICON_SIZES:
        write(os.path.join(icons, f"{size}x{size}", "apps", ICON_NAME + ".png"), rgba_png(drawn[size]))
    write(os.path.join(icons, "scalable", "apps", ICON_NAME + ".svg"), svg().encode())


if __name__ == "__main__":
    main()
