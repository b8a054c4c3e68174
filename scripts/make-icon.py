#!/usr/bin/env python3
"""Writes the program's icon: 16x16, 32x32 and 48x48 images in 16 colours, and for the sizes
that display scales from 125% to 200% ask for, 20x20, 24x24, 28x28, 40x40, 56x56 and 64x64
images and a 256x256 PNG image, 32-bit with alpha (28 and 56 are the small and large icon at
175%).

The picture is an app tile (rounded square) holding a ring and an arrow pointing down into
it: a web page becoming an app. Drawn from geometry, so every size is sharp; the 32-bit images
are supersampled, their edges smooth against any background.
Usage: make-icon.py OUTPUT.ico
"""
import struct
import sys
import zlib

# The 16-colour palette, (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, TEAL, BLUE, WHITE, YELLOW = 4, 6, 12, 15, 11
TRANSPARENT = None


def pixel(n, x, y, outline=None):
    """Colour index at pixel (x, y) of an n x n image, or TRANSPARENT. The outline is one pixel
    of an `outline`-sized image thick (by default of this one)."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    margin, radius = 0.04, 0.2
    # Rounded tile.
    cx = min(max(u, margin + radius), 1 - margin - radius)
    cy = min(max(v, margin + radius), 1 - margin - radius)
    d = ((u - cx) ** 2 + (v - cy) ** 2) ** 0.5
    if u < margin or u > 1 - margin or v < margin or v > 1 - margin or d > radius:
        return TRANSPARENT
    edge = 1.0 / (outline or n)
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


# Samples per pixel along each axis for the 32-bit images.
SUPERSAMPLE = 4


def rgba_rows(n):
    """Rows of (r, g, b, a) of an n x n image: each pixel the mean of SUPERSAMPLE^2 samples of
    the same geometry, drawn at SUPERSAMPLE times the size."""
    big = n * SUPERSAMPLE
    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            r = g = b = a = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    c = pixel(big, x * SUPERSAMPLE + sx, y * SUPERSAMPLE + sy, n)
                    if c is TRANSPARENT:
                        continue
                    pr, pg, pb = PALETTE[c]
                    r, g, b, a = r + pr, g + pg, b + pb, a + 1
            count = SUPERSAMPLE * SUPERSAMPLE
            # Colour is the mean over the covered samples; alpha is the covered share.
            row.append((r // a, g // a, b // a, 255 * a // count) if a else (0, 0, 0, 0))
        rows.append(row)
    return rows


def image32(n):
    """A 32-bit BGRA icon image with its AND mask (set where fully transparent)."""
    rows = rgba_rows(n)
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    and_stride = ((n + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(rows):  # bottom row first
        bits = bytearray(and_stride)
        for x, (r, g, b, a) in enumerate(row):
            xor += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def png(n):
    """An n x n RGBA PNG image."""
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rgba_rows(n))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + \
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)) + \
        chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main(path):
    # (size, colour count byte, bits per pixel, image)
    entries = [(n, 16, 4, image(n)) for n in (16, 32, 48)]
    entries += [(n, 0, 32, image32(n)) for n in (20, 24, 28, 40, 56, 64)]
    entries.append((256, 0, 32, png(256)))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for n, colours, bits, data in entries:
        side = n if n < 256 else 0  # 0 stands for 256
        out += struct.pack("<BBBBHHII", side, side, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    images = [data for _, _, _, data in entries]
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
