#!/usr/bin/env python3
"""Draws the program icon (a white envelope on a blue rounded square) as a
.ico of 16, 32 and 48 pixel 32-bit images. Usage: make_icon.py OUT.ico"""
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 4  # per axis, for smooth edges
TOP, BOTTOM = (0x2B, 0x8C, 0xE8), (0x15, 0x5C, 0xB8)
PAPER = (0xFF, 0xFF, 0xFF)
FOLD = (0xC8, 0xDA, 0xF0)


def in_rounded_square(x, y):
    r = 0.22
    dx = max(r - x, 0, x - (1 - r))
    dy = max(r - y, 0, y - (1 - r))
    return dx * dx + dy * dy <= r * r


def envelope(x, y):
    """PAPER, FOLD or None at a point of the unit square."""
    left, right, top, bottom = 0.18, 0.82, 0.30, 0.72
    if not (left <= x <= right and top <= y <= bottom):
        return None
    # The flap's two edges run from the top corners to the middle.
    mid_x, mid_y = 0.5, 0.55
    flap_y = top + (mid_y - top) * (1 - abs(x - mid_x) / (mid_x - left))
    return FOLD if abs(y - flap_y) < 0.035 else PAPER


def pixel(px, py, size):
    colour = [0.0, 0.0, 0.0]
    alpha = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) / size
            y = (py + (sy + 0.5) / SAMPLES) / size
            if not in_rounded_square(x, y):
                continue
            rgb = envelope(x, y) or tuple(t + (b - t) * y for t, b in zip(TOP, BOTTOM))
            colour = [c + v for c, v in zip(colour, rgb)]
            alpha += 1
    if not alpha:
        return (0, 0, 0, 0)
    r, g, b = (round(c / alpha) for c in colour)
    return (b, g, r, round(255 * alpha / SAMPLES**2))


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = [b"".join(bytes(pixel(x, y, size)) for x in range(size)) for y in range(size)]
    mask_row = bytes(((size + 31) // 32) * 4)  # all opaque: the alpha channel decides
    return header + b"".join(reversed(rows)) + mask_row * size


def main():
    images = [image(s) for s in SIZES]
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
