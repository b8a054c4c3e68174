#!/usr/bin/env python3
"""Writes the program's icon: 16x16, 32x32 and 48x48 images in 16 colours.

The picture is an app tile (rounded square) holding a ring and an arrow pointing down into
it: a web page becoming an app. Drawn from geometry, so every size is sharp.
Usage: make-icon.py OUTPUT.ico
"""
import struct
import sys

# The 16-colour palette, (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, TEAL, BLUE, WHITE, YELLOW = 4, 6, 12, 15, 11
TRANSPARENT = None


def pixel(n, x, y):
    """Colour index at pixel (x, y) of an n x n image, or TRANSPARENT."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    margin, radius = 0.04, 0.2
    # Rounded tile.
    cx = min(max(u, margin + radius), 1 - margin - radius)
    cy = min(max(v, margin + radius), 1 - margin - radius)
    d = ((u - cx) ** 2 + (v - cy) ** 2) ** 0.5
    if u < margin or u > 1 - margin or v < margin or v > 1 - margin or d > radius:
        return TRANSPARENT
    edge = 1.0 / n
    if d > radius - edge or u < margin + edge or u > 1 - margin - edge \
            or v < margin + edge or v > 1 - margin - edge:
        return NAVY
    # Ring in the lower middle.
    r = ((u - 0.5) ** 2 + (v - 0.58) ** 2) ** 0.5
    if 0.17 <= r <= 0.29:
        return WHITE
    # Arrow from the top into the ring.
    if abs(u - 0.5) <= 0.06 and 0.14 <= v <= 0.44:
        return YELLOW
    if 0.36 <= v <= 0.5 and abs(u - 0.5) <= (0.5 - v) * 1.1:
        return YELLOW
    return TEAL if v < 0.17 else BLUE


def image(n):
    rows = [[pixel(n, x, y) for x in range(n)] for y in range(n)]
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor_stride = ((n * 4 + 31) // 32) * 4
    and_stride = ((n + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(rows):  # bottom row first
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            index = 0 if c is TRANSPARENT else c
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if c is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def main(path):
    sizes = [16, 32, 48]
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
