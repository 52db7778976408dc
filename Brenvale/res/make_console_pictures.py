#!/usr/bin/env python3
"""Draws the console's window pictures: the toolbar strips (normal and hot), the splash
bitmap, the default banner of the Get Media dialog and the program icon, as 24-bit bitmaps
and a 32-bit icon.

The toolbar strips hold nine 32 x 32 pictures on the mask colour (magenta), one per
button in the toolbar's order: Play, Transfer, Burn, Download, Delete, Properties,
Views, Sort by, Help.
Usage: make_console_pictures.py OUTPUT_FOLDER
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_pictures import write_bmp  # noqa: E402

MASK = (255, 0, 255)
SIZE = 32
COUNT = 9


def canvas(width, height, colour):
    return [[colour] * width for _ in range(height)]


def put(pixels, x0, test, colour):
    for y in range(SIZE):
        for x in range(SIZE):
            if test(x, y):
                pixels[y][x0 + x] = colour


def glyph_tests():
    c = (SIZE - 1) / 2.0
    return [
        # Play: a triangle pointing right.
        lambda x, y: 6 <= x <= 26 and abs(y - c) <= (x - 6) * 0.55 and abs(y - c) <= 12,
        # Transfer: an arrow to the right over a bar.
        lambda x, y: (4 <= x <= 20 and 13 <= y <= 18) or (20 <= x <= 28 and abs(y - 15.5) <= 28 - x),
        # Burn: a disc with a hole.
        lambda x, y: 16 <= (x - c) ** 2 + (y - c) ** 2 <= 169,
        # Download: an arrow pointing down onto a line.
        lambda x, y: (13 <= x <= 18 and 4 <= y <= 16) or (16 <= y <= 24 and abs(x - 15.5) <= 24 - y)
        or (5 <= x <= 26 and 26 <= y <= 28),
        # Delete: a cross.
        lambda x, y: (abs(x - y) <= 2 or abs(x + y - 31) <= 2) and 5 <= x <= 26 and 5 <= y <= 26,
        # Properties: a sheet with lines.
        lambda x, y: 7 <= x <= 24 and 4 <= y <= 27 and not (10 <= x <= 21 and y in (9, 10, 14, 15, 19, 20)),
        # Views: four tiles.
        lambda x, y: 5 <= x <= 26 and 5 <= y <= 26 and not (14 <= x <= 17 or 14 <= y <= 17),
        # Sort by: three bars of growing length.
        lambda x, y: (6 <= y <= 9 and 5 <= x <= 12) or (14 <= y <= 17 and 5 <= x <= 19) or (22 <= y <= 25 and 5 <= x <= 26),
        # Help: a question mark.
        lambda x, y: ((x - c) ** 2 + (y - 11) ** 2 <= 64 and (x - c) ** 2 + (y - 11) ** 2 >= 20 and not (y > 11 and x < c))
        or (14 <= x <= 17 and 17 <= y <= 21) or (14 <= x <= 17 and 24 <= y <= 27),
    ]


COLOURS = [(40, 140, 60), (40, 90, 170), (170, 110, 30), (30, 120, 160), (180, 40, 40),
           (90, 90, 110), (80, 60, 150), (60, 110, 110), (30, 70, 160)]


def toolbar(hot):
    pixels = canvas(SIZE * COUNT, SIZE, MASK)
    for index, test in enumerate(glyph_tests()):
        colour = COLOURS[index]
        if hot:
            colour = tuple(min(255, v + 60) for v in colour)
        put(pixels, index * SIZE, test, colour)
    return pixels


def splash():
    width, height = 400, 240
    pixels = canvas(width, height, (250, 250, 246))
    for y in range(height):
        for x in range(width):
            if y < 150:
                t = y / 150.0
                pixels[y][x] = (int(30 + 40 * t), int(60 + 60 * t), int(120 + 80 * t))
            if x < 3 or y < 3 or x >= width - 3 or y >= height - 3:
                pixels[y][x] = (20, 40, 90)
    # A stylised disc and a band of tones under it.
    cx, cy = 200, 75
    for y in range(height):
        for x in range(width):
            d = (x - cx) ** 2 + (y - cy) ** 2
            if 100 <= d <= 2500:
                pixels[y][x] = (235, 200, 90) if d > 900 else (250, 235, 170)
    for i in range(24):
        h = 10 + (i * 37) % 40
        for y in range(200 - h, 200):
            for x in range(56 + i * 12, 64 + i * 12):
                pixels[y][x] = (40, 90 + i * 4, 170)
    return width, pixels


def write_icon(path):
    size = 32
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            d = (x - 15.5) ** 2 + (y - 15.5) ** 2
            if d <= 15.5 ** 2:
                row.append((235, 200, 90, 255) if d > 30 else (40, 60, 130, 255))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    and_mask = bytes(4 * size)  # 32 pixels per row = 4 bytes, already DWORD aligned
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + bytes(xor) + and_mask
    with open(path, 'wb') as out:
        out.write(struct.pack('<HHH', 0, 1, 1))
        out.write(struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 6 + 16))
        out.write(image)


def default_banner():
    """The banner of a source without one of its own: a band from deep to light blue."""
    width, height = 400, 60
    left, right = (40, 60, 130), (120, 160, 215)
    row = [tuple(int(a + (b - a) * x / (width - 1)) for a, b in zip(left, right)) for x in range(width)]
    return width, [list(row) for _ in range(height)]


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    write_bmp(os.path.join(folder, 'Toolbar.bmp'), SIZE * COUNT, toolbar(False))
    write_bmp(os.path.join(folder, 'ToolbarHot.bmp'), SIZE * COUNT, toolbar(True))
    width, pixels = splash()
    write_bmp(os.path.join(folder, 'Splash.bmp'), width, pixels)
    write_icon(os.path.join(folder, 'Larkmoor.ico'))
    width, pixels = default_banner()
    write_bmp(os.path.join(folder, 'DefaultBanner.bmp'), width, pixels)


if __name__ == '__main__':
    main()
