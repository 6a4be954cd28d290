#!/usr/bin/env python3
"""Draws Tolvane's program icon, a clock face at midnight with a red "00" for the
year it rolls into, and writes it as a 32 x 32, 256-colour Windows icon.
Run it again after changing the picture: python3 resources/make_icon.py"""
import math
import os
import struct

SIZE = 32
# Palette: index -> (r, g, b). The rest of the 256 entries stay black.
PALETTE = {0: (0, 0, 0), 1: (255, 255, 255), 2: (0, 0, 128), 3: (192, 192, 192),
           4: (200, 0, 0), 5: (255, 255, 160)}
TRANSPARENT = None

DIGIT_ZERO = ["###", "#.#", "#.#", "#.#", "###"]


def draw():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    cx = cy = 15.5
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - cx, y - cy)
            if d <= 15.5:
                pixels[y][x] = 2 if d > 13.5 else 5
    # Hour ticks on the rim.
    for hour in range(12):
        a = hour * math.pi / 6
        for r in (11.5, 12.5):
            pixels[round(cy - r * math.cos(a))][round(cx + r * math.sin(a))] = 0
    # Both hands straight up: midnight.
    for y in range(5, 16):
        pixels[y][15] = pixels[y][16] = 0
    # "00" in red below the centre.
    for i, row in enumerate(DIGIT_ZERO):
        for j, c in enumerate(row):
            if c == "#":
                pixels[19 + i][11 + j] = 4
                pixels[19 + i][18 + j] = 4
    return pixels


def ico(pixels):
    palette = b"".join(struct.pack("<BBBB", *reversed(PALETTE.get(i, (0, 0, 0))), 0)
                       for i in range(256))
    xor = b""
    mask = b""
    for y in reversed(range(SIZE)):  # DIBs are stored bottom-up
        xor += bytes(0 if p is None else p for p in pixels[y])
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if pixels[y][x] is None else 0)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, len(xor) + len(mask),
                         0, 0, 256, 0)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tolvane.ico")
    with open(out, "wb") as f:
        f.write(ico(draw()))
