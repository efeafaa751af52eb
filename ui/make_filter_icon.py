#!/usr/bin/env python3
"""Draws the filter's icon (ui/filter.ico): three stacked layers, a dark
background card, a video frame and a round overlay image, at 32 x 32 and
16 x 16, as 32-bit images with an alpha channel and a matching AND mask.
Run it again after changing the drawing; the .ico is committed."""
import struct
import sys


def blend(dst, src, alpha):
    return tuple(round(d * (1 - alpha) + s * alpha) for d, s in zip(dst, src))


def pixel(x, y):
    """Colour (r, g, b, a) at point (x, y) of the unit square, y downwards."""
    colour, alpha = (0, 0, 0), 0.0
    # Back layer: a dark blue card with rounded corners.
    if 0.04 <= x <= 0.96 and 0.08 <= y <= 0.92:
        corner = 0.12
        cx = min(max(x, 0.04 + corner), 0.96 - corner)
        cy = min(max(y, 0.08 + corner), 0.92 - corner)
        if (x - cx) ** 2 + (y - cy) ** 2 <= corner ** 2:
            colour, alpha = (24, 44, 92), 1.0
    # Middle layer: a video frame, sky over grass.
    if 0.14 <= x <= 0.72 and 0.2 <= y <= 0.66:
        edge = x < 0.18 or x > 0.68 or y < 0.24 or y > 0.62
        if edge:
            colour = (235, 235, 235)
        else:
            colour = (90, 170, 235) if y < 0.48 else (70, 160, 80)
        alpha = 1.0
    # Front layer: an orange disc drawn at 80 % opacity.
    if (x - 0.68) ** 2 + (y - 0.64) ** 2 <= 0.2 ** 2:
        colour = blend(colour, (250, 150, 30), 0.8) if alpha else (250, 150, 30)
        alpha = 1.0
    return colour + (alpha,)


def image(size, samples=4):
    """Bottom-up BGRA rows and the AND mask of one icon image."""
    rows = []
    mask_rows = []
    mask_stride = ((size + 31) // 32) * 4
    for row in range(size - 1, -1, -1):
        line = bytearray()
        bits = 0
        mask = bytearray(mask_stride)
        for col in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    r, g, b, a = pixel((col + (sx + 0.5) / samples) / size, (row + (sy + 0.5) / samples) / size)
                    acc = [acc[0] + r * a, acc[1] + g * a, acc[2] + b * a, acc[3] + a]
            n = samples * samples
            a = acc[3] / n
            if a > 0:
                r, g, b = (round(acc[i] / acc[3]) for i in range(3))
            else:
                r = g = b = 0
            line += bytes((b, g, r, round(a * 255)))
            if a < 0.5:
                mask[col // 8] |= 0x80 >> (col % 8)
        rows.append(bytes(line))
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask_rows)


def main(path):
    images = [(32, image(32)), (16, image(16))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "filter.ico")
