#!/usr/bin/env python3
"""Draws the grid's row icons (16x16 PNG) with nothing but the standard library.

Run it from this folder after changing a shape or colour; the PNG files are kept in the tree.
"""
import math
import struct
import zlib

SIZE = 16


def png(path, pixels):
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def draw(cover, fill, outline=None):
    """cover(x, y) -> 0..1 inside the shape (4x4 supersampled); edge pixels take the outline."""
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            hits = sum(cover(x + (i + 0.5) / 4, y + (j + 0.5) / 4) for i in range(4) for j in range(4)) / 16
            if hits == 0:
                row.append((0, 0, 0, 0))
                continue
            colour = fill
            if outline and hits < 1:
                colour = outline
            row.append(colour[:3] + (int(255 * hits),))
        rows.append(row)
    return rows


def disc(r):
    return lambda x, y: math.hypot(x - 8, y - 8) <= r


def ring(r, w):
    return lambda x, y: r - w <= math.hypot(x - 8, y - 8) <= r


def arrow(x, y):
    # A right-pointing arrow: a shaft and a head.
    shaft = 2 <= x <= 9 and 6 <= y <= 10
    head = 8 <= x <= 14.5 and abs(y - 8) <= (14.5 - x) * 0.9
    return shaft or head


def square(x, y):
    return 3 <= x <= 13 and 3 <= y <= 13


def triangle(x, y):
    return 2 <= y <= 14 and abs(x - 8) <= (y - 2) * 0.55


GREEN = (40, 160, 60)
GREY = (150, 150, 150)
BLUE = (40, 100, 200)
RED = (210, 50, 40)
DARK = (60, 60, 60)

png("state_on.png", draw(disc(6.5), GREEN, (20, 110, 40)))
png("state_off.png", draw(ring(6.5, 2.0), GREY))
png("send_enabled.png", draw(arrow, BLUE))
png("send_disabled.png", draw(arrow, GREY))
png("text_close.png", draw(square, DARK))
png("text_normal.png", draw(disc(5.5), GREEN))
png("text_exceed.png", draw(triangle, RED))
