"""Pixels of the X display (ImageMagick's import) and of the BMP files the build compiles
into velorin.exe, as Image objects of RGB triples, for checks of what was painted."""

import os
import re
import struct
import subprocess


class Image:
    def __init__(self, width, height, rows):
        self.width, self.height, self.rows = width, height, rows  # rows[y][x] == (r, g, b)

    def pixel(self, x, y):
        return self.rows[y][x]


def capture(x, y, width, height):
    """The display's pixels in the given screen rectangle."""
    data = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y), "+repage",
                           "-depth", "8", "ppm:-"], check=True, capture_output=True).stdout
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    if not m:
        raise ValueError("not an 8-bit binary PPM")
    width, height, pixels = int(m.group(1)), int(m.group(2)), data[m.end():]
    return Image(width, height, [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
                                 for y in range(height)])


def read_bmp(path):
    """An uncompressed 4-, 8- or 24-bit BMP file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError("%s is not a BMP file" % path)
    offset, = struct.unpack_from("<I", data, 10)
    header_size, width, height, _, bits, compression, _, _, _, used = struct.unpack_from("<IiiHHIIiiI", data, 14)
    if compression != 0 or bits not in (4, 8, 24):
        raise ValueError("%s: compressed or %d bits per pixel, not read here" % (path, bits))
    start = 14 + header_size
    palette = [(data[start + 4 * i + 2], data[start + 4 * i + 1], data[start + 4 * i])
               for i in range(used or (1 << bits) if bits <= 8 else 0)]
    stride = ((width * bits + 31) // 32) * 4
    rows = []
    for row in range(abs(height)):
        base = offset + row * stride
        if bits == 24:
            rows.append([(data[base + 3 * x + 2], data[base + 3 * x + 1], data[base + 3 * x]) for x in range(width)])
        elif bits == 8:
            rows.append([palette[data[base + x]] for x in range(width)])
        else:
            rows.append([palette[(data[base + x // 2] >> (0 if x % 2 else 4)) & 0xF] for x in range(width)])
    if height > 0:
        rows.reverse()  # bottom-up
    return Image(width, abs(height), rows)


def compare(shot, panel, left, top, excluded=()):
    """Pixels of panel at (left, top) in shot that equal it, and all compared, but for
    the excluded rectangles (x0, y0, x1, y1) of shot."""
    same = total = 0
    for y in range(panel.height):
        sy = top + y
        for x in range(panel.width):
            sx = left + x
            if sx >= shot.width or sy >= shot.height or any(
                    x0 <= sx < x1 and y0 <= sy < y1 for x0, y0, x1, y1 in excluded):
                continue
            total += 1
            same += shot.pixel(sx, sy) == panel.pixel(x, y)
    return same, total


def white_columns(shot, left, top, right, bottom):
    """First and last column with a white pixel in the rectangle and their count; (None, None, 0) if none."""
    columns = [x for y in range(top, min(bottom, shot.height)) for x in range(left, min(right, shot.width))
               if min(shot.pixel(x, y)) >= 240]
    return (min(columns), max(columns), len(columns)) if columns else (None, None, 0)


def artwork_dir(velorin_exe):
    """Where the build drew the bitmaps it compiled into velorin_exe."""
    return os.path.join(os.path.dirname(os.path.abspath(velorin_exe)), "generated")
