#!/usr/bin/env python3
"""Draws the program's icon and writes it as res/app.ico.

The icon holds 16, 32 and 48 pixel images, each a 32-bit BGRA bitmap with
its AND mask, which every Windows version from XP on reads. The picture is
drawn from geometry in a unit square and supersampled, so every size comes
from the same shapes: a blue rounded tile with a white cable plug pointing
down into a small phone outline.

Run from the repository root: python3 tools/make_icon.py [output.ico]
Only the Python standard library is used.
"""

import struct
import sys

SIZES = (16, 32, 48)
SUPERSAMPLE = 4

TILE_TOP = (0x3C, 0x8D, 0xE0)
TILE_BOTTOM = (0x1B, 0x4F, 0x9C)
WHITE = (0xFF, 0xFF, 0xFF)


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_rect(x, y, left, top, right, bottom):
    return left <= x <= right and top <= y <= bottom


def in_plug(x, y):
    """The white shapes: a plug with two contacts, a cable, and a phone."""
    # Plug body with two contact slots cut out of it.
    if in_rounded_rect(x, y, 0.30, 0.12, 0.70, 0.38, 0.05):
        slot = in_rect(x, y, 0.38, 0.18, 0.45, 0.26) or in_rect(x, y, 0.55, 0.18, 0.62, 0.26)
        return not slot
    # Cable from the plug down to the phone.
    if in_rect(x, y, 0.45, 0.38, 0.55, 0.52):
        return True
    # Phone outline with its screen left open.
    if in_rounded_rect(x, y, 0.32, 0.52, 0.68, 0.90, 0.06):
        return not in_rect(x, y, 0.39, 0.58, 0.61, 0.80)
    return False


def sample(x, y):
    """Colour and coverage (0..1) of the picture at a point of the unit square."""
    if not in_rounded_rect(x, y, 0.03, 0.03, 0.97, 0.97, 0.18):
        return (0, 0, 0), 0.0
    if in_plug(x, y):
        return WHITE, 1.0
    t = y
    colour = tuple(round(a + (b - a) * t) for a, b in zip(TILE_TOP, TILE_BOTTOM))
    return colour, 1.0


def render(size):
    """Rows of (r, g, b, a) pixels, top row first."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = cover = 0.0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    colour, c = sample(x, y)
                    r += colour[0] * c
                    g += colour[1] * c
                    b += colour[2] * c
                    cover += c
            if cover == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / cover), round(g / cover), round(b / cover),
                            round(255 * cover / (n * n))))
        rows.append(row)
    return rows


def bitmap_image(size):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA pixels, AND mask."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def icon_file():
    images = [bitmap_image(size) for size in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "res/app.ico"
    with open(path, "wb") as f:
        f.write(icon_file())


if __name__ == "__main__":
    main()
