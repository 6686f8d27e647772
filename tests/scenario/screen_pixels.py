"""Pixels of the X display (ImageMagick's import) and of the BMP files the build compiles
into velorin.exe (ImageMagick's convert), for checks of what was painted."""

import os
import re
import subprocess

import velorin_env


class Image:
    def __init__(self, command):
        ppm = subprocess.run(command + ["-depth", "8", "ppm:-"], check=True, capture_output=True).stdout
        m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)  # -depth 8: always a binary PPM of bytes
        self.width, self.height, self.data = int(m.group(1)), int(m.group(2)), ppm[m.end():]

    def pixel(self, x, y):  # (r, g, b) bytes
        return self.data[(y * self.width + x) * 3:(y * self.width + x) * 3 + 3]


def capture(x, y, width, height):
    return Image(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y), "+repage"])


def screen_size():
    root = Image(["import", "-window", "root"])
    return root.width, root.height


def bitmap(name):
    """A bitmap the build drew and compiled into velorin.exe."""
    return Image(["convert", os.path.join(os.path.dirname(os.path.abspath(velorin_env.Config.velorin)), "generated",
                                          name + ".bmp")])


def compare(shot, panel, left, top, excluded=()):
    """Pixels of panel at (left, top) in shot that equal it, and all compared, but for
    the excluded rectangles (x0, y0, x1, y1) of shot."""
    same = total = 0
    for y in range(min(panel.height, shot.height - top)):
        for x in range(min(panel.width, shot.width - left)):
            if not any(x0 <= left + x < x1 and y0 <= top + y < y1 for x0, y0, x1, y1 in excluded):
                total += 1
                same += shot.pixel(left + x, top + y) == panel.pixel(x, y)
    return same, total


def assert_status_painted(case, shot, top, text):
    """White status text from x 11, as wide as the text in the status font (cut at the edge)."""
    columns = [x for y in range(top, top + 13) for x in range(shot.width) if min(shot.pixel(x, y)) >= 240]
    case.assertGreater(len(columns), 50, "no white status text at y %d" % top)
    first, last = min(columns), max(columns)
    case.assertLessEqual(abs(first - 11), 3, "status starts at x %d" % first)
    # The status font, 9-point bold Arial, is drawn by Wine with Liberation Sans here.
    expected = min(Image(["convert", "-font", "Liberation-Sans-Bold", "-pointsize", "9", "-density", "96",
                          "label:" + text, "-trim"]).width, shot.width - 11)
    case.assertLessEqual(abs(last - first + 1 - expected), 6, "status %d px wide, %r is %d" % (last - first + 1, text,
                                                                                             expected))
