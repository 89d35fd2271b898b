#!/usr/bin/env python3
"""Draws the three pictures of the ss_widgets resource collection.

Run from any folder; the pictures are written beside this script:
  bg_norm.bmp   31 x 28, 4-bit BMP: miniature window with the target in it
  bg_empty.bmp  31 x 28, 4-bit BMP: the same window, empty
  cursor.png    32 x 32, 8-bit RGB PNG, key colour (0, 128, 128) transparent:
                the target, black with a white outline, centred on (9, 9)
Only the standard library is used, so the pictures can be rebuilt anywhere.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16 standard VGA colours, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GREY, WHITE = 0, 4, 7, 8, 15
KEY = (0, 128, 128)

TARGET_RADIUS = 9  # the target spans 19 x 19 pixels around its centre


def target_ink(dx, dy):
    """True where the target symbol is black, (dx, dy) relative to its centre."""
    ring = abs((dx * dx + dy * dy) ** 0.5 - 5.5) < 0.6
    cross = (dx == 0 and abs(dy) <= 8 and abs(dy) != 2) or (dy == 0 and abs(dx) <= 8 and abs(dx) != 2)
    ticks = (abs(dy) == 8 and abs(dx) <= 1) or (abs(dx) == 8 and abs(dy) <= 1)
    return ring or cross or ticks


def window_pixels(with_target):
    width, height = 31, 28
    title_bottom = 6  # rows 1..5 title bar, row 6 the black line under it
    pixels = [[WHITE] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            if x in (0, width - 1) or y in (0, height - 1):
                pixels[y][x] = GREY
            elif y < title_bottom:
                pixels[y][x] = NAVY
            elif y == title_bottom:
                pixels[y][x] = BLACK
    for left in (2, width - 5):  # the small boxes at both ends of the title bar
        for y in range(2, 5):
            for x in range(left, left + 3):
                pixels[y][x] = SILVER
    if with_target:
        cx, cy = width // 2, (title_bottom + 1 + height - 2) // 2
        for dy in range(-TARGET_RADIUS, TARGET_RADIUS + 1):
            for dx in range(-TARGET_RADIUS, TARGET_RADIUS + 1):
                if target_ink(dx, dy):
                    pixels[cy + dy][cx + dx] = BLACK
    return pixels


def write_bmp4(path, pixels):
    height, width = len(pixels), len(pixels[0])
    row_bytes = ((width * 4 + 31) // 32) * 4
    rows = b""
    for row in reversed(pixels):  # BMP rows run bottom-up
        packed = bytearray(row_bytes)
        for x, index in enumerate(row):
            packed[x // 2] |= index << (4 if x % 2 == 0 else 0)
        rows += bytes(packed)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(rows), 2835, 2835, 16, 16)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open(path, "wb") as out:
        out.write(header + info + palette + rows)


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def write_cursor_png(path):
    size, centre = 32, 9
    ink = [[target_ink(x - centre, y - centre) for x in range(size)] for y in range(size)]
    raw = b""
    for y in range(size):
        raw += b"\0"  # filter type None
        for x in range(size):
            near_ink = any(
                0 <= y + j < size and 0 <= x + i < size and ink[y + j][x + i]
                for j in (-1, 0, 1) for i in (-1, 0, 1))
            if ink[y][x]:
                raw += bytes((0, 0, 0))
            elif near_ink:
                raw += bytes((255, 255, 255))
            else:
                raw += bytes(KEY)
    png = b"\x89PNG\r\n\x1a\n"
    png += png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
    png += png_chunk(b"tRNS", struct.pack(">HHH", *KEY))
    png += png_chunk(b"IDAT", zlib.compress(raw, 9))
    png += png_chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


if __name__ == "__main__":
    write_bmp4(os.path.join(HERE, "bg_norm.bmp"), window_pixels(with_target=True))
    write_bmp4(os.path.join(HERE, "bg_empty.bmp"), window_pixels(with_target=False))
    write_cursor_png(os.path.join(HERE, "cursor.png"))
