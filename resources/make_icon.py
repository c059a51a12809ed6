#!/usr/bin/env python3
"""Writes noctiva.ico: a crescent moon casting a shadow, at 16x16 and 32x32, 16 colours; or the
same drawing at any size as a PNG file, for the Linux desktop's icon theme.

Run from anywhere: python3 make_icon.py OUTPUT.ico
                   python3 make_icon.py --png SIZE OUTPUT.png
"""
import struct
import sys
import zlib

# 16-colour palette (B, G, R, reserved); index 0 is the transparent-looking night blue.
PALETTE = [
    (0x40, 0x20, 0x10), (0xF0, 0xF0, 0xFF), (0x80, 0xD0, 0xF0), (0x00, 0x00, 0x00),
    (0x60, 0x40, 0x30), (0x90, 0x70, 0x50), (0xFF, 0xFF, 0xFF), (0x50, 0x50, 0x50),
] + [(0, 0, 0)] * 8


def pixel(x, y, size):
    """Palette index of the pixel at (x, y), origin top-left, in a size x size image."""
    s = size / 32.0
    cx, cy = (x + 0.5) / s, (y + 0.5) / s
    moon = (cx - 16) ** 2 + (cy - 13) ** 2 <= 10.5 ** 2
    bite = (cx - 21) ** 2 + (cy - 9) ** 2 <= 9 ** 2
    shadow = (cx - 18) ** 2 / 4.0 + (cy - 27) ** 2 <= 3.2 ** 2
    if moon and not bite:
        return 1 if (cx - 11) ** 2 + (cy - 11) ** 2 > 40 else 2
    if shadow:
        return 3
    if (cx * 7 + cy * 13) % 29 < 0.9 and cy < 20:
        return 6  # a few stars
    return 0 if cy < 22 else 4


def image(size):
    rows = []
    for y in reversed(range(size)):  # bottom-up rows
        row = bytearray()
        for x in range(0, size, 2):
            row.append(pixel(x, y, size) << 4 | pixel(x + 1, y, size))
        while len(row) % 4:
            row.append(0)
        rows.append(bytes(row))
    xor = b"".join(rows)
    and_stride = ((size + 31) // 32) * 4
    mask = bytes(and_stride * size)  # every pixel opaque
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0,
                         16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for b, g, r in PALETTE)
    return header + palette + xor + mask


def png(size):
    """The drawing as an 8-bit RGB PNG file, its bytes the same on every run."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = bytearray()
    for y in range(size):
        rows.append(0)  # no filter
        for x in range(size):
            b, g, r = PALETTE[pixel(x, y, size)]
            rows += bytes((r, g, b))
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--png":
        with open(sys.argv[3], "wb") as f:
            f.write(png(int(sys.argv[2])))
        return
    images = [image(16), image(32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
