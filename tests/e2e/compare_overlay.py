#!/usr/bin/env python3
"""Compares a screenshot of the desktop with the expected overlay: the premultiplied picture
that the software renderer gives (raw B, G, R, A bytes, top row first) laid over the desktop
colour, pixel by pixel as the compositor blends: out = src + desktop * (255 - alpha) / 255.

    compare_overlay.py SHOT.rgb EXPECTED.raw WIDTH HEIGHT '#RRGGBB' TOLERANCE [shaped]

With "shaped", the overlay is a window shaped to its picture with nothing compositing it: a
pixel of at least half alpha shows the picture's colour as it is, every other one the desktop.

Prints the share of pixels within TOLERANCE on every channel and the worst ones; exits 1 when
fewer than 99.5 % match or when the overlay leaves no trace (every expected pixel transparent).
"""
import sys


def main():
    shot_path, raw_path, width, height, colour, tolerance = sys.argv[1:7]
    shaped = sys.argv[7:8] == ["shaped"]
    width, height, tolerance = int(width), int(height), int(tolerance)
    desktop = (int(colour[1:3], 16), int(colour[3:5], 16), int(colour[5:7], 16))
    shot = open(shot_path, "rb").read()
    raw = open(raw_path, "rb").read()
    if len(shot) != width * height * 3 or len(raw) != width * height * 4:
        print(f"sizes differ: shot {len(shot)} bytes, expected {len(raw)} bytes")
        return 1
    matching = 0
    opaque = 0
    worst = []
    for i in range(width * height):
        b, g, r, a = raw[4 * i], raw[4 * i + 1], raw[4 * i + 2], raw[4 * i + 3]
        if a:
            opaque += 1
        keep = 255 - a
        if shaped:
            keep = 0 if a >= 128 else 255
            r, g, b = (r, g, b) if a >= 128 else (0, 0, 0)
        expected = (r + (desktop[0] * keep + 127) // 255, g + (desktop[1] * keep + 127) // 255,
                    b + (desktop[2] * keep + 127) // 255)
        seen = (shot[3 * i], shot[3 * i + 1], shot[3 * i + 2])
        error = max(abs(e - s) for e, s in zip(expected, seen))
        if error <= tolerance:
            matching += 1
        elif len(worst) < 5:
            worst.append((i % width, i // width, expected, seen, (r, g, b, a)))
    share = matching / (width * height)
    print(f"{matching} of {width * height} pixels within {tolerance} ({100 * share:.2f} %), "
          f"{opaque} not transparent")
    for x, y, expected, seen, source in worst:
        print(f"  at {x},{y}: expected {expected}, seen {seen}, picture ARGB {source}")
    return 0 if share >= 0.995 and opaque > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
