#!/usr/bin/env python3
"""Draws the picture strips of the library's views as 24-bit bitmaps.

Each strip holds 23 square pictures side by side on the mask colour (magenta):
0-9, 18 and 19 the tree's node pictures, 20 the placeholder picture of a title, 21 and
22 the sort arrows (ascending, descending); the others are left empty.
Usage: make_pictures.py OUTPUT_FOLDER
"""
import os
import struct
import sys

COUNT = 23
MASK = (255, 0, 255)
NODE_COLOURS = [
    (64, 96, 160), (200, 150, 40), (80, 150, 80), (170, 70, 70), (110, 80, 160),
    (40, 140, 150), (150, 110, 60), (90, 90, 90), (190, 100, 150), (60, 120, 200),
]


def draw(size):
    width = size * COUNT
    pixels = [[MASK] * width for _ in range(size)]

    def fill(index, test, colour):
        for y in range(size):
            for x in range(size):
                if test(x, y):
                    pixels[y][index * size + x] = colour

    inset = max(1, size // 8)
    for index in list(range(10)) + [18, 19]:
        colour = NODE_COLOURS[index % 10] if index < 10 else (120, 120, 120)
        # A folder: a tab on top of a box, with a dark outline.
        tab = max(1, size // 4)

        def folder(x, y, tab=tab):
            in_box = inset <= x < size - inset and inset + tab // 2 <= y < size - inset
            in_tab = inset <= x < size // 2 and inset <= y < inset + tab // 2
            return in_box or in_tab
        fill(index, folder, colour)
        fill(index, lambda x, y: folder(x, y) and (x in (inset, size - inset - 1) or y == size - inset - 1),
             (30, 30, 30))
    # The title placeholder: a book with a light page edge.
    fill(20, lambda x, y: inset <= x < size - inset and inset <= y < size - inset, (70, 90, 140))
    fill(20, lambda x, y: size - 2 * inset <= x < size - inset and inset <= y < size - inset, (240, 240, 230))
    # Sort arrows: a triangle pointing up (ascending) and one pointing down.
    mid = (size - 1) / 2.0
    fill(21, lambda x, y: inset <= y < size - inset and abs(x - mid) <= (y - inset) / 2.0, (60, 60, 60))
    fill(22, lambda x, y: inset <= y < size - inset and abs(x - mid) <= (size - inset - 1 - y) / 2.0,
         (60, 60, 60))
    return width, pixels


def write_bmp(path, width, pixels):
    height = len(pixels)
    row_size = (width * 3 + 3) & ~3
    image_size = row_size * height
    with open(path, 'wb') as out:
        out.write(b'BM' + struct.pack('<IHHI', 14 + 40 + image_size, 0, 0, 14 + 40))
        out.write(struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, image_size, 2835, 2835, 0, 0))
        for row in reversed(pixels):
            data = bytearray()
            for r, g, b in row:
                data += bytes((b, g, r))
            data += b'\0' * (row_size - len(data))
            out.write(data)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for size in (16, 32, 48, 96):
        width, pixels = draw(size)
        write_bmp(os.path.join(folder, 'Pictures%d.bmp' % size), width, pixels)


if __name__ == '__main__':
    main()
