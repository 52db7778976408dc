#!/usr/bin/env python3
"""Draws the device wizard's pictures: the program icon (a portable player, 32 x 32, 32-bit)
and a sample source banner (PNG, 400 x 50) that the tests put where the console keeps banners.
Usage: make_wizard_pictures.py OUTPUT_FOLDER
"""
import os
import struct
import sys
import zlib


def player_pixel(x, y):
    body = 7 <= x <= 24 and 2 <= y <= 29
    screen = 10 <= x <= 21 and 5 <= y <= 15
    wheel = (x - 15.5) ** 2 + (y - 22.5) ** 2 <= 16
    if screen:
        return (120, 190, 240, 255)
    if wheel:
        return (235, 235, 235, 255)
    if body:
        return (60, 70, 90, 255)
    return (0, 0, 0, 0)


def write_icon(path):
    size = 32
    xor = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = player_pixel(x, y)
            xor += bytes((b, g, r, a))
    and_mask = bytes(4 * size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + bytes(xor) + and_mask
    with open(path, 'wb') as out:
        out.write(struct.pack('<HHH', 0, 1, 1))
        out.write(struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), 6 + 16))
        out.write(image)


def write_png(path, width, height, pixel):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw += bytes(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n')
        out.write(chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b'IDAT', zlib.compress(bytes(raw))))
        out.write(chunk(b'IEND', b''))


def banner_pixel(x, y):
    # A band from dark green to light, with a light stripe in the middle.
    t = x / 399.0
    if 22 <= y <= 27:
        return (230, 240, 220)
    return (int(30 + 120 * t), int(90 + 110 * t), int(40 + 60 * t))


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    write_icon(os.path.join(folder, 'Wizard.ico'))
    write_png(os.path.join(folder, 'SampleBanner.png'), 400, 50, banner_pixel)


if __name__ == '__main__':
    main()
