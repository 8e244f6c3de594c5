#!/usr/bin/env python3
"""Draws the program's icon and writes it as resources/kolvane.ico.

Two images, 32 x 32 and 16 x 16, 16 colours each: an upright bright-green
drum with an elliptical grey-and-silver lid, a black outline and a black
three-bladed hazard sign on its front, on a transparent background.
Run it again after changing the drawing: python3 resources/make_icon.py
"""
import math
import os
import struct

# The standard 16-colour palette, as (blue, green, red, 0).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, GREEN, SILVER, GREY, LIME = 0, 2, 7, 8, 10
TRANSPARENT = None

HALF_WIDTH = 0.34  # drum radius, as a share of the image
TOP, BOTTOM = 0.24, 0.84  # centres of the lid and bottom ellipses
CAP = 0.1  # vertical radius of those ellipses


def in_ellipse(u, v, cy, rx, ry):
    return ((u - 0.5) / rx) ** 2 + ((v - cy) / ry) ** 2 <= 1.0


def in_drum(u, v):
    side = abs(u - 0.5) <= HALF_WIDTH and TOP <= v <= BOTTOM
    return side or in_ellipse(u, v, TOP, HALF_WIDTH, CAP) or in_ellipse(u, v, BOTTOM, HALF_WIDTH, CAP)


def in_hazard(u, v):
    dx, dy = u - 0.5, -(v - 0.58)
    r = math.hypot(dx, dy)
    if r < 0.05:
        return True
    if not 0.08 <= r <= 0.22:
        return False
    angle = math.degrees(math.atan2(dy, dx)) % 360
    return any(abs((angle - centre + 180) % 360 - 180) <= 30 for centre in (90, 210, 330))


def colour(size, x, y):
    u, v = (x + 0.5) / size, (y + 0.5) / size
    if not in_drum(u, v):
        return TRANSPARENT
    # Black outline: a drum pixel with a neighbour outside the drum.
    step = 1.0 / size
    if any(not in_drum(u + dx * step, v + dy * step) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
        return BLACK
    if in_ellipse(u, v, TOP, HALF_WIDTH, CAP):
        # The lid's own rim, then silver with a grey centre.
        if not in_ellipse(u, v, TOP, HALF_WIDTH - 1.2 * step, CAP - 1.2 * step):
            return BLACK
        return GREY if in_ellipse(u, v, TOP, HALF_WIDTH * 0.55, CAP * 0.55) else SILVER
    if in_hazard(u, v):
        return BLACK
    # A darker band on the left edge gives the drum some roundness.
    return GREEN if u < 0.5 - HALF_WIDTH * 0.7 else LIME


def image(size):
    pixels = [[colour(size, x, y) for x in range(size)] for y in range(size)]
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor, mask = b"", b""
    for row in reversed(pixels):  # bottom-up rows
        nibbles = [0 if p is None else p for p in row]
        line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor += line + b"\0" * (-len(line) % 4)
        bits = 0
        mline = bytearray()
        for i, p in enumerate(row):
            bits = (bits << 1) | (1 if p is None else 0)
            if i % 8 == 7:
                mline.append(bits)
                bits = 0
        mask += bytes(mline) + b"\0" * (-len(mline) % 4)
    return header + palette + xor + mask


def main():
    images = [(32, image(32)), (16, image(16))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "kolvane.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
