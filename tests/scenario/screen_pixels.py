"""Pixels of the X display and of the window's bitmaps, for checks of what was painted.

Screenshots come from ImageMagick's import (the whole root window, cropped to a
window's rectangle); bitmaps are read from the BMP files the build compiles
into velorin.exe. Both become Image objects of RGB triples.
"""

import os
import struct
import subprocess


class Image:
    def __init__(self, width, height, rows):
        self.width = width
        self.height = height
        self.rows = rows  # rows[y][x] == (r, g, b)

    def pixel(self, x, y):
        return self.rows[y][x]


def capture(x, y, width, height):
    """The display's pixels in the given screen rectangle."""
    data = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                           "+repage", "-depth", "8", "ppm:-"], check=True, capture_output=True).stdout
    return _parse_ppm(data)


def save_png(image_path, x, y, width, height):
    subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y), "+repage",
                    image_path], check=True, capture_output=True)


def _parse_ppm(data):
    fields, position = [], 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position) + 1
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    position += 1
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise ValueError("not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[position:position + width * height * 3]
    rows = [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]
    return Image(width, height, rows)


def read_bmp(path):
    """An uncompressed 4-, 8- or 24-bit BMP file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError("%s is not a BMP file" % path)
    offset, = struct.unpack_from("<I", data, 10)
    header_size, width, height, _, bits, compression, _, _, _, used = struct.unpack_from("<IiiHHIIiiI", data, 14)
    if compression != 0:
        raise ValueError("%s is compressed" % path)
    palette = []
    if bits <= 8:
        count = used or (1 << bits)
        start = 14 + header_size
        palette = [(data[start + 4 * i + 2], data[start + 4 * i + 1], data[start + 4 * i]) for i in range(count)]
    stride = ((width * bits + 31) // 32) * 4
    rows = []
    for row in range(abs(height)):
        base = offset + row * stride
        if bits == 24:
            line = [(data[base + 3 * x + 2], data[base + 3 * x + 1], data[base + 3 * x]) for x in range(width)]
        elif bits == 8:
            line = [palette[data[base + x]] for x in range(width)]
        elif bits == 4:
            line = [palette[(data[base + x // 2] >> (0 if x % 2 else 4)) & 0xF] for x in range(width)]
        else:
            raise ValueError("%s: %d bits per pixel not read here" % (path, bits))
        rows.append(line)
    if height > 0:
        rows.reverse()  # bottom-up
    return Image(width, abs(height), rows)


def bmp_bits(path):
    with open(path, "rb") as f:
        header = f.read(30)
    return struct.unpack_from("<H", header, 28)[0]


def compare(shot, panel, left, top, excluded=()):
    """Pixels of panel placed at (left, top) in shot that equal it, and all
    compared, leaving out the excluded rectangles (x0, y0, x1, y1) of shot."""
    same = total = 0
    for y in range(panel.height):
        sy = top + y
        if sy >= shot.height:
            break
        for x in range(panel.width):
            if x >= shot.width or any(x0 <= x < x1 and y0 <= sy < y1 for x0, y0, x1, y1 in excluded):
                continue
            total += 1
            if shot.pixel(x, sy) == panel.pixel(x, y):
                same += 1
    return same, total


def white_columns(shot, left, top, right, bottom):
    """Leftmost and rightmost column holding a white pixel in the rectangle,
    and the count of white pixels; (None, None, 0) when there is none."""
    first = last = None
    count = 0
    for y in range(top, min(bottom, shot.height)):
        for x in range(left, min(right, shot.width)):
            if min(shot.pixel(x, y)) >= 240:
                count += 1
                first = x if first is None else min(first, x)
                last = x if last is None else max(last, x)
    return first, last, count


def artwork_dir(velorin_exe):
    """Where the build drew the bitmaps it compiled into velorin_exe."""
    return os.path.join(os.path.dirname(os.path.abspath(velorin_exe)), "generated")
