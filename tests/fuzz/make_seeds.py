#!/usr/bin/env python3
"""Writes the small valid seed files of the fuzz targets of pack's readers into
tests/fuzz/seeds/<target>/. The seeds are kept in the repository; run this again only to change
them. ImageMagick, when present, adds files with real LZW and zlib choices of its own."""

import os
import shutil
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "native"))
from write_archive import animated_gif, pattern, pgm, png, y4m  # noqa: E402


def write(target, name, data):
    folder = os.path.join(here, "seeds", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def magick(target, name, *args, prefix=""):
    if not shutil.which("convert"):
        return
    folder = os.path.join(here, "seeds", target)
    os.makedirs(folder, exist_ok=True)
    subprocess.run(["convert", *args, prefix + os.path.join(folder, name)], check=True)


def pictures():
    w, h = 6, 4
    write("picture", "grey.pgm", pgm(w, h, pattern(w, h, 1)))
    write("picture", "deep.pgm", pgm(w, h, pattern(w, h, 2), maxval=1000))
    for channels in (1, 2, 3, 4):
        write("picture", "c%d.png" % channels, png(w, h, pattern(w * channels, h, channels), channels))
    magick("picture", "palette.png", "-size", "7x5", "gradient:red-blue", "-alpha", "set",
           "-channel", "A", "-fx", "i/w", prefix="PNG8:")
    magick("picture", "deep.png", "-size", "5x3", "gradient:", "-depth", "16", prefix="PNG48:")
    magick("picture", "interlaced.png", "-size", "9x9", "pattern:checkerboard", "-interlace",
           "PNG")
    magick("picture", "grey.jpg", "-size", "8x6", "gradient:white-black", "-quality", "60")
    magick("picture", "colour.jpg", "-size", "8x6", "gradient:red-blue")
    magick("picture", "colour.bmp", "-size", "8x6", "gradient:red-blue")
    magick("picture", "colour.tga", "-size", "8x6", "gradient:red-blue")
    magick("picture", "rle.tga", "-size", "8x6", "gradient:white-black", "-compress", "RLE")
    magick("picture", "palette.tga", "-size", "7x5", "gradient:red-blue", "-type", "Palette")


def gifs():
    w, h = 8, 6
    full = lambda s: pattern(w, h, s)  # noqa: E731
    write("gif", "disposals.gif", animated_gif(w, h, [
        dict(pixels=full(1), delay=0),
        dict(pixels=bytes([200]) * 12, rect=(2, 1, 4, 3), disposal=3, transparent=200, delay=1),
        dict(pixels=bytes([9]) * 8, rect=(1, 2, 2, 4), disposal=2, delay=5),
        dict(pixels=bytes([50]) * 6, rect=(5, 0, 3, 2), disposal=1, control=False),
    ], background=3))
    write("gif", "interlaced.gif", animated_gif(w, h, [dict(pixels=full(4), interlaced=True)]))
    write("gif", "no-trailer.gif", animated_gif(w, h, [dict(pixels=full(5))] * 2, trailer=False))
    magick("gif", "magick.gif", "-size", "12x10", "-delay", "3", "-dispose", "Previous",
           "xc:white", "(", "xc:none", "-fill", "black", "-draw", "circle 6,5 6,2", ")",
           "(", "xc:none", "-fill", "gray50", "-draw", "rectangle 1,1 4,8", ")", "-loop", "0")
    magick("gif", "transparent.gif", "-size", "9x7", "-dispose", "Background", "xc:none",
           "(", "xc:none", "-fill", "black", "-draw", "circle 4,3 4,1", ")", "-layers",
           "optimize")


def streams():
    w, h = 5, 3
    planes = [pattern(w, h, s) for s in range(2)]
    write("y4m", "mono.y4m", y4m(w, h, planes))
    write("y4m", "420.y4m", y4m(w, h, planes, "420jpeg", rate="30000:1001"))
    write("y4m", "444-full.y4m", y4m(w, h, planes, "444", rate="24:1", extra=" XCOLORRANGE=FULL"))


if __name__ == "__main__":
    pictures()
    gifs()
    streams()
