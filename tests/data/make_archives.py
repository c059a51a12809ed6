#!/usr/bin/env python3
"""Writes the named test archives under tests/data/archives and their expected outcomes.

Run it again after changing a case; the files are committed so the tests need no generator.
expected.txt lists every archive under tests/, by its path from tests/:
PATH <tab> open-fails | opens <tab> FRAMES <tab> BAD, where BAD lists "frame:reason text" for
every frame that must fail, or "none". The fuzzer's seed archives (written by vektool demo) are
listed as wholly good.
"""

import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "native"))
from write_archive import archive_of, lay_out, pattern, zlib_stream  # noqa: E402

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "archives")
TESTS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SEEDS = os.path.join(TESTS, "fuzz", "corpus")


def cases():
    w, h = 8, 6
    pic = [pattern(w, h, s) for s in range(4)]
    good = [zlib_stream(p) for p in pic]
    size0 = len(good[0])
    bad_adler = good[1][:-1] + bytes([good[1][-1] ^ 0x01])
    bad_header = bytes([good[0][0], good[0][1] ^ 0x01]) + good[0][2:]

    # The example from the format description: two 4x3 frames.
    example = archive_of(4, 3, [zlib_stream(bytes(range(12))), zlib_stream(bytes(12))])
    # Entries sharing bytes, stored in reverse order with gaps.
    data = b"\xa5" * 5 + good[1] + b"\x00" * 9 + good[0]
    shared = lay_out(w, h, [(5 + len(good[1]) + 9, size0), (5, len(good[1])),
                            (5 + len(good[1]) + 9, size0)], data, reserved=0xDEADBEEF)
    # Decodes to three rows of six: the top rows stay 0.
    short = archive_of(w, h, [zlib_stream(b"\x40" * (w * 3))])
    trailing = archive_of(w, h, [good[2] + b"trailing bytes"])

    yield "good-example-4x3.vek", example, "opens", 2, []
    yield "good-shared-reversed-gaps.vek", shared, "opens", 3, []
    yield "good-short-stream.vek", short, "opens", 1, []
    yield "good-trailing-bytes.vek", trailing, "opens", 1, []
    yield "no-frames.vek", archive_of(w, h, []), "opens", 0, []
    yield "empty-file.vek", b"", "open-fails", 0, []
    yield "header-cut-short.vek", struct.pack("<2I", 640, 480) + b"\x01\x00", "open-fails", 0, []
    yield ("index-beyond-file.vek", lay_out(w, h, [(0, size0)], good[0], frame_count=0x10000000),
           "open-fails", 0, [])
    yield "index-cut-short.vek", archive_of(w, h, good[:3])[:16 + 20], "open-fails", 0, []
    yield ("frame-count-too-large.vek", lay_out(w, h, [], b"", frame_count=0xFFFFFFFF),
           "open-fails", 0, [])
    yield ("wrapped-frame-size.vek", archive_of(65536, 65536, [good[0]]), "opens", 1,
           [(0, "does not fit in 32 bits")])
    yield ("wrapped-frame-size-odd.vek", archive_of(65537, 65537, [good[0]]), "opens", 1,
           [(0, "does not fit in 32 bits")])
    yield "zero-width.vek", archive_of(0, h, [good[0]]), "opens", 1, [(0, "width or height is 0")]
    yield ("stream-beyond-end.vek", archive_of(w, h, good[:2])[:-4], "opens", 2,
           [(1, "beyond end of file")])
    # 16 + 8 + 0xFFFFFFE8 wraps a 32-bit sum to 0, where the header lies.
    yield ("stream-start-wraps.vek", lay_out(w, h, [(0xFFFFFFE8, size0)], good[0]), "opens", 1,
           [(0, "beyond 2 GiB")])
    yield ("stream-start-beyond-2gib.vek", lay_out(w, h, [(0, size0), (0x7FFFFFF0, size0)],
                                                   good[0]), "opens", 2, [(1, "beyond 2 GiB")])
    yield ("packed-size-zero.vek", lay_out(w, h, [(0, 0)], good[0]), "opens", 1,
           [(0, "packed size 0")])
    yield ("packed-size-huge.vek", lay_out(w, h, [(0, 0xFFFFFFFF)], good[0]), "opens", 1,
           [(0, "beyond end of file")])
    yield ("bad-adler.vek", archive_of(w, h, [good[0], bad_adler, good[2]]), "opens", 3,
           [(1, "Adler-32")])
    yield ("stream-too-long.vek", archive_of(w, h, [zlib_stream(pattern(w, h + 1, 1))]), "opens",
           1, [(0, "too long")])
    yield ("stream-cut-short.vek", archive_of(w, h, [good[0][:-6], good[1][:-2]]), "opens", 2,
           [(0, "cut short"), (1, "cut short")])
    yield ("gzip-wrapper.vek", archive_of(w, h, [zlib_stream(pic[0], wbits=31)]), "opens", 1,
           [(0, "wrong zlib header")])
    yield ("raw-deflate.vek", archive_of(w, h, [zlib_stream(pic[0], wbits=-15)]), "opens", 1,
           [(0, "")])
    yield ("preset-dictionary.vek", archive_of(w, h, [zlib_stream(pic[0], zdict=b"shadow" * 8)]),
           "opens", 1, [(0, "preset dictionary")])
    yield "bad-zlib-header.vek", archive_of(w, h, [bad_header]), "opens", 1, [(0, "wrong zlib header")]


def main():
    os.makedirs(HERE, exist_ok=True)
    lines = []
    for name, content, outcome, frames, bad in cases():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(content)
        bad_text = ";".join("%d:%s" % (n, reason) for n, reason in bad) or "none"
        lines.append("\t".join(["data/archives/" + name, outcome, str(frames), bad_text]))
    for name in sorted(os.listdir(SEEDS)):
        with open(os.path.join(SEEDS, name), "rb") as f:
            frames = struct.unpack("<3I", f.read(12))[2]
        lines.append("\t".join(["fuzz/corpus/" + name, "opens", str(frames), "none"]))
    with open(os.path.join(HERE, "expected.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")
    print("wrote %d archives to %s" % (len(lines), HERE))


if __name__ == "__main__":
    main()
