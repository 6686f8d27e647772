#!/usr/bin/env python3
"""Draws the window artwork: the three stacked panels and the button faces,
written as uncompressed bottom-up BMP files at the depths the program loads
(8 bits with a 256-entry palette; the bottom panel 4 bits with 16 colours).

Usage: draw_panels.py OUTPUT_DIR

The look is a dark card room: deep table green fading to near black at the
edges, gold for the product name and thin rules, white text on dark grey
buttons. The window paints its white status, percent and file lines straight
onto the panels, so every place where that text lands is kept dark and plain.
Output is deterministic: no randomness but a fixed integer hash for the felt.
"""
import math
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")

WIDTH = 420
TABLE_GREEN = (18, 58, 38)
EDGE_BLACK = (4, 10, 7)
GOLD = (199, 188, 100)
LIGHT_GREY = (178, 178, 178)
FACE_TOP = (64, 64, 64)
FACE_BOTTOM = (38, 38, 38)


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def hash_noise(x, y, seed):
    """A small fixed integer hash in [-1, 1): the felt grain, identical on every build."""
    n = (x * 374761393 + y * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    n = ((n ^ (n >> 13)) * 1274126177) & 0xFFFFFFFF
    n ^= n >> 16
    return (n & 0xFFFF) / 32768.0 - 1.0


def vignette(width, height, centre, edge, cx, cy, rx, ry, power=1.6):
    """Elliptic fade from centre colour at (cx, cy) to edge colour at radius 1."""
    img = Image.new("RGB", (width, height))
    data = []
    for y in range(height):
        dy = (y - cy) / ry
        for x in range(width):
            dx = (x - cx) / rx
            data.append(mix(centre, edge, math.hypot(dx, dy) ** power))
    img.putdata(data)
    return img


def gold_rule(draw, y, width, fade=60):
    """A one-pixel gold line that fades out towards both ends."""
    for x in range(width):
        t = min(x, width - 1 - x) / fade
        draw.point((x, y), fill=mix(EDGE_BLACK, GOLD, t))


def chip(diameter):
    """The icon's green chip with its gold ring and white edge spots, drawn
    four times over size and scaled down for smooth edges."""
    scale = 4
    size = diameter * scale
    img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    c = size / 2.0
    r = size / 2.0 - 1
    d.ellipse((c - r, c - r, c + r, c + r), fill=(40, 110, 40, 255))
    for k in range(6):  # white edge spots, like the icon's notches
        a0 = k * 60.0
        d.pieslice((c - r, c - r, c + r, c + r), a0, a0 + 30.0, fill=(235, 235, 235, 255))
    r1 = r * 0.82
    d.ellipse((c - r1, c - r1, c + r1, c + r1), fill=(200, 170, 60, 255))
    r2 = r * 0.70
    d.ellipse((c - r2, c - r2, c + r2, c + r2), fill=(50, 140, 50, 255))
    r3 = r * 0.30
    d.ellipse((c - r3, c - r3, c + r3, c + r3), fill=(235, 200, 90, 255))
    return img.resize((diameter, diameter), Image.LANCZOS)


def top_panel():
    img = vignette(WIDTH, 92, TABLE_GREEN, EDGE_BLACK, 150, 40, 330, 80)
    chip_img = chip(54)
    img.paste(chip_img, (18, 17), chip_img)
    draw = ImageDraw.Draw(img)
    font = ImageFont.truetype(BOLD, 40)
    # A soft dark shadow under the gold name keeps it crisp on the green.
    draw.text((87, 22), "Quenzar", font=font, fill=(6, 18, 12))
    draw.text((85, 20), "Quenzar", font=font, fill=GOLD)
    gold_rule(draw, 90, WIDTH)
    return img


def middle_panel():
    img = vignette(WIDTH, 186, (13, 44, 29), EDGE_BLACK, 210, 93, 300, 170, power=2.0)
    px = img.load()
    for y in range(186):
        for x in range(WIDTH):
            # Fine grain plus a faint diagonal weave: felt, not pattern.
            n = hash_noise(x, y, 7) * 3.0 + (2.0 if (x + y) % 4 == 0 else 0.0)
            r, g, b = px[x, y]
            px[x, y] = (max(0, int(r + n * 0.5)), max(0, int(g + n)), max(0, int(b + n * 0.7)))
    return img


def bottom_panel():
    # Darker than the top so the white status (y 8), the progress bar and the
    # file line (y 44) stand out; plain all the way to the right end, where the
    # percent is drawn.
    img = vignette(WIDTH, 67, (12, 34, 23), EDGE_BLACK, 170, 10, 380, 80, power=1.4)
    draw = ImageDraw.Draw(img)
    gold_rule(draw, 66, WIDTH, fade=90)
    return img


def button(width, height, word, border, font_size=11):
    img = Image.new("RGB", (width, height))
    draw = ImageDraw.Draw(img)
    for y in range(height):
        draw.line((0, y, width - 1, y), fill=mix(FACE_TOP, FACE_BOTTOM, y / (height - 1)))
    draw.rectangle((0, 0, width - 1, height - 1), outline=border)
    if word:
        font = ImageFont.truetype(BOLD, font_size)
        left, top, right, bottom = draw.textbbox((0, 0), word, font=font)
        x = (width - (right - left)) // 2 - left
        y = (height - (bottom - top)) // 2 - top
        draw.text((x, y), word, font=font, fill=(255, 255, 255))
    return img


def minimize_face():
    img = button(17, 13, "", LIGHT_GREY)
    draw = ImageDraw.Draw(img)
    draw.rectangle((5, 6, 11, 7), fill=(255, 255, 255))
    return img


def quantise(img, colours):
    """Palette image of at most `colours` entries (median cut, dithered)."""
    return img.convert("RGB").quantize(colors=colours, method=Image.Quantize.MEDIANCUT,
                                       dither=Image.Dither.FLOYDSTEINBERG)


def write_bmp(path, img, bits):
    """Writes a BI_RGB BMP with BITMAPINFOHEADER, a full 2^bits palette and
    bottom-up rows padded to four bytes."""
    entries = 1 << bits
    pal_img = quantise(img, entries)
    width, height = pal_img.size
    palette = pal_img.getpalette()[: 3 * entries]
    palette += [0] * (3 * entries - len(palette))
    pal_bytes = b"".join(bytes((palette[3 * i + 2], palette[3 * i + 1], palette[3 * i], 0))
                         for i in range(entries))
    stride = ((width * bits + 31) // 32) * 4
    pixels = list(pal_img.getdata())
    rows = []
    for y in reversed(range(height)):
        row = pixels[y * width:(y + 1) * width]
        if bits == 4:
            if width % 2:
                row = row + [0]
            packed = bytes((row[i] << 4) | row[i + 1] for i in range(0, len(row), 2))
        else:
            packed = bytes(row)
        rows.append(packed + b"\0" * (stride - len(packed)))
    image = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(image), 2835, 2835,
                       entries, 0)
    offset = 14 + len(info) + len(pal_bytes)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + pal_bytes + image)


ARTWORK = [
    # file name, drawing, bits per pixel
    ("top_panel.bmp", top_panel, 8),
    ("middle_panel.bmp", middle_panel, 8),
    ("bottom_panel.bmp", bottom_panel, 4),
    ("cancel.bmp", lambda: button(78, 19, "Cancel", LIGHT_GREY), 8),
    ("accept.bmp", lambda: button(79, 19, "Accept", GOLD), 8),
    ("browse.bmp", lambda: button(79, 19, "Browse", LIGHT_GREY), 8),
    ("minimize.bmp", minimize_face, 8),
]


def main(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    for name, draw, bits in ARTWORK:
        write_bmp(os.path.join(out_dir, name), draw(), bits)


if __name__ == "__main__":
    main(sys.argv[1])
