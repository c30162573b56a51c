#!/usr/bin/env python3
"""Draws Quillbox's own images: the window banner and the 24 by 24 window icon.

Uses only the Python standard library. Run it from anywhere; it writes
src/app/images/banner.png (661 by 126, true colour) and src/app/images/icon.png
(24 by 24, 256-colour palette) next to the resource file that embeds them.
"""

import math
import pathlib
import struct
import zlib

IMAGES = pathlib.Path(__file__).resolve().parent.parent / "src" / "app" / "images"

BANNER_WIDTH = 661
BANNER_HEIGHT = 126


# --- PNG writing --------------------------------------------------------------------------------

def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_rgb_png(path, width, height, pixels):
    """pixels: rows of (r, g, b) tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b in row:
            raw += bytes((r, g, b))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    path.write_bytes(data + png_chunk(b"IEND", b""))


def write_indexed_png(path, width, height, indices, palette, transparent_index):
    """indices: rows of palette indices; palette: list of (r, g, b), at most 256 entries."""
    raw = bytearray()
    for row in indices:
        raw.append(0)
        raw += bytes(row)
    header = struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)
    plte = b"".join(bytes(colour) for colour in palette)
    alpha = bytes(0 if i == transparent_index else 255 for i in range(len(palette)))
    data = (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + png_chunk(b"PLTE", plte) +
            png_chunk(b"tRNS", alpha) + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
    path.write_bytes(data + png_chunk(b"IEND", b""))


# --- Stroke drawing -----------------------------------------------------------------------------

class StrokeLayer:
    """Round-capped strokes of one width, kept as the distance of each pixel to the nearest one."""

    def __init__(self, width, height, thickness):
        self.width = width
        self.height = height
        self.radius = thickness / 2.0
        self.distance = [[1e9] * width for _ in range(height)]

    def segment(self, x0, y0, x1, y1):
        reach = self.radius + 1.5
        left = max(0, int(math.floor(min(x0, x1) - reach)))
        right = min(self.width - 1, int(math.ceil(max(x0, x1) + reach)))
        top = max(0, int(math.floor(min(y0, y1) - reach)))
        bottom = min(self.height - 1, int(math.ceil(max(y0, y1) + reach)))
        dx, dy = x1 - x0, y1 - y0
        length_squared = dx * dx + dy * dy
        for y in range(top, bottom + 1):
            row = self.distance[y]
            cy = y + 0.5
            for x in range(left, right + 1):
                cx = x + 0.5
                if length_squared == 0:
                    t = 0.0
                else:
                    t = max(0.0, min(1.0, ((cx - x0) * dx + (cy - y0) * dy) / length_squared))
                px, py = x0 + t * dx - cx, y0 + t * dy - cy
                d = math.sqrt(px * px + py * py)
                if d < row[x]:
                    row[x] = d

    def polyline(self, points):
        if len(points) == 1:
            self.segment(points[0][0], points[0][1], points[0][0], points[0][1])
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            self.segment(x0, y0, x1, y1)

    def coverage(self, x, y):
        return max(0.0, min(1.0, self.radius - self.distance[y][x] + 0.5))


def arc(cx, cy, rx, ry, start_degrees, end_degrees, steps=40):
    points = []
    for i in range(steps + 1):
        a = math.radians(start_degrees + (end_degrees - start_degrees) * i / steps)
        points.append((cx + rx * math.cos(a), cy + ry * math.sin(a)))
    return points


# Glyphs in font units: baseline at 0, x-height 1, ascender 1.45, y upwards.
# Each glyph is (advance, [polylines]).
GLYPHS = {
    "Q": (1.3, [arc(0.65, 0.72, 0.65, 0.72, 0, 360, 64), [(0.8, 0.3), (1.3, -0.12)]]),
    "u": (0.9, [[(0, 1), (0, 0.45)] + arc(0.45, 0.45, 0.45, 0.45, 180, 360, 24)[1:], [(0.9, 1), (0.9, 0)]]),
    "i": (0.0, [[(0, 0), (0, 1)], [(0, 1.38)]]),
    "l": (0.0, [[(0, 0), (0, 1.45)]]),
    "b": (1.0, [[(0, 0), (0, 1.45)], arc(0.5, 0.5, 0.5, 0.5, 0, 360, 48)]),
    "o": (1.0, [arc(0.5, 0.5, 0.5, 0.5, 0, 360, 48)]),
    "x": (0.9, [[(0, 0), (0.9, 1)], [(0, 1), (0.9, 0)]]),
    "t": (0.55, [[(0.22, 1.3), (0.22, 0.2)] + arc(0.52, 0.2, 0.3, 0.2, 180, 270, 12)[1:], [(0, 1), (0.55, 1)]]),
    "e": (1.0, [[(0, 0.5), (1, 0.5)] + arc(0.5, 0.5, 0.5, 0.5, 0, 320, 48)[1:]]),
    "m": (1.4, [[(0, 0), (0, 1)], [(0, 0.6)] + arc(0.35, 0.6, 0.35, 0.4, 180, 0, 20)[1:] + [(0.7, 0)],
                [(0.7, 0.6)] + arc(1.05, 0.6, 0.35, 0.4, 180, 0, 20)[1:] + [(1.4, 0)]]),
    "a": (0.9, [arc(0.45, 0.5, 0.45, 0.5, 0, 360, 44), [(0.9, 1), (0.9, 0)]]),
    "d": (0.9, [arc(0.45, 0.5, 0.45, 0.5, 0, 360, 44), [(0.9, 1.45), (0.9, 0)]]),
    "r": (0.7, [[(0, 0), (0, 1)], [(0, 0.5)] + arc(0.45, 0.5, 0.45, 0.5, 180, 70, 16)[1:]]),
    " ": (0.5, []),
}


def draw_text(layer, text, left, baseline, unit, spacing):
    """Lays the text out from `left` on `baseline`; returns the x where the text ends."""
    x = left
    for letter in text:
        advance, strokes = GLYPHS[letter]
        for stroke in strokes:
            layer.polyline([(x + u * unit, baseline - v * unit) for u, v in stroke])
        x += (advance + spacing) * unit
    return x


# --- The banner ---------------------------------------------------------------------------------

def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def draw_banner():
    width, height = BANNER_WIDTH, BANNER_HEIGHT
    top, bottom = (26, 33, 58), (9, 11, 20)
    pixels = [[mix(top, bottom, y / (height - 1)) for _ in range(width)] for y in range(height)]

    # A field of faint dots that thickens to the right, where the picture box cuts the image off.
    for y in range(6, height, 9):
        for x in range(420, width, 9):
            strength = min(1.0, (x - 420) / 240.0) * 0.35
            for dy in (0, 1):
                for dx in (0, 1):
                    pixels[y + dy][x + dx] = mix(pixels[y + dy][x + dx], (90, 110, 170), strength)

    # A thin amber rule under the title.
    for x in range(24, 560):
        fade = 1.0 - max(0.0, (x - 400) / 160.0)
        for y in (118, 119):
            pixels[y][x] = mix(pixels[y][x], (224, 160, 48), 0.85 * fade)

    # The mark: an open box with a quill standing in it.
    box = StrokeLayer(width, height, 5)
    box.polyline([(22, 60), (82, 60), (82, 108), (22, 108), (22, 60)])
    box.polyline([(22, 60), (42, 44), (102, 44), (82, 60)])
    box.polyline([(82, 108), (102, 92), (102, 44)])
    quill = StrokeLayer(width, height, 4)
    spine = [(58 + 52 * t, 80 - 72 * t + 10 * math.sin(math.pi * t)) for t in [i / 24 for i in range(25)]]
    quill.polyline(spine)
    # The vane: barbs swept back from the spine on both sides, longest at the middle.
    for i in range(4, 24):
        x, y = spine[i]
        nx, ny = spine[i + 1]
        along = math.atan2(ny - y, nx - x)
        length = 15 * math.sin(math.pi * (i - 3) / 21)
        for side in (-1, 1):
            a = along + math.pi + side * math.radians(150)
            quill.polyline([(x, y), (x + length * math.cos(a), y + length * math.sin(a))])

    title = StrokeLayer(width, height, 9)
    shadow = StrokeLayer(width, height, 9)
    draw_text(title, "Quillbox", 134, 90, 40, 0.4)
    draw_text(shadow, "Quillbox", 137, 93, 40, 0.4)
    tagline = StrokeLayer(width, height, 2.2)
    draw_text(tagline, "item table editor", 138, 112, 9, 0.45)

    for y in range(height):
        for x in range(width):
            colour = pixels[y][x]
            colour = mix(colour, (0, 0, 0), 0.6 * shadow.coverage(x, y))
            colour = mix(colour, (224, 160, 48), box.coverage(x, y))
            colour = mix(colour, (246, 239, 223), quill.coverage(x, y))
            cream = mix((250, 244, 230), (240, 196, 110), max(0.0, min(1.0, (y - 30) / 62.0)))
            colour = mix(colour, cream, title.coverage(x, y))
            colour = mix(colour, (150, 165, 205), tagline.coverage(x, y))
            pixels[y][x] = tuple(int(round(c)) for c in colour)
    write_rgb_png(IMAGES / "banner.png", width, height, pixels)


# --- The icon -----------------------------------------------------------------------------------

ICON_PALETTE = [
    (0, 0, 0),        # transparent
    (27, 32, 54),     # k outline
    (224, 160, 48),   # f box front
    (176, 116, 32),   # s box side
    (244, 200, 96),   # t box top
    (246, 239, 223),  # q quill
    (201, 191, 166),  # h quill shade
    (58, 63, 92),     # n nib
]
ICON_KEYS = {".": 0, "k": 1, "f": 2, "s": 3, "t": 4, "q": 5, "h": 6, "n": 7}

# An open box with a quill standing in it, one character a pixel.
ICON_ART = [
    "........................",
    "....................qq..",
    "..................qqqh..",
    ".................qqqhh..",
    "................qqqhh...",
    "...............qqqhh....",
    "..............qqqhh.....",
    ".............qqqhh......",
    "......kkkkkkqqqhhkkkk...",
    ".....kttttttqqhhtttkk...",
    "....ktttttttqhhtttksk...",
    "...ktttttttnhttttkssk...",
    "..kkkkkkkkkkkkkkksssk...",
    "..kfffffffffffffksssk...",
    "..kfffffffffffffksssk...",
    "..kfffffffffffffksssk...",
    "..kfffffffffffffksssk...",
    "..kfffffffffffffksssk...",
    "..kfffffffffffffkssk....",
    "..kfffffffffffffksk.....",
    "..kfffffffffffffkk......",
    "..kkkkkkkkkkkkkkkk......",
    "........................",
    "........................",
]


def draw_icon():
    grid = [[ICON_KEYS[c] for c in row] for row in ICON_ART]
    assert len(grid) == 24 and all(len(row) == 24 for row in grid)
    write_indexed_png(IMAGES / "icon.png", 24, 24, grid, ICON_PALETTE, 0)


if __name__ == "__main__":
    IMAGES.mkdir(parents=True, exist_ok=True)
    draw_banner()
    draw_icon()
