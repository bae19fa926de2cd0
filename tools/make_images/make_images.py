#!/usr/bin/env python3
"""Draws the control window's two pictures and writes them as PNG files.

    python3 tools/make_images/make_images.py [output folder]

The folder defaults to ui/resources. logo.png is 181 x 136 8-bit RGBA;
donate.png is 72 x 29 8-bit RGB with sRGB, gAMA and cHRM chunks. Only the
standard library is used: shapes are rasterised with 4 x 4 supersampling and
the PNG chunks are written here, so the output is the same on every machine.
"""

import math
import os
import struct
import sys
import zlib

SAMPLES = 4

DARK_BLUE = (0x25, 0x64, 0x8B)
BLUE_GREY = (0xCE, 0xDB, 0xE3)
MID_BLUE = (0x67, 0x93, 0xAE)
DARK_GREY = (0x4D, 0x4D, 0x4D)
WARM = (0xE5, 0xB7, 0x80)
WARM_LIGHT = (0xF3, 0xDB, 0xB0)
WARM_PALE = (0xFD, 0xF1, 0xD4)
WARM_DARK = (0xB0, 0x80, 0x48)
WARM_SHADE = (0xCC, 0x98, 0x5C)
HEART_RED = (0xC8, 0x4B, 0x3C)

# 5 x 7 capitals, one string per row, '#' is ink.
GLYPHS = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
}


class Canvas:
    """Straight-alpha RGBA pixels as floats 0..1."""

    def __init__(self, width, height, background=None):
        self.width, self.height = width, height
        fill = (0.0, 0.0, 0.0, 0.0) if background is None else tuple(c / 255 for c in background) + (1.0,)
        self.pixels = [list(fill) for _ in range(width * height)]

    def blend(self, x, y, colour, alpha):
        if alpha <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        p = self.pixels[y * self.width + x]
        src = [c / 255 for c in colour]
        out_a = alpha + p[3] * (1 - alpha)
        for i in range(3):
            p[i] = (src[i] * alpha + p[i] * p[3] * (1 - alpha)) / out_a
        p[3] = out_a

    def fill(self, inside, bounds, colour):
        """inside(x, y) tells whether a point is covered; colour is RGB or a function of (x, y)."""
        x0, y0, x1, y1 = (int(math.floor(bounds[0])), int(math.floor(bounds[1])),
                          int(math.ceil(bounds[2])), int(math.ceil(bounds[3])))
        step = 1.0 / SAMPLES
        for y in range(max(0, y0), min(self.height, y1 + 1)):
            for x in range(max(0, x0), min(self.width, x1 + 1)):
                hits = sum(1 for sy in range(SAMPLES) for sx in range(SAMPLES)
                           if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step))
                if hits:
                    c = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                    self.blend(x, y, c, hits / (SAMPLES * SAMPLES))

    def rounded_rect(self, x, y, w, h, r, colour):
        def inside(px, py):
            if not (x <= px <= x + w and y <= py <= y + h):
                return False
            cx = min(max(px, x + r), x + w - r)
            cy = min(max(py, y + r), y + h - r)
            return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
        self.fill(inside, (x, y, x + w, y + h), colour)

    def polygon(self, points, colour):
        def inside(px, py):
            result = False
            j = len(points) - 1
            for i, (xi, yi) in enumerate(points):
                xj, yj = points[j]
                if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
                    result = not result
                j = i
            return result
        xs, ys = [p[0] for p in points], [p[1] for p in points]
        self.fill(inside, (min(xs), min(ys), max(xs), max(ys)), colour)

    def circle(self, cx, cy, r, colour):
        self.fill(lambda px, py: (px - cx) ** 2 + (py - cy) ** 2 <= r * r,
                  (cx - r, cy - r, cx + r, cy + r), colour)

    def text(self, x, y, string, scale, colour):
        for ch in string:
            for row, bits in enumerate(GLYPHS[ch]):
                for col, bit in enumerate(bits):
                    if bit == "#":
                        for dy in range(scale):
                            for dx in range(scale):
                                self.blend(x + col * scale + dx, y + row * scale + dy, colour, 1.0)
            x += 6 * scale

    def rows(self, with_alpha):
        for y in range(self.height):
            row = bytearray()
            for x in range(self.width):
                p = self.pixels[y * self.width + x]
                channels = p if with_alpha else p[:3]
                row.extend(max(0, min(255, int(round(c * 255)))) for c in channels)
            yield bytes(row)


