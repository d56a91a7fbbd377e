#!/usr/bin/env python3
"""Draws Orvalda's application icon and writes it as orvalda.ico.

The mark: a rounded square in deep blue with rising candlesticks and a white
price line that climbs to an arrowhead. Every size is drawn from the same
shapes with 4 x 4 supersampling; the smallest sizes drop the candles, which
would only blur there. Python 3 standard library only, deterministic: the
same script always writes the same bytes.

    python3 app/make_icon.py [output.ico]
"""
import math
import struct
import sys
import zlib

SIZES = (256, 48, 32, 16)
SUPERSAMPLE = 4

TOP = (0x1E, 0x88, 0xE5)
BOTTOM = (0x0B, 0x3C, 0x8F)
GREEN = (0x3D, 0xDC, 0x84)
RED = (0xFF, 0x5F, 0x6B)
WHITE = (0xFF, 0xFF, 0xFF)
SHADOW = (0x06, 0x22, 0x55)

# Candles: centre x, body top, body bottom, wick top, wick bottom, colour.
CANDLES = (
    (0.255, 0.585, 0.745, 0.525, 0.800, GREEN),
    (0.415, 0.500, 0.620, 0.445, 0.680, RED),
    (0.575, 0.375, 0.560, 0.315, 0.610, GREEN),
    (0.735, 0.255, 0.430, 0.190, 0.480, GREEN),
)
LINE = ((0.15, 0.66), (0.34, 0.50), (0.49, 0.57), (0.74, 0.33))
ARROW_TIP = (0.86, 0.215)


def in_rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def in_triangle(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    p = (px, py)
    d1, d2, d3 = side(p, a, b), side(p, b, c), side(p, c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def arrow_head(width):
    """The arrowhead's triangle at the end of the price line."""
    (ax, ay), (bx, by) = LINE[-1], ARROW_TIP
    length = math.hypot(bx - ax, by - ay)
    ux, uy = (bx - ax) / length, (by - ay) / length
    base = (bx - ux * width * 2.6, by - uy * width * 2.6)
    half = width * 1.7
    return ((bx, by), (base[0] - uy * half, base[1] + ux * half), (base[0] + uy * half, base[1] - ux * half))


def sample(x, y, size):
    """Colour (r, g, b, a) of the design at unit coordinates (x, y)."""
    if not in_rounded_rect(x, y, 0.035, 0.035, 0.965, 0.965, 0.21):
        return (0, 0, 0, 0)
    t = y
    colour = tuple(TOP[i] + (BOTTOM[i] - TOP[i]) * t for i in range(3))
    simple = size < 32
    width = 0.10 if simple else 0.06
    if not simple:
        for cx, top, bottom, wtop, wbottom, c in CANDLES:
            if abs(x - cx) <= 0.014 and wtop <= y <= wbottom:
                colour = c
            if abs(x - cx) <= 0.05 and top <= y <= bottom:
                colour = c
    points = LINE + (ARROW_TIP,)
    head = arrow_head(width)
    # A soft shadow under the line lifts it off the candles.
    off = 0.018 if not simple else 0.0
    if off:
        for (ax, ay), (bx, by) in zip(points, points[1:-1] + (head[0],)):
            if segment_distance(x - off, y - off, ax, ay, bx, by) <= width / 2:
                colour = tuple(colour[i] * 0.45 + SHADOW[i] * 0.55 for i in range(3))
                break
    for (ax, ay), (bx, by) in zip(points[:-1], points[1:-1]):
        if segment_distance(x, y, ax, ay, bx, by) <= width / 2:
            return WHITE + (255,)
    if in_triangle(x, y, *head):
        return WHITE + (255,)
    return tuple(colour) + (255,)


def render(size):
    """Rows of premultiplied-free RGBA pixels, top row first."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size, size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3] > 0:
                rgb = [int(round(acc[i] / acc[3])) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], int(round(alpha))))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def dib(rows):
    """32-bit BMP image of an icon entry: header, BGRA bottom-up, then the AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
    stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, data in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        blobs += data
    return out + entries + blobs


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "orvalda.ico"
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png(rows) if size >= 256 else dib(rows)))
    with open(path, "wb") as f:
        f.write(ico(images))
    if len(sys.argv) > 2:  # a preview of the largest image, for looking at it
        with open(sys.argv[2], "wb") as f:
            f.write(png(render(256)))


if __name__ == "__main__":
    main()
