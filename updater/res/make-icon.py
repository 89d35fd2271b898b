#!/usr/bin/env python3
"""Draws the updater's 64x64 icon: a green downward arrow in front of a small
application window. Writes an RGBA PNG with zlib alone, so it needs nothing
beyond the Python standard library.

    updater/res/make-icon.py [output.png]      (default: icon.png beside this script)
"""
import os
import struct
import sys
import zlib

SIZE = 64
SAMPLES = 4  # per axis: 16 samples per pixel give smooth edges


def text_lines(x, y):
    """Three grey "text" lines in the window's client area."""
    for top, length in ((20.0, 26.0), (26.0, 20.0), (32.0, 23.0)):
        if top <= y < top + 2.5 and 9.0 <= x < 9.0 + length:
            return True
    return False


def inside_arrow(x, y):
    """The arrow: a shaft and a head pointing down, bottom right."""
    cx = 44.0
    shaft_half, shaft_top, shaft_bottom = 6.5, 22.0, 44.0
    head_half, head_top, tip = 17.0, 40.0, 61.0
    if shaft_top <= y < shaft_bottom and abs(x - cx) <= shaft_half:
        return True
    if head_top <= y < tip:
        half = head_half * (tip - y) / (tip - head_top)
        return abs(x - cx) <= half
    return False


def inside_arrow_outline(x, y):
    """The arrow grown by about 1.5 pixels, for a dark green outline."""
    for dx, dy in ((0, 0), (1.5, 0), (-1.5, 0), (0, 1.5), (0, -1.5),
                   (1.1, 1.1), (-1.1, 1.1), (1.1, -1.1), (-1.1, -1.1)):
        if inside_arrow(x + dx, y + dy):
            return True
    return False


def sample(x, y):
    if inside_arrow(x, y):
        # A vertical gradient from light to deep green.
        t = max(0.0, min(1.0, (y - 22.0) / 39.0))
        return (int(118 - 60 * t), int(206 - 66 * t), int(72 - 40 * t), 255)
    if inside_arrow_outline(x, y):
        return (30, 92, 24, 255)
    window = window_pixel(x, y)
    if window is not None:
        return window
    return (0, 0, 0, 0)


def window_pixel(x, y):
    left, top, right, bottom = 4.0, 6.0, 50.0, 44.0
    if not (left <= x < right and top <= y < bottom):
        return None
    if x < left + 1.5 or x >= right - 1.5 or y < top + 1.5 or y >= bottom - 1.5:
        return (70, 78, 92, 255)
    if y < top + 9:
        if right - 9 <= x < right - 4 and top + 3 <= y < top + 7:
            return (232, 236, 242, 255)
        return (52, 101, 164, 255)
    if text_lines(x, y):
        return (170, 178, 190, 255)
    return (246, 247, 249, 255)


def pixel(px, py):
    """Averages premultiplied samples, then converts back to straight alpha."""
    r = g = b = a = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            cr, cg, cb, ca = sample(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            r += cr * ca
            g += cg * ca
            b += cb * ca
            a += ca
    if a == 0:
        return (0, 0, 0, 0)
    n = SAMPLES * SAMPLES
    return (round(r / a), round(g / a), round(b / a), round(a / n))


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "icon.png")
    rows = bytearray()
    for py in range(SIZE):
        rows.append(0)  # filter: none
        for px in range(SIZE):
            rows.extend(pixel(px, py))
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    png = (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
           + png_chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + png_chunk(b"IEND", b""))
    with open(out, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
