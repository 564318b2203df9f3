#!/usr/bin/env python3
"""Draws korvane's Windows icon: an embroidery hoop holding fabric with a
stitched flower, and a needle whose thread runs down into it.

    python3 tools/make_icon.py src/frontend/win32/korvane.ico

Only the standard library: shapes are distance tests, supersampled for smooth
edges; 16, 24, 32 and 48 pixels as 32-bit bitmaps, 256 as PNG, as Windows wants.
"""
import math
import struct
import sys
import zlib

WOOD = (196, 140, 82)
WOOD_DARK = (140, 92, 48)
WOOD_LIGHT = (226, 180, 124)
FABRIC = (246, 241, 228)
METAL = (150, 156, 166)
METAL_LIGHT = (214, 219, 226)
THREAD = (204, 40, 64)
PETAL = (214, 52, 80)
HEART = (244, 190, 40)
STEM = (52, 140, 70)
OUTLINE = (70, 60, 56)


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def bezier(p0, p1, p2, n=12):
    return [((1 - t) ** 2 * p0[0] + 2 * (1 - t) * t * p1[0] + t * t * p2[0],
             (1 - t) ** 2 * p0[1] + 2 * (1 - t) * t * p1[1] + t * t * p2[1])
            for t in (i / n for i in range(n + 1))]


HOOP_C = (0.47, 0.53)
THREAD_PATH = bezier((0.83, 0.20), (0.70, 0.62), (0.47, 0.50))
STEM_PATH = bezier((0.47, 0.53), (0.44, 0.70), (0.50, 0.80))
PETALS = [(0.47 + 0.085 * math.cos(a), 0.50 + 0.085 * math.sin(a), a)
          for a in (math.radians(90 + 72 * k) for k in range(5))]


def colour_at(x, y):
    """The topmost colour at (x, y) in the unit square, or None (transparent)."""
    needle = seg_dist(x, y, 0.60, 0.92, 0.90, 0.10)
    if needle < 0.028:
        eye = seg_dist(x, y, 0.872, 0.16, 0.890, 0.11)
        if eye < 0.008:
            pass  # the needle's eye: what lies behind shows through
        else:
            return METAL_LIGHT if needle < 0.016 else METAL
    thread = min(seg_dist(x, y, *THREAD_PATH[i], *THREAD_PATH[i + 1])
                 for i in range(len(THREAD_PATH) - 1))
    if thread < 0.014:
        return THREAD
    cx, cy = HOOP_C
    r = math.hypot(x - cx, y - cy)
    # The screw that tightens the hoop, on top.
    if abs(x - cx) < 0.06 and 0.02 < y < 0.12:
        return OUTLINE if abs(x - cx) > 0.045 or y < 0.035 else METAL
    if r < 0.36:
        if math.hypot(x - 0.47, y - 0.50) < 0.035:
            return HEART
        for px, py, a in PETALS:
            u = (x - px) * math.cos(a) + (y - py) * math.sin(a)
            v = -(x - px) * math.sin(a) + (y - py) * math.cos(a)
            if (u / 0.065) ** 2 + (v / 0.04) ** 2 < 1:
                return PETAL
        stem = min(seg_dist(x, y, *STEM_PATH[i], *STEM_PATH[i + 1])
                   for i in range(len(STEM_PATH) - 1))
        if stem < 0.014:
            return STEM
        # A leaf beside the stem.
        lx, ly, la = 0.55, 0.70, math.radians(-35)
        u = (x - lx) * math.cos(la) + (y - ly) * math.sin(la)
        v = -(x - lx) * math.sin(la) + (y - ly) * math.cos(la)
        if (u / 0.07) ** 2 + (v / 0.03) ** 2 < 1:
            return STEM
        return FABRIC
    if r < 0.385:
        return WOOD_LIGHT
    if r < 0.44:
        return WOOD
    if r < 0.46:
        return WOOD_DARK
    return None


def render(size):
    ss = 4 if size <= 48 else 3
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(ss):
                for sx in range(ss):
                    c = colour_at((px + (sx + 0.5) / ss) / size, (py + (sy + 0.5) / ss) / size)
                    if c is not None:
                        acc[0] += c[0]
                        acc[1] += c[1]
                        acc[2] += c[2]
                        acc[3] += 1
            n = acc[3]
            if n == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((acc[0] // n, acc[1] // n, acc[2] // n, 255 * n // (ss * ss)))
        rows.append(row)
    return rows


def bmp_entry(rows):
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    return header + pixels + bytes(mask_row * size)


def png_entry(rows):
    size = len(rows)
    raw = b''.join(b'\0' + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main():
    sizes = [16, 24, 32, 48, 256]
    images = [png_entry(render(s)) if s == 256 else bmp_entry(render(s)) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main()
