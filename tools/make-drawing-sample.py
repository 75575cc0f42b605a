#!/usr/bin/env python3
"""Draws the bundled flat-colour drawings, samples/drawing_320x200.bmp and
samples/drawing_416x229.bmp.

A landscape in flat colours, as a cartoon or a pixel-art screen would have it:
sky bands, a sun, two ranges of hills, a lake, a house with a roof, windows
and a door, a tree, a fence, and outlines one pixel wide. No gradients: every
area has one colour, so the encoder's job is to find the few colours of each
line exactly. Standard library only; the output is an uncompressed 24-bit BMP
(54-byte header, bottom-up rows), byte for byte the same on every run.

    tools/make-drawing-sample.py [OUTPUT_DIR]
"""

import os
import struct
import sys

SKY = [(70, 130, 200), (100, 160, 220), (140, 190, 235)]
SUN = (255, 210, 40)
FAR_HILLS = (90, 140, 110)
NEAR_HILLS = (60, 150, 60)
LAKE = (40, 90, 170)
WALL = (235, 220, 180)
ROOF = (180, 50, 40)
WINDOW = (250, 240, 120)
DOOR = (110, 70, 30)
TRUNK = (100, 60, 20)
LEAVES = (30, 110, 40)
FENCE = (245, 245, 245)
OUTLINE = (20, 20, 30)


def draw(width, height):
    sx = width / 320.0
    sy = height / 200.0
    pixels = [[SKY[0]] * width for _ in range(height)]

    def put(x, y, colour):
        if 0 <= x < width and 0 <= y < height:
            pixels[y][x] = colour

    def rect(x0, y0, x1, y1, colour, outline=True):
        x0, x1 = int(x0 * sx), int(x1 * sx)
        y0, y1 = int(y0 * sy), int(y1 * sy)
        for y in range(y0, y1):
            for x in range(x0, x1):
                edge = x in (x0, x1 - 1) or y in (y0, y1 - 1)
                put(x, y, OUTLINE if outline and edge else colour)

    def disc(cx, cy, r, colour):
        cx, cy, r = cx * sx, cy * sy, r * min(sx, sy)
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                d = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
                if d <= r * r:
                    put(x, y, OUTLINE if d > (r - 1.2) ** 2 else colour)

    # Sky in three flat bands.
    for y in range(height):
        band = min(2, y * 3 // int(110 * sy))
        for x in range(width):
            pixels[y][x] = SKY[band]
    disc(255, 40, 22, SUN)

    # Hills: the top of each column follows a polyline through these points.
    def hills(points, colour):
        for x in range(width):
            fx = x / sx
            for (ax, ay), (bx, by) in zip(points, points[1:]):
                if ax <= fx <= bx:
                    top = int((ay + (by - ay) * (fx - ax) / (bx - ax)) * sy)
                    break
            for y in range(max(0, top), height):
                put(x, y, OUTLINE if y == top else colour)

    hills([(0, 95), (60, 70), (120, 100), (190, 65), (260, 95), (320, 80)], FAR_HILLS)
    hills([(0, 125), (80, 110), (160, 130), (240, 112), (320, 128)], NEAR_HILLS)
    # A lake in front of the near hills.
    rect(180, 150, 310, 185, LAKE)

    # House: wall, roof (a triangle), windows, door.
    rect(40, 120, 130, 180, WALL)
    roof_left, roof_right, roof_top, roof_bottom = 32, 138, 88, 121
    for y in range(int(roof_top * sy), int(roof_bottom * sy)):
        half = (y / sy - roof_top) / (roof_bottom - roof_top) * (roof_right - roof_left) / 2
        mid = (roof_left + roof_right) / 2
        x0, x1 = int((mid - half) * sx), int((mid + half) * sx)
        for x in range(x0, x1 + 1):
            put(x, y, OUTLINE if x in (x0, x1) or y == int(roof_bottom * sy) - 1 else ROOF)
    rect(52, 132, 72, 150, WINDOW)
    rect(98, 132, 118, 150, WINDOW)
    rect(76, 150, 94, 180, DOOR)

    # Tree.
    rect(150, 130, 158, 180, TRUNK)
    disc(154, 118, 20, LEAVES)

    # Fence: posts and two rails.
    for post in range(0, 320, 14):
        rect(post, 176, post + 5, 198, FENCE)
    rect(0, 182, 320, 185, FENCE)
    rect(0, 191, 320, 194, FENCE)
    return pixels


def bmp_bytes(pixels):
    height = len(pixels)
    width = len(pixels[0])
    row_size = (width * 3 + 3) // 4 * 4
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(row_size - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def main(argv):
    folder = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "samples")
    for width, height in ((320, 200), (416, 229)):
        name = os.path.join(folder, f"drawing_{width}x{height}.bmp")
        with open(name, "wb") as f:
            f.write(bmp_bytes(draw(width, height)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
