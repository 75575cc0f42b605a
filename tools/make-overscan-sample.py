#!/usr/bin/env python3
"""Draws the bundled 416 x 229 test picture, samples/testcard_416x229.bmp.

A picture made for the overscan mode: a hue sweep over the width that darkens
towards the bottom, colour bars, circles and stripes, a checkerboard, lines of
small block text, and thin frames on the outermost columns and lines, so that
every part of the line (the opened borders included) carries detail. Standard
library only; the output is an uncompressed 24-bit BMP (54-byte header,
bottom-up rows), byte for byte the same on every run.

    tools/make-overscan-sample.py [OUTPUT.bmp]
"""

import colorsys
import math
import struct
import sys

WIDTH = 416
HEIGHT = 229

# 5 x 7 glyphs, one string of 7 rows of 5 columns per character.
GLYPHS = {
    "A": "01110100011000111111100011000110001",
    "B": "11110100011000111110100011000111110",
    "C": "01110100011000010000100001000101110",
    "D": "11100100101000110001100011001011100",
    "E": "11111100001000011110100001000011111",
    "F": "11111100001000011110100001000010000",
    "G": "01110100011000010111100011000101111",
    "H": "10001100011000111111100011000110001",
    "I": "01110001000010000100001000010001110",
    "K": "10001100101010011000101001001010001",
    "L": "10000100001000010000100001000011111",
    "N": "10001110011010110011100011000110001",
    "O": "01110100011000110001100011000101110",
    "R": "11110100011000111110101001001010001",
    "S": "01111100001000001110000010000111110",
    "T": "11111001000010000100001000010000100",
    "V": "10001100011000110001100010101000100",
    "X": "10001100010101000100010101000110001",
    "1": "00100011000010000100001000010001110",
    "2": "01110100010000100110010001000011111",
    "4": "00010001100101010010111110001000010",
    "6": "00110010001000011110100011000101110",
    "9": "01110100011000101111000010001001100",
    " ": "00000000000000000000000000000000000",
}


def clamp(value):
    return max(0, min(255, int(round(value))))


def background(x, y):
    """Hue sweep across the width, darker and less saturated lower down."""
    hue = x / WIDTH
    value = 1.0 - 0.75 * y / (HEIGHT - 1)
    saturation = 0.35 + 0.65 * (1 - y / (HEIGHT - 1))
    r, g, b = colorsys.hsv_to_rgb(hue, saturation, value)
    return [clamp(255 * r), clamp(255 * g), clamp(255 * b)]


def draw(pixels):
    def put(x, y, colour):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            pixels[y][x] = list(colour)

    # Colour bars along the top.
    bars = [(255, 255, 255), (255, 255, 0), (0, 255, 255), (0, 255, 0),
            (255, 0, 255), (255, 0, 0), (0, 0, 255), (0, 0, 0)]
    for x in range(WIDTH):
        for y in range(10, 34):
            put(x, y, bars[x * len(bars) // WIDTH])
    # Grey ramp in 16 steps.
    for x in range(WIDTH):
        level = 17 * (x * 16 // WIDTH)
        for y in range(34, 42):
            put(x, y, (level, level, level))
    # Circles: filled discs with rings.
    for cx, cy, radius, colour in ((70, 110, 40, (230, 60, 40)), (205, 120, 48, (40, 90, 220)),
                                   (345, 105, 36, (250, 210, 40))):
        for y in range(cy - radius - 6, cy + radius + 7):
            for x in range(cx - radius - 6, cx + radius + 7):
                d = math.hypot(x - cx, y - cy)
                if d <= radius:
                    shade = 0.55 + 0.45 * (1 - d / radius)
                    put(x, y, [c * shade for c in colour])
                elif radius + 2 <= d <= radius + 4:
                    put(x, y, (20, 20, 20))
    # Diagonal stripes.
    for y in range(150, 200):
        for x in range(10, 120):
            if (x + y) // 6 % 2 == 0:
                put(x, y, (30, 160, 90))
    # Checkerboard of 2-pixel squares.
    for y in range(150, 200):
        for x in range(330, 406):
            dark = (x // 2 + y // 2) % 2
            put(x, y, (15, 15, 40) if dark else (240, 235, 200))
    # Block text.
    def text(string, x0, y0, colour, scale=1):
        for index, char in enumerate(string):
            glyph = GLYPHS[char]
            for row in range(7):
                for col in range(5):
                    if glyph[row * 5 + col] == "1":
                        for dy in range(scale):
                            for dx in range(scale):
                                put(x0 + (index * 6 + col) * scale + dx, y0 + row * scale + dy,
                                    colour)
    text("BRENVIK OVERSCAN", 128, 150, (255, 255, 255), 2)
    text("416 X 229 TEST CARD", 131, 172, (10, 10, 10))
    text("LEFT", 2, 206, (255, 255, 255))
    text("RIGHT", WIDTH - 31, 206, (255, 255, 255))
    # Thin frames on the outermost columns and lines.
    for x in range(WIDTH):
        put(x, 0, (255, 0, 0))
        put(x, HEIGHT - 1, (0, 0, 255))
    for y in range(HEIGHT):
        put(0, y, (0, 255, 0))
        put(3, y, (255, 255, 255))
        put(WIDTH - 4, y, (255, 255, 255))
        put(WIDTH - 1, y, (255, 0, 255))


def bmp_bytes(pixels):
    data = bytearray()
    for y in range(HEIGHT - 1, -1, -1):
        for x in range(WIDTH):
            r, g, b = pixels[y][x]
            data += bytes((clamp(b), clamp(g), clamp(r)))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else "samples/testcard_416x229.bmp"
    pixels = [[background(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]
    draw(pixels)
    with open(output, "wb") as out:
        out.write(bmp_bytes(pixels))


if __name__ == "__main__":
    main()