def text_width(string, scale):
    return (6 * len(string) - 1) * scale


def vertical_gradient(top_colour, bottom_colour, top, bottom):
    def colour(_x, y):
        t = min(1.0, max(0.0, (y - top) / (bottom - top)))
        return tuple(a + (b - a) * t for a, b in zip(top_colour, bottom_colour))
    return colour


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, canvas, with_alpha, colour_chunks=False):
    colour_type = 6 if with_alpha else 2
    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, colour_type, 0, 0, 0)
    raw = b"".join(b"\x00" + row for row in canvas.rows(with_alpha))
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    if colour_chunks:
        out += chunk(b"sRGB", b"\x00")                        # perceptual
        out += chunk(b"gAMA", struct.pack(">I", 45455))        # 1 / 2.2
        out += chunk(b"cHRM", struct.pack(">8I", 31270, 32900, 64000, 33000,
                                          30000, 60000, 15000, 6000))
    out += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(out)


def draw_logo():
    """A crate that talks: a speech bubble full of log lines rising from an open box."""
    c = Canvas(181, 136)

    # Speech bubble with its tail pointing down to the box.
    c.polygon([(72, 48), (92, 48), (66, 72)], DARK_BLUE)
    c.rounded_rect(64, 4, 112, 54, 12, DARK_BLUE)
    for i, length in enumerate((78, 62, 86)):
        y = 14 + i * 13
        c.circle(76, y + 2.5, 3, WARM)
        c.rounded_rect(84, y, length, 5, 2.5, BLUE_GREY)

    # The box: lid flap, top opening, front and side.
    c.polygon([(10, 70), (56, 70), (44, 58), (-2, 58)], WARM_LIGHT)
    c.polygon([(10, 70), (56, 70), (70, 62), (24, 62)], WARM_DARK)
    c.polygon([(10, 70), (56, 70), (56, 112), (10, 112)],
              vertical_gradient(WARM, WARM_SHADE, 70, 112))
    c.polygon([(56, 70), (70, 62), (70, 104), (56, 112)], WARM_SHADE)
    c.polygon([(56, 70), (70, 62), (78, 72), (64, 80)], WARM_LIGHT)
    c.rounded_rect(20, 84, 26, 5, 2.5, WARM_PALE)

    name = "TATTLEBOX"
    c.text((181 - text_width(name, 2)) // 2, 119, name, 2, DARK_BLUE)
    return c


def draw_badge():
    """A warm button with a heart and the word DONATE, on the window's blue."""
    c = Canvas(72, 29, background=MID_BLUE)
    c.rounded_rect(0.5, 0.5, 71, 28, 7, WARM_DARK)
    c.rounded_rect(1.5, 1.5, 69, 26, 6, vertical_gradient(WARM_PALE, WARM, 2, 27))

    # Heart: two circles and a point.
    c.circle(9.5, 12, 3.2, HEART_RED)
    c.circle(15.5, 12, 3.2, HEART_RED)
    c.polygon([(6.5, 13.2), (18.5, 13.2), (12.5, 20.5)], HEART_RED)

    c.text(24, 11, "DONATE", 1, DARK_GREY)
    return c


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "ui", "resources")
    os.makedirs(folder, exist_ok=True)
    write_png(os.path.join(folder, "logo.png"), draw_logo(), with_alpha=True)
    write_png(os.path.join(folder, "donate.png"), draw_badge(), with_alpha=False, colour_chunks=True)


if __name__ == "__main__":
    main()
