#!/usr/bin/env python3
"""Writes a still test picture as a binary PGM: a black disc, a grey ramp and white elsewhere,
so that the overlay holds full shadow, every grey level and pure background.

    make_pattern_archive.py OUT.pgm WIDTH HEIGHT
"""
import sys


def main():
    out, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rows = bytearray()
    for y in range(height):
        for x in range(width):
            dx, dy = x - width * 0.3, y - height * 0.5
            if dx * dx + dy * dy < (height * 0.3) ** 2:
                v = 0
            elif x > width * 0.6 and height * 0.2 < y < height * 0.8:
                v = int(255 * (x - width * 0.6) / (width * 0.4))
            else:
                v = 255
            rows.append(max(0, min(255, v)))
    with open(out, "wb") as f:
        f.write(b"P5\n%d %d\n255\n" % (width, height))
        f.write(rows)


if __name__ == "__main__":
    main()
