#!/usr/bin/env python3
"""Draws the player window's pictures: the buttons' strip (34 pictures of 31 x 30 on the
mask colour, magenta; each button's picture followed by its disabled form) and the
picture shown for a title without a cover.

Strip order (index: picture): 0 close, 2 help, 4 play, 6 pause, 8 sound on, 10 muted,
12 stop, 14 previous part, 16 previous marker, 18 next marker, 20 next part, 22 play
speed, 24 video size, 26 skip back, 28 skip to, 30 bookmarks, 32 open elsewhere.
Usage: make_player_pictures.py OUTPUT_FOLDER
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_pictures import write_bmp  # noqa: E402

MASK = (255, 0, 255)
W, H = 31, 30
CX, CY = 15.0, 14.5


def tri_right(x, y, x0, x1, half):
    """A triangle pointing right: its flat side at x0, its tip at x1."""
    return x0 <= x <= x1 and abs(y - CY) <= (x1 - x) * half / max(1, x1 - x0)


def tri_left(x, y, x0, x1, half):
    """A triangle pointing left: its tip at x0, its flat side at x1."""
    return x0 <= x <= x1 and abs(y - CY) <= (x - x0) * half / max(1, x1 - x0)


def bar(x, y, x0, x1, y0=6, y1=23):
    return x0 <= x <= x1 and y0 <= y <= y1


def ring(x, y, r0, r1):
    d = math.hypot(x - CX, y - CY)
    return r0 <= d <= r1


def speaker(x, y):
    return bar(x, y, 5, 9, 11, 18) or tri_left(x, y, 9, 16, 9)


GLYPHS = [
    lambda x, y: (abs(x - y - 0.5) <= 1.5 or abs(x + y - 29.5) <= 1.5) and 7 <= x <= 23 and 6 <= y <= 23,  # close
    lambda x, y: (ring(x, y - 4, 4, 7) and not (y > 10 and x < CX)) or bar(x, y, 14, 16, 16, 19) or bar(x, y, 14, 16, 21, 23),  # help
    lambda x, y: tri_right(x, y, 9, 23, 9),  # play
    lambda x, y: bar(x, y, 9, 13) or bar(x, y, 18, 22),  # pause
    lambda x, y: speaker(x, y) or (ring(x, y, 8, 9.5) and x > 18),  # sound on
    lambda x, y: speaker(x, y) or ((abs(x - y - 0.5) <= 1 or abs(x + y - 39.5) <= 1) and 19 <= x <= 27 and 10 <= y <= 19),  # muted
    lambda x, y: bar(x, y, 8, 22, 7, 22),  # stop
    lambda x, y: bar(x, y, 6, 8) or tri_left(x, y, 9, 17, 9) or tri_left(x, y, 17, 25, 9),  # previous part
    lambda x, y: bar(x, y, 8, 10) or tri_left(x, y, 11, 22, 9),  # previous marker
    lambda x, y: bar(x, y, 20, 22) or tri_right(x, y, 8, 19, 9),  # next marker
    lambda x, y: bar(x, y, 22, 24) or tri_right(x, y, 5, 13, 9) or tri_right(x, y, 13, 21, 9),  # next part
    lambda x, y: ring(x, y, 8, 10) or (abs((y - CY) + (x - CX) * 0.8) <= 1.2 and x >= CX and y <= CY + 1),  # play speed
    lambda x, y: bar(x, y, 5, 25, 7, 22) and not bar(x, y, 8, 22, 10, 19),  # video size
    lambda x, y: ring(x, y, 7, 9) and not (x > CX and y < CY - 2) or tri_left(x, y, 14, 22, 4) and y < 8,  # skip back
    lambda x, y: tri_right(x, y, 7, 16, 7) or tri_right(x, y, 16, 24, 7),  # skip to
    lambda x, y: bar(x, y, 9, 21, 5, 24) and not (abs(x - CX) <= 18 - y and y > 17),  # bookmarks
    lambda x, y: bar(x, y, 5, 25, 9, 24) and not bar(x, y, 8, 22, 12, 21) or tri_right(x, y, 12, 19, 4),  # open elsewhere
]

COLOURS = [(150, 40, 40), (30, 70, 160), (40, 140, 60), (40, 140, 60), (40, 90, 170), (170, 60, 40),
           (150, 40, 40), (40, 90, 170), (60, 110, 110), (60, 110, 110), (40, 90, 170), (80, 60, 150),
           (90, 90, 110), (170, 110, 30), (170, 110, 30), (180, 140, 20), (60, 110, 110)]


def strip():
    count = len(GLYPHS) * 2
    pixels = [[MASK] * (W * count) for _ in range(H)]
    for index, test in enumerate(GLYPHS):
        for disabled in (0, 1):
            colour = (160, 160, 160) if disabled else COLOURS[index]
            x0 = (index * 2 + disabled) * W
            for y in range(H):
                for x in range(W):
                    if test(x, y):
                        pixels[y][x0 + x] = colour
    return W * count, pixels


def no_cover():
    width, height = 120, 150
    pixels = [[(236, 238, 244)] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            if 30 <= y <= 110 and 20 <= x <= 100:
                pixels[y][x] = (200, 205, 220)
            d = math.hypot(x - 60, y - 70)
            if 8 <= d <= 28:
                pixels[y][x] = (120, 130, 170)
    return width, pixels


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    width, pixels = strip()
    write_bmp(os.path.join(folder, 'PlayerButtons.bmp'), width, pixels)
    width, pixels = no_cover()
    write_bmp(os.path.join(folder, 'NoCover.bmp'), width, pixels)


if __name__ == '__main__':
    main()
