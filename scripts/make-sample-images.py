#!/usr/bin/env python3
"""Writes the sample pictures in tools/samples/: a 24-bit logo on pure green
(the colour-key colour) and an 8-bit greyscale vignette mask."""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "samples")


def write_bmp(path, width, height, bits, pixel, palette=None):
    stride = ((width * bits + 31) // 32) * 4
    rows = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            v = pixel(x, y)
            row += bytes([v]) if bits == 8 else bytes([v & 255, (v >> 8) & 255, (v >> 16) & 255])
        rows += row + bytes(stride - len(row))
    table = b"".join(bytes([b, g, r, 0]) for (r, g, b) in (palette or []))
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(rows), 2835, 2835,
                       len(palette or []), 0)
    with open(path, "wb") as f:
        f.write(header + info + table + rows)


def logo(x, y):
    """0xRRGGBB: a white disc and a red bar on pure green, the key colour."""
    w, h = 220, 80
    colour = 0x00FF00
    if math.hypot(x - h / 2, y - h / 2) < h / 2.2:
        colour = 0xFFFFFF
    if h < x < w - 8 and h / 3 < y < 2 * h / 3:
        colour = 0xE00000
    return colour


def vignette(x, y):
    """Grey level: black in the middle (the picture beneath shows), white at the rim."""
    w, h = 640, 360
    d = math.hypot((x - w / 2) / (w / 2), (y - h / 2) / (h / 2))
    return int(min(255, max(0, (d - 0.55) * 400)))


os.makedirs(HERE, exist_ok=True)
write_bmp(os.path.join(HERE, "logo.bmp"), 220, 80, 24, logo)
write_bmp(os.path.join(HERE, "vignette-mask.bmp"), 640, 360, 8, vignette, [(i, i, i) for i in range(256)])
print("wrote", HERE)
