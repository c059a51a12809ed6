#!/usr/bin/env python3
"""vektool's command line, checked against archives and pictures written by write_archive.py.

usage: vektool_cli_test.py VEKTOOL TEST_DATA_DIR [DEMO_ARCHIVE]
NOCTIVA_VEKTOOL_RUNNER, when set, is put before VEKTOOL (wine, for vektool.exe).
"""

import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from write_archive import (archive_of, flip_rows, lay_out, pattern, pgm, png,  # noqa: E402
                           y4m, zlib_stream)

VEKTOOL = DATA = DEMO = None


def run(*args, stdin=None):
    runner = os.environ.get("NOCTIVA_VEKTOOL_RUNNER", "").split()
    result = subprocess.run(runner + [VEKTOOL] + [str(a) for a in args], input=stdin,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    return result.returncode, result.stdout, result.stderr.decode("utf-8", "replace")


def parse_pgm(data):
    fields, at = [], 2
    assert data[:2] == b"P5", data[:20]
    while len(fields) < 3:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(int(data[start:at]))
    width, height, maxval = fields
    assert maxval == 255
    return width, height, data[at + 1:]


def parse_info(text):
    return dict(line.split(": ", 1) for line in text.decode().splitlines())


def read_expectations():
    rows = []
    with open(os.path.join(DATA, "archives", "expected.txt")) as f:
        for line in f.read().splitlines():
            name, outcome, frames, bad = line.split("\t")
            bad_frames = {}
            if bad != "none":
                for item in bad.split(";"):
                    n, reason = item.split(":", 1)
                    bad_frames[int(n)] = reason
            rows.append((name, outcome == "opens", int(frames), bad_frames))
    return rows


class Scratch(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="vektool-test-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def file(self, name, content=None):
        path = os.path.join(self.dir, name)
        if content is not None:
            with open(path, "wb") as f:
                f.write(content)
        return path

    def assert_one_error_line(self, stderr):
        self.assertEqual(stderr.count("\n"), 1, stderr)
        self.assertTrue(stderr.startswith("vektool: "), stderr)


class DumpAndInfo(Scratch):
    def test_dump_turns_bottom_up_frames_into_top_down_pgm(self):
        rng = random.Random(5)
        for width, height, frames in [(1, 1, 1), (4, 3, 2), (37, 11, 3), (480, 360, 2)]:
            with self.subTest(size=(width, height), frames=frames):
                stored = [pattern(width, height, rng.randrange(1000)) for _ in range(frames)]
                levels = [rng.randrange(10) for _ in range(frames)]
                path = self.file("a.vek", archive_of(width, height, [
                    zlib_stream(p, level) for p, level in zip(stored, levels)]))
                for n in reversed(range(frames)):
                    code, out, err = run("dump", path, n)
                    self.assertEqual(code, 0, err)
                    self.assertEqual(parse_pgm(out),
                                     (width, height, flip_rows(stored[n], width, height)))
                out_path = self.file("frame.pgm")
                self.assertEqual(run("dump", path, frames - 1, "-o", out_path)[0], 0)
                with open(out_path, "rb") as f:
                    self.assertEqual(parse_pgm(f.read())[2],
                                     flip_rows(stored[-1], width, height))

    def test_short_stream_leaves_top_rows_black(self):
        width, height = 5, 4
        path = self.file("a.vek", archive_of(width, height, [zlib_stream(b"\xc8" * width)]))
        code, out, err = run("dump", path, 0)
        self.assertEqual(code, 0, err)
        self.assertEqual(parse_pgm(out)[2], bytes(width * (height - 1)) + b"\xc8" * width)

    def test_info_reports_what_the_writer_laid_out(self):
        rng = random.Random(9)
        for frames, shared in [(1, 0), (5, 0), (6, 2)]:
            with self.subTest(frames=frames, shared=shared):
                streams = [zlib_stream(pattern(20, 10, rng.randrange(99)), rng.randrange(10))
                           for _ in range(frames - shared)]
                entries, data = [], b"\x00" * 3
                for s in streams:
                    entries.append((len(data), len(s)))
                    data += s
                entries += entries[:shared]
                path = self.file("a.vek", lay_out(20, 10, entries, data, reserved=7))
                code, out, err = run("info", path)
                self.assertEqual(code, 0, err)
                info = parse_info(out)
                sizes = [size for _, size in entries]
                self.assertEqual(info["width"], "20")
                self.assertEqual(info["height"], "10")
                self.assertEqual(info["frames"], str(frames))
                self.assertEqual(info["data size"], "%d bytes" % len(data))
                self.assertEqual(info["smallest stream"],
                                 "%d bytes (frame %d)" % (min(sizes), sizes.index(min(sizes))))
                self.assertEqual(info["largest stream"],
                                 "%d bytes (frame %d)" % (max(sizes), sizes.index(max(sizes))))
                self.assertEqual(info["shared streams"], str(shared))


class AgreesWithTheReader(Scratch):
    """check and dump give, for every archive under tests/, the outcome the reader's own tests
    expect (expected.txt)."""

    def test_check_and_dump_on_every_test_archive(self):
        for name, opens, frames, bad in read_expectations():
            path = os.path.join(DATA, "..", name)
            with self.subTest(archive=name):
                code, out, err = run("check", path)
                good = opens and frames > 0 and not bad
                self.assertEqual(code, 0 if good else 1, err)
                if not opens:
                    self.assert_one_error_line(err)
                    self.assertEqual(out, b"")
                    self.assertEqual(run("dump", path, 0)[0], 1)
                    continue
                reported = {}
                for line in out.decode().splitlines():
                    if line.startswith("frame "):
                        n, reason = line[len("frame "):].split(": ", 1)
                        reported[int(n)] = reason
                self.assertEqual(sorted(reported), sorted(bad))
                for n, reason in bad.items():
                    self.assertIn(reason, reported[n])
                for n in range(frames + 1):
                    code, out, err = run("dump", path, n)
                    if n in bad or n == frames:
                        self.assertEqual(code, 1, "frame %d" % n)
                        self.assert_one_error_line(err)
                        self.assertIn(bad.get(n, "beyond the last frame"), err)
                    else:
                        self.assertEqual(code, 0, "frame %d: %s" % (n, err))
                        width, height, pixels = parse_pgm(out)
                        self.assertEqual(len(pixels), width * height)


class Pack(Scratch):
    def pack(self, *args, stdin=None):
        archive = self.file("out.vek")
        code, out, err = run("pack", "-o", archive, *args, stdin=stdin)
        return archive, code, err

    def frames_of(self, archive):
        info = parse_info(run("info", archive)[1])
        frames = []
        for n in range(int(info["frames"])):
            code, out, err = run("dump", archive, n)
            self.assertEqual(code, 0, err)
            frames.append(parse_pgm(out))
        return frames

    def test_pgm_files_of_any_maxval(self):
        width, height = 9, 7
        pictures = [pattern(width, height, s) for s in range(3)]
        for maxval in (255, 65535):
            with self.subTest(maxval=maxval):
                paths = [self.file("p%d.pgm" % i, pgm(width, height, p, maxval))
                         for i, p in enumerate(pictures)]
                archive, code, err = self.pack(*paths)
                self.assertEqual(code, 0, err)
                self.assertEqual(self.frames_of(archive),
                                 [(width, height, p) for p in pictures])
        # A small maxval is stretched to 0-255.
        path = self.file("q.pgm", b"P5 2 1 3\n\x00\x03")
        archive, code, err = self.pack(path)
        self.assertEqual(code, 0, err)
        self.assertEqual(self.frames_of(archive)[0][2], b"\x00\xff")

    def test_png_colour_turns_to_luma(self):
        width, height = 6, 4
        rng = random.Random(2)
        for channels in (1, 2, 3, 4):
            with self.subTest(channels=channels):
                data = bytes(rng.randrange(256) for _ in range(width * height * channels))
                path = self.file("p.png", png(width, height, data, channels))
                archive, code, err = self.pack(path)
                self.assertEqual(code, 0, err)
                if channels <= 2:
                    expected = data[::channels]
                else:
                    px = [data[i:i + channels] for i in range(0, len(data), channels)]
                    expected = bytes((77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8 for p in px)
                self.assertEqual(self.frames_of(archive), [(width, height, expected)])

    def test_yuv4mpeg2_on_standard_input(self):
        width, height = 7, 5  # odd sizes: chroma planes round up
        planes = [pattern(width, height, s) for s in range(4)]
        for colour_space in ("mono", "420jpeg", "444"):
            with self.subTest(colour_space=colour_space):
                archive, code, err = self.pack("-", stdin=y4m(width, height, planes, colour_space))
                self.assertEqual(code, 0, err)
                self.assertEqual(self.frames_of(archive), [(width, height, p) for p in planes])

    def test_dedupe_shares_identical_pictures(self):
        a, b = pattern(16, 16, 1), pattern(16, 16, 2)
        sequence = [a, b, a, a, b]
        paths = [self.file("f%d.pgm" % i, pgm(16, 16, p)) for i, p in enumerate(sequence)]
        plain, code, _ = self.pack(*paths)
        plain_size = os.path.getsize(plain)
        shared, code, err = self.pack("--dedupe", *paths)
        self.assertEqual(code, 0, err)
        info = parse_info(run("info", shared)[1])
        self.assertEqual(info["shared streams"], "3")
        self.assertLess(os.path.getsize(shared), plain_size)
        self.assertEqual([f[2] for f in self.frames_of(shared)], sequence)

    def test_levels_trade_size(self):
        path = self.file("p.pgm", pgm(64, 64, pattern(64, 64, 3)))
        sizes = {}
        for level in (0, 9):
            archive, code, err = self.pack("--level", level, path)
            self.assertEqual(code, 0, err)
            sizes[level] = os.path.getsize(archive)
        self.assertGreater(sizes[0], sizes[9])
        self.assertGreater(sizes[0], 64 * 64)

    def test_bad_input_names_it_and_keeps_the_old_archive(self):
        good = self.file("good.pgm", pgm(4, 4, pattern(4, 4, 1)))
        other = self.file("other.pgm", pgm(5, 4, pattern(5, 4, 1)))
        cut = self.file("cut.pgm", pgm(4, 4, pattern(4, 4, 1))[:-3])
        text = self.file("text.txt", b"hello")
        cases = [
            ([good, other], "other.pgm is 5x4"),
            ([good, cut], "cut short"),
            ([good, text], "neither a binary PGM"),
            ([good, self.file("missing.pgm")], "missing.pgm"),
            (["-"], "not a YUV4MPEG2 stream"),
        ]
        for inputs, message in cases:
            with self.subTest(inputs=[os.path.basename(i) for i in inputs]):
                archive = self.file("out.vek", b"previous archive")
                code, out, err = run("pack", "-o", archive, *inputs, stdin=b"")
                self.assertEqual(code, 1)
                self.assert_one_error_line(err)
                self.assertIn(message, err)
                with open(archive, "rb") as f:
                    self.assertEqual(f.read(), b"previous archive")
                self.assertEqual(sorted(os.listdir(self.dir)),
                                 sorted(["good.pgm", "other.pgm", "cut.pgm", "text.txt",
                                         "out.vek"]))


class Usage(Scratch):
    def test_usage_errors_exit_2_with_one_line(self):
        archive = os.path.join(DATA, "archives", "good-example-4x3.vek")
        cases = [
            [], ["frobnicate"], ["info"], ["info", archive, "extra"], ["check"],
            ["dump", archive], ["dump", archive, "x"], ["dump", archive, "-1"],
            ["dump", archive, "99999999999"], ["dump", archive, "0", "-o"],
            ["pack", self.file("x.pgm")], ["pack", "-o", "out.vek"],
            ["pack", "-o", "out.vek", "--level", "10", "x.pgm"], ["pack", "--bogus"],
            ["demo"], ["demo", "-o", "d.vek", "--size", "0x10"],
            ["demo", "-o", "d.vek", "--size", "640"], ["demo", "-o", "d.vek", "--frames", "0"],
        ]
        for args in cases:
            with self.subTest(args=args):
                code, out, err = run(*args)
                self.assertEqual(code, 2, err)
                if args:
                    self.assert_one_error_line(err)
                self.assertEqual(out, b"")

    def test_unreadable_archive_is_one_line_and_status_1(self):
        for command in (["info"], ["check"], ["dump", "0"]):
            with self.subTest(command=command[0]):
                path = self.file("nothing.vek")
                args = [command[0], path] + command[1:]
                code, out, err = run(*args)
                self.assertEqual(code, 1)
                self.assert_one_error_line(err)
                self.assertIn("nothing.vek", err)


class Demo(Scratch):
    def test_small_demo_decodes_and_moves(self):
        archive = self.file("demo.vek")
        code, _, err = run("demo", "-o", archive, "--size", "96x72", "--frames", "30")
        self.assertEqual(code, 0, err)
        info = parse_info(run("info", archive)[1])
        self.assertEqual((info["width"], info["height"], info["frames"]), ("96", "72", "30"))
        self.assertEqual(run("check", archive)[0], 0)
        first = parse_pgm(run("dump", archive, 0)[1])[2]
        later = parse_pgm(run("dump", archive, 15)[1])[2]
        self.assertNotEqual(first, later)

    def test_built_demo_is_long_enough_at_the_player_size(self):
        if not DEMO:
            self.skipTest("no demo archive given")
        info = parse_info(run("info", DEMO)[1])
        self.assertEqual((info["width"], info["height"]), ("480", "360"))
        self.assertGreaterEqual(int(info["frames"]), 300)
        code, out, err = run("check", DEMO)
        self.assertEqual(code, 0, out.decode() + err)
        grey_levels = set(parse_pgm(run("dump", DEMO, 100)[1])[2])
        self.assertGreater(len(grey_levels), 4)


if __name__ == "__main__":
    VEKTOOL, DATA = sys.argv[1], sys.argv[2]
    DEMO = sys.argv[3] if len(sys.argv) > 3 else None
    unittest.main(argv=sys.argv[:1], verbosity=1)
