#!/usr/bin/env python3
"""Draws the program icon (a green gaming chip with a gold ring) as a .ico
with 16x16 and 32x32 images, 32 bits per pixel with alpha."""
import math
import struct
import sys


def pixel(x, y, size):
    c = (size - 1) / 2.0
    dx, dy = x - c, y - c
    r = math.hypot(dx, dy) / (size / 2.0)
    if r > 1.0:
        return (0, 0, 0, 0)
    angle = (math.degrees(math.atan2(dy, dx)) + 360.0) % 360.0
    if r > 0.82:  # rim with six white notches, like a chip's edge spots
        return (255, 255, 255, 255) if int(angle // 30) % 2 == 0 else (40, 110, 40, 255)
    if r > 0.70:
        return (60, 170, 200, 255)  # gold ring (BGRA order: b, g, r, a)
    if r > 0.30:
        return (50, 140, 50, 255)
    return (90, 200, 235, 255)  # gold centre


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b"".join(bytes(b for x in range(size) for b in pixel(x, y, size))
                    for y in reversed(range(size)))
    mask_row = ((size + 31) // 32) * 4
    return header + rows + b"\0" * (mask_row * size)


def main(path):
    images = [image(16), image(32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
