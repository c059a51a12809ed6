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
import threading
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from write_archive import (animated_gif, archive_of, flip_rows, gif, lay_out,  # noqa: E402
                           pattern, pgm, png, y4m, zlib_stream)

VEKTOOL = DATA = DEMO = None


def run(*args, stdin=None, env=None, cwd=None, timeout=120):
    """env: variables that replace the inherited ones of those names."""
    runner = os.environ.get("NOCTIVA_VEKTOOL_RUNNER", "").split()
    result = subprocess.run(runner + [VEKTOOL] + [str(a) for a in args], input=stdin,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout,
                            env=dict(os.environ, **(env or {})), cwd=cwd)
    return result.returncode, result.stdout, result.stderr.decode("utf-8", "replace")


def run_unreadable_video_under_wine(*args, attempts=3):
    """Workaround for Wine 8's GStreamer parser: on a file it cannot read, about one run in 100
    on a busy machine never returns from MFCreateSourceReaderFromURL (its parser waits for
    pads the demuxer never adds), before vektool has done anything of its own. Such a run is
    ended and repeated, and said so on stderr; a vektool that hangs every time still fails."""
    for attempt in range(1, attempts + 1):
        try:
            return run(*args, timeout=30)
        except subprocess.TimeoutExpired:
            print("\nvektool_cli_test: %s hung in Wine's media parser (attempt %d of %d)"
                  % (args, attempt, attempts), file=sys.stderr)
    raise AssertionError("vektool.exe hung %d times on %s" % (attempts, args))


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


def limited_to_full(plane):
    """Limited-range luma (16 black, 235 white) stretched to 0-255, rounded and clamped."""
    return bytes(min(255, max(0, ((y - 16) * 510 + 219) // 438)) for y in plane)


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


class Packing(Scratch):
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


class Pack(Packing):
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

    def test_png_colour_turns_to_luma_over_white(self):
        width, height = 6, 4
        rng = random.Random(2)
        for channels in (1, 2, 3, 4):
            with self.subTest(channels=channels):
                data = bytes(rng.randrange(256) for _ in range(width * height * channels))
                path = self.file("p.png", png(width, height, data, channels))
                archive, code, err = self.pack(path)
                self.assertEqual(code, 0, err)
                px = [data[i:i + channels] for i in range(0, len(data), channels)]
                grey = [p[0] if channels <= 2 else (77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8
                        for p in px]
                alpha = [p[-1] if channels in (2, 4) else 255 for p in px]
                # Transparent parts show as on a white page: no shadow.
                expected = bytes((g * a + 255 * (255 - a) + 127) // 255
                                 for g, a in zip(grey, alpha))
                self.assertEqual(self.frames_of(archive), [(width, height, expected)])

    def test_yuv4mpeg2_on_standard_input(self):
        width, height = 7, 5  # odd sizes: chroma planes round up
        planes = [pattern(width, height, s) for s in range(4)]
        for colour_space, extra, stretched in [("mono", "", False), ("420jpeg", "", True),
                                               ("444", " XCOLORRANGE=FULL", False)]:
            with self.subTest(colour_space=colour_space, extra=extra):
                archive, code, err = self.pack(
                    "-", stdin=y4m(width, height, planes, colour_space, extra=extra))
                self.assertEqual(code, 0, err)
                expected = [limited_to_full(p) if stretched else p for p in planes]
                self.assertEqual(self.frames_of(archive), [(width, height, p) for p in expected])

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
            ([good, text], "ffmpeg"),
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


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def over_grey(bgra):
    """Premultiplied B G R A pixels over the mid-grey desktop, as grey bytes."""
    return bytes(min(255, bgra[i] + (128 * (255 - bgra[i + 3]) + 127) // 255)
                 for i in range(0, len(bgra), 4))


def under_runner():
    return bool(os.environ.get("NOCTIVA_VEKTOOL_RUNNER"))


def ffmpeg(*args):
    """Runs the real ffmpeg quietly; its standard output."""
    result = subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"] +
                            [str(a) for a in args], stdout=subprocess.PIPE, timeout=60,
                            check=True)
    return result.stdout


def needs_ffmpeg(test):
    """vektool.exe under Wine finds no ffmpeg: videos are tested with the native vektool."""
    return unittest.skipIf(under_runner() or not shutil.which("ffmpeg"),
                           "videos need the native vektool and ffmpeg")(test)


class Media(Packing):
    """Videos, GIFs and streams of other rates become frames of the player's 30 per second."""

    clips = None  # ffmpeg's test pattern, made once for the class

    @classmethod
    def setUpClass(cls):
        if under_runner() or not shutil.which("ffmpeg"):
            return
        cls.clips = tempfile.mkdtemp(prefix="vektool-clips-")
        for name, size, rate, seconds in [("clip.mp4", "64x48", 24, 1), ("anim.gif", "64x48", 10, 1),
                                          ("wide.mp4", "700x100", 30, 0.1),
                                          ("wide.gif", "700x100", 10, 0.1)]:
            ffmpeg("-f", "lavfi", "-i",
                   "testsrc2=size=%s:rate=%d:duration=%g" % (size, rate, seconds),
                   os.path.join(cls.clips, name))

    @classmethod
    def tearDownClass(cls):
        if cls.clips:
            shutil.rmtree(cls.clips, ignore_errors=True)

    def info(self, archive):
        return parse_info(run("info", archive)[1])

    def clip(self, name):
        return os.path.join(self.clips, name)

    @needs_ffmpeg
    def test_video_at_24_fps_gives_30_frames_a_second_as_ffmpeg_decodes_them(self):
        clip = self.clip("clip.mp4")
        archive, code, err = self.pack(clip)
        self.assertEqual(code, 0, err)
        self.assertIn("64x48, 30 frames", err)
        self.assertIn("MB per minute", err)
        grey = ffmpeg("-i", clip, "-vf", "fps=30,format=gray", "-f", "rawvideo", "-")
        frames = self.frames_of(archive)
        self.assertEqual(len(frames), 30)
        for n, (width, height, pixels) in enumerate(frames):
            self.assertEqual((width, height), (64, 48))
            self.assertEqual(pixels, grey[n * 64 * 48:(n + 1) * 64 * 48], "frame %d" % n)

    @needs_ffmpeg
    def test_video_levels_follow_the_clips_range_whatever_ffmpegs_version(self):
        w, h, frames = 32, 24, 6
        for pix_fmt, full_range in [("yuv420p", False), ("yuvj420p", True)]:
            with self.subTest(pix_fmt=pix_fmt):
                clip = self.file("range-%s.mp4" % pix_fmt)
                ffmpeg("-f", "lavfi", "-i", "testsrc2=size=%dx%d:rate=30:duration=0.2" % (w, h),
                       "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", pix_fmt, clip)
                stored = ffmpeg("-i", clip, "-c:v", "rawvideo", "-f", "rawvideo", "-")
                archive, code, err = self.pack(clip)
                self.assertEqual(code, 0, err)
                packed = self.frames_of(archive)
                self.assertEqual(len(packed), frames)
                for n, (_, _, pixels) in enumerate(packed):
                    luma = stored[n * w * h * 3 // 2:][:w * h]
                    expected = luma if full_range else limited_to_full(luma)
                    worst = max(abs(a - b) for a, b in zip(pixels, expected))
                    self.assertLessEqual(worst, 1, "frame %d" % n)

    @needs_ffmpeg
    def test_gif_at_10_fps_repeats_each_frame_through_one_stream(self):
        gif = self.clip("anim.gif")
        archive, code, err = self.pack(gif)
        self.assertEqual(code, 0, err)
        info = self.info(archive)
        self.assertEqual((info["frames"], info["shared streams"]), ("30", "20"))
        frames = [f[2] for f in self.frames_of(archive)]
        for n in range(10):
            self.assertEqual(frames[3 * n], frames[3 * n + 1], "frame %d" % n)
            self.assertEqual(frames[3 * n], frames[3 * n + 2], "frame %d" % n)
            if n:
                self.assertNotEqual(frames[3 * n], frames[3 * n - 1], "frame %d" % n)

    def test_gif_delays_add_up_on_cumulative_time(self):
        # Delays of 5, 0 (shown as 100 ms) and 4 hundredths: 1.5 + 3 + 1.2 player frames, which
        # cumulative time turns into 2 + 3 + 1 (ends at 5.7 frames: 6 frames started).
        pictures = [bytes([v]) * 12 for v in (0, 128, 255)]
        path = self.file("steps.gif", gif(4, 3, pictures, [5, 0, 4]))
        archive, code, err = self.pack(path)
        self.assertEqual(code, 0, err)
        frames = [f[2] for f in self.frames_of(archive)]
        self.assertEqual(frames, [pictures[0]] * 2 + [pictures[1]] * 3 + [pictures[2]])

    def test_limited_range_stream_stretches_black_and_white_to_the_ends(self):
        values = bytes([0, 15, 16, 17, 126, 127, 234, 235, 236, 255])
        expected = bytes([0, 0, 0, 1, 128, 129, 254, 255, 255, 255])
        path = self.file("levels.y4m", y4m(5, 2, [values], colour_space="420"))
        archive, code, err = self.pack(path)
        self.assertEqual(code, 0, err)
        self.assertEqual(self.frames_of(archive), [(5, 2, expected)])

    def test_invert_and_threshold(self):
        values = bytes([0, 1, 99, 100, 101, 254, 255, 128])
        path = self.file("p.pgm", pgm(4, 2, values))
        cases = [
            ([], values),
            (["--invert"], bytes(255 - v for v in values)),
            (["--threshold", "100"], bytes(0 if v < 100 else 255 for v in values)),
            (["--threshold", "100", "--invert"], bytes(255 if v < 100 else 0 for v in values)),
        ]
        for options, expected in cases:
            with self.subTest(options=options):
                archive, code, err = self.pack(*options, path)
                self.assertEqual(code, 0, err)
                self.assertEqual(self.frames_of(archive), [(4, 2, expected)])

    def test_pictures_follow_fps(self):
        paths = [self.file("p%d.pgm" % n, pgm(2, 2, bytes([n * 50]) * 4)) for n in range(4)]
        for fps, shown in [(30, [0, 1, 2, 3]), (15, [0, 0, 1, 1, 2, 2, 3, 3]), (60, [0, 2])]:
            with self.subTest(fps=fps):
                archive, code, err = self.pack("--fps", fps, *paths)
                self.assertEqual(code, 0, err)
                self.assertEqual([f[2][0] for f in self.frames_of(archive)],
                                 [n * 50 for n in shown])

    @needs_ffmpeg
    def test_any_number_of_jobs_writes_the_same_bytes(self):
        clip = self.clip("clip.mp4")
        outputs = []
        for jobs in (1, 4):
            archive = self.file("jobs%d.vek" % jobs)
            code, _, err = run("pack", "-o", archive, "--jobs", jobs, clip)
            self.assertEqual(code, 0, err)
            with open(archive, "rb") as f:
                outputs.append(f.read())
        self.assertEqual(self.info(self.file("jobs1.vek"))["frames"], "30")
        self.assertEqual(outputs[0], outputs[1])

    @needs_ffmpeg
    def test_large_videos_and_gifs_fit_640x480_unless_told(self):
        video, gif_path = self.clip("wide.mp4"), self.clip("wide.gif")
        picture = self.file("wide.pgm", pgm(700, 100, bytes(70000)))
        cases = [
            ([video], "640x92"), ([gif_path], "640x92"), ([picture], "700x100"),
            (["--size", "source", video], "700x100"), (["--size", "source", gif_path], "700x100"),
            (["--size", "32x16", video], "32x16"), (["--size", "32x16", gif_path], "32x16"),
            (["--size", "32x16", picture], "32x16"),
        ]
        for args, size in cases:
            with self.subTest(args=[os.path.basename(a) for a in args]):
                archive, code, err = self.pack(*args)
                self.assertEqual(code, 0, err)
                info = self.info(archive)
                self.assertEqual("%sx%s" % (info["width"], info["height"]), size)
                self.assertIn(": %s, " % size, err)

    def test_no_ffmpeg_on_path_is_one_clear_line(self):
        empty = tempfile.mkdtemp(prefix="no-ffmpeg-", dir=self.dir)
        clip = self.file("clip.mp4", b"\x00\x00\x00\x18ftypmp42")
        old = self.file("out.vek", b"previous archive")
        demo = self.file("demo.vek")
        self.assertEqual(run("demo", "-o", demo, "--size", "16x12", "--frames", "2")[0], 0)
        for args in (["pack", "-o", old, clip], ["preview", demo, "-o", self.file("p.mp4")]):
            with self.subTest(command=args[0]):
                # Wine finds programs on a PATH of its own, which holds no ffmpeg.
                if under_runner() and args[0] == "pack":
                    code, _, err = run_unreadable_video_under_wine(*args)
                else:
                    code, _, err = run(*args, env=None if under_runner() else {"PATH": empty})
                self.assertEqual(code, 1, err)
                self.assert_one_error_line(err)
                if under_runner() and args[0] == "pack":
                    # vektool.exe reads videos through Media Foundation without ffmpeg.
                    self.assertIn("Media Foundation cannot read", err)
                else:
                    self.assertIn("ffmpeg is not on PATH", err)
                # Each platform's way to get ffmpeg.
                if under_runner():
                    self.assertIn("ffmpeg.exe", err)
                    self.assertNotIn("apt-get", err)
                else:
                    self.assertIn("install", err)
        with open(old, "rb") as f:
            self.assertEqual(f.read(), b"previous archive")

    def test_inputs_without_frames_or_unreadable_are_one_line(self):
        no_frames_gif = b"GIF89a\x04\x00\x03\x00\x00\x00\x00\x3b"
        cut_gif = gif(4, 3, [bytes(12)], [10])[:20]
        cases = [
            (self.file("empty.gif", no_frames_gif), "no frames"),
            (self.file("cut.gif", cut_gif), "cut.gif"),
            (self.file("empty.y4m", b"YUV4MPEG2 W4 H3 F30:1 Cmono\n"), "no frames"),
            (self.file("rate.y4m", b"YUV4MPEG2 W4 H3 F30:0 Cmono\n"), "frame rate"),
        ]
        if not under_runner() and shutil.which("ffmpeg"):
            cases += [
                (self.file("junk.mp4", b"\x00\x00\x00\x18ftypmp42" + bytes(100)), "ffmpeg"),
                (self.file("cut.mp4", read_file(self.clip("clip.mp4"))[:2000]), "ffmpeg"),
            ]
            sound = self.file("sound.wav")
            ffmpeg("-f", "lavfi", "-i", "anullsrc=d=0.1", sound)
            cases.append((sound, "holds no video stream"))
        for path, message in cases:
            with self.subTest(input=os.path.basename(path)):
                archive = self.file("out.vek", b"previous archive")
                before = sorted(os.listdir(self.dir))
                code, _, err = run("pack", "-o", archive, path)
                self.assertEqual(code, 1, err)
                self.assert_one_error_line(err)
                self.assertIn(message, err)
                with open(archive, "rb") as f:
                    self.assertEqual(f.read(), b"previous archive")
                self.assertEqual(sorted(os.listdir(self.dir)), before)


def needs_magick(test):
    return unittest.skipIf(not shutil.which("convert"), "needs ImageMagick")(test)


def feed_fifo(path, data):
    """Writes data into the FIFO at path from a thread, as another program would."""
    def write():
        with open(path, "wb") as f:
            f.write(data)
    thread = threading.Thread(target=write, daemon=True)
    thread.start()
    return thread


class FilesFromTheWild(Packing):
    """GIFs and PNGs as browsers show them on a white page, inputs read once, hostile files."""

    def gif_frames(self, data):
        """The pictures of a GIF whose every frame lasts 100 ms: every third player frame."""
        archive, code, err = self.pack(self.file("in.gif", data))
        self.assertEqual(code, 0, err)
        return [f[2] for f in self.frames_of(archive)][::3]

    def test_gif_disposal_transparency_and_graphic_control_scope(self):
        base = bytes(range(10, 90, 10))  # 4 x 2
        patch = dict(pixels=bytes([200]) * 4, rect=(1, 0, 2, 2))
        dot = dict(pixels=b"\x05", rect=(0, 0, 1, 1))
        white = 255
        cases = [
            ("kept (0)", [dict(pixels=base), dict(patch, disposal=0), dot],
             bytes([5, 200, 200, 40, 50, 200, 200, 80])),
            ("kept (1)", [dict(pixels=base), dict(patch, disposal=1), dot],
             bytes([5, 200, 200, 40, 50, 200, 200, 80])),
            ("to background (2)", [dict(pixels=base), dict(patch, disposal=2), dot],
             bytes([5, white, white, 40, 50, white, white, 80])),
            ("to previous (3)", [dict(pixels=base), dict(patch, disposal=3), dot], bytes([5]) + base[1:]),
            ("first frame to previous", [dict(pixels=base, disposal=3), dot],
             bytes([5] + [white] * 7)),
            ("transparent index draws nothing",
             [dict(pixels=base), dict(pixels=bytes([200, 7, 200, 7, 200, 7, 200, 7]), transparent=200)],
             bytes([10, 7, 30, 7, 50, 7, 70, 7])),
            ("transparency ends with its picture",
             [dict(pixels=base), dict(pixels=bytes([200]) * 8, transparent=200),
              dict(pixels=bytes([200]) * 8, control=False)], bytes([200]) * 8),
            ("undrawn canvas is white, not the background colour",
             [dict(pixels=bytes([0, 0]), rect=(1, 1, 2, 1))],
             bytes([white] * 5 + [0, 0, white])),
        ]
        for name, frames, last in cases:
            with self.subTest(name):
                shown = self.gif_frames(animated_gif(4, 2, frames, background=9))
                self.assertEqual(len(shown), len(frames))
                self.assertEqual(shown[-1], last, [list(f) for f in shown])

    def test_gif_delays_of_ten_ms_or_less_play_as_100_ms(self):
        picture = bytes(12)
        for delay, frames in [(0, 30), (1, 30), (2, 6), (10, 30)]:
            with self.subTest(hundredths=delay):
                data = animated_gif(4, 3, [dict(pixels=picture, delay=delay)] * 10)
                archive, code, err = self.pack(self.file("d.gif", data))
                self.assertEqual(code, 0, err)
                self.assertEqual(parse_info(run("info", archive)[1])["frames"], str(frames))

    def test_gif_cut_short_shows_what_arrived(self):
        frames = [dict(pixels=bytes([v]) * 12) for v in (0, 99)]
        whole = animated_gif(4, 3, frames, trailer=False)
        for cut, shown in [(whole, 2), (whole + b"\x21\xf9\x04", 2), (whole[:-20], 2)]:
            with self.subTest(length=len(cut)):
                self.assertEqual(len(self.gif_frames(cut)), shown)

    @needs_magick
    def test_transparent_sticker_is_a_dark_figure_on_light(self):
        sticker = self.file("sticker.gif")
        subprocess.run(["convert", "-size", "64x48", "-delay", "10", "-dispose", "Background",
                        "xc:none", "-fill", "black", "-draw", "circle 32,24 32,10", "xc:none",
                        "-fill", "black", "-draw", "circle 30,24 30,10", "-loop", "0", sticker],
                       check=True)
        archive, code, err = self.pack(sticker)
        self.assertEqual(code, 0, err)
        for n, (width, height, pixels) in enumerate(self.frames_of(archive)):
            mean = sum(pixels) / len(pixels)
            self.assertGreater(mean, 150, "frame %d: mean %.1f" % (n, mean))
            self.assertEqual(pixels[0], 255, "frame %d: corner" % n)
            self.assertLess(pixels[24 * width + 31], 30, "frame %d: middle" % n)

    @needs_magick
    def test_disposal_to_previous_matches_imagemagicks_coalesced_frames(self):
        w, h = 32, 24
        frames = [dict(pixels=pattern(w, h, 3)),
                  dict(pixels=bytes([0]) * 120, rect=(4, 6, 12, 10), disposal=3),
                  dict(pixels=bytes([250]) * 60, rect=(10, 10, 10, 6), disposal=1)]
        path = self.file("previous.gif", animated_gif(w, h, frames))
        subprocess.run(["convert", path, "-coalesce", "-background", "white", "-alpha", "remove",
                        "-alpha", "off", "+adjoin", self.file("im-%d.pgm")], check=True)
        ours = self.gif_frames(read_file(path))
        self.assertEqual(len(ours), 3)
        for n, picture in enumerate(ours):
            _, _, theirs = parse_pgm(read_file(self.file("im-%d.pgm" % n)))
            worst = max(abs(a - b) for a, b in zip(picture, theirs))
            self.assertLessEqual(worst, 2, "frame %d differs by %d" % (n, worst))

    def test_regression_files_fail_with_one_line_or_pack(self):
        folder = os.path.join(DATA, "regressions")
        for kind in sorted(os.listdir(folder)):
            for name in sorted(os.listdir(os.path.join(folder, kind))):
                with self.subTest(file=name):
                    archive = self.file("out.vek", b"previous archive")
                    code, _, err = run("pack", "-o", archive, os.path.join(folder, kind, name))
                    self.assertIn(code, (0, 1), err)
                    if code == 1:
                        self.assert_one_error_line(err)
                        self.assertEqual(read_file(archive), b"previous archive")
                    self.assertEqual(os.listdir(self.dir), ["out.vek"])

    def test_double_dash_ends_the_options(self):
        self.file("--invert", pgm(2, 1, b"\x00\x10"))
        code, _, err = run("pack", "-o", "out.vek", "--invert", cwd=self.dir)
        self.assertEqual(code, 2, err)
        code, _, err = run("pack", "-o", "out.vek", "--", "--invert", cwd=self.dir)
        self.assertEqual(code, 0, err)
        self.assertEqual(self.frames_of(self.file("out.vek")), [(2, 1, b"\x00\x10")])

    @unittest.skipIf(under_runner(), "FIFOs are the native tool's")
    def test_pipes_and_fifos_lose_no_bytes(self):
        planes = [pattern(6, 4, s) for s in range(3)]
        inputs = [("GIF", animated_gif(6, 4, [dict(pixels=p) for p in planes]), 9),
                  ("YUV4MPEG2", y4m(6, 4, planes), 3), ("PNG", png(6, 4, planes[0], 1), 1)]
        for kind, data, frames in inputs:
            with self.subTest(kind=kind):
                fifo = self.file("fifo-" + kind)
                os.mkfifo(fifo)
                writer = feed_fifo(fifo, data)
                archive, code, err = self.pack(fifo)
                writer.join(10)
                self.assertEqual(code, 0, err)
                from_fifo = self.frames_of(archive)
                self.assertEqual(len(from_fifo), frames)
                archive, code, err = self.pack("-", stdin=data)
                self.assertEqual(code, 0, err)
                self.assertEqual(self.frames_of(archive), from_fifo)
        if not shutil.which("ffmpeg"):
            return
        clip = self.file("clip.mp4")
        # ffmpeg writes the MP4's index last: reading it needs a seek back.
        ffmpeg("-f", "lavfi", "-i", "testsrc2=size=32x24:rate=30:duration=0.2", clip)
        archive, code, err = self.pack(clip)
        self.assertEqual(code, 0, err)
        from_file = self.frames_of(archive)
        fifo = self.file("fifo-video")
        os.mkfifo(fifo)
        writer = feed_fifo(fifo, read_file(clip))
        archive, code, err = self.pack(fifo)
        writer.join(10)
        self.assertEqual(code, 0, err)
        self.assertEqual(self.frames_of(archive), from_file)
        archive, code, err = self.pack("-", stdin=read_file(clip))
        self.assertEqual(code, 0, err)
        self.assertEqual(self.frames_of(archive), from_file)
        # The copy that ffmpeg read is gone.
        self.assertEqual(sorted(f for f in os.listdir(self.dir) if "tmp" in f), [])

    @needs_ffmpeg
    def test_sound_with_cover_art_has_no_video(self):
        cover = self.file("cover.mp3")
        ffmpeg("-f", "lavfi", "-i", "anullsrc=d=0.3", "-f", "lavfi", "-i",
               "color=red:s=32x32:d=0.04", "-map", "0:a", "-map", "1:v", "-frames:v", "1",
               "-c:a", "libmp3lame", "-c:v", "png", "-disposition:v", "attached_pic", cover)
        archive, code, err = self.pack(cover)
        self.assertEqual(code, 1, err)
        self.assert_one_error_line(err)
        self.assertIn("cover.mp3: holds no video stream", err)


class UnpackAndPreview(Packing):
    def demo(self, frames=6):
        archive = self.file("demo.vek")
        code, _, err = run("demo", "-o", archive, "--size", "48x36", "--frames", frames)
        self.assertEqual(code, 0, err)
        return archive

    def test_unpack_writes_every_frame_as_png_top_row_first(self):
        archive = self.demo()
        folder = os.path.join(self.dir, "frames", "deeper")
        code, _, err = run("unpack", archive, folder)
        self.assertEqual(code, 0, err)
        names = sorted(os.listdir(folder))
        self.assertEqual(names, ["frame-%05d.png" % n for n in range(6)])
        # Packed again, the pictures give back the archive's frames.
        repacked, code, err = self.pack(*[os.path.join(folder, n) for n in names])
        self.assertEqual(code, 0, err)
        self.assertEqual(self.frames_of(repacked), self.frames_of(archive))

    def render_raw(self, archive, n, options):
        raw = self.file("render.raw")
        code, _, err = run("render", archive, n, "-o", raw, "--raw", *options)
        self.assertEqual(code, 0, err)
        return read_file(raw)

    @needs_ffmpeg
    def test_preview_shows_each_frame_as_render_does(self):
        archive = self.demo()
        options = ["--desktop", "64x40+0+0", "--shadow", "200", "--background", "60"]
        for extension in (".mp4", ".gif", ".webm"):
            with self.subTest(extension=extension):
                video = self.file("preview" + extension)
                code, _, err = run("preview", archive, "-o", video, *options)
                self.assertEqual(code, 0, err)
                grey = ffmpeg("-i", video, "-f", "rawvideo", "-pix_fmt", "gray", "-")
                self.assertEqual(len(grey), 6 * 64 * 40)
                for n in (0, 5):
                    expected = over_grey(self.render_raw(archive, n, options))
                    shown = grey[n * 64 * 40:(n + 1) * 64 * 40]
                    mean = sum(abs(a - b) for a, b in zip(shown, expected)) / len(expected)
                    self.assertLess(mean, 4.0, "frame %d of %s" % (n, extension))


class Usage(Scratch):
    def test_usage_errors_exit_2_with_one_line(self):
        archive = os.path.join(DATA, "archives", "good-example-4x3.vek")
        cases = [
            [], ["frobnicate"], ["info"], ["info", archive, "extra"], ["check"],
            ["dump", archive], ["dump", archive, "x"], ["dump", archive, "-1"],
            ["dump", archive, "99999999999"], ["dump", archive, "0", "-o"],
            ["pack", self.file("x.pgm")], ["pack", "-o", "out.vek"],
            ["pack", "-o", "out.vek", "--level", "10", "x.pgm"], ["pack", "--bogus"],
            ["pack", "-o", "out.vek", "--size", "64", "x.pgm"],
            ["pack", "-o", "out.vek", "--size", "0x48", "x.pgm"],
            ["pack", "-o", "out.vek", "--fps", "0", "x.pgm"],
            ["pack", "-o", "out.vek", "--jobs", "0", "x.pgm"],
            ["pack", "-o", "out.vek", "--threshold", "256", "x.pgm"],
            ["pack", "-o", "out.vek", "x.pgm", "--jobs"],
            ["unpack", archive], ["unpack", archive, "dir", "extra"],
            ["preview", archive], ["preview", archive, "-o", "out.avi"],
            ["preview", archive, "-o", "out.mp4", "--mode", "chosen:1"],
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
    VEKTOOL, DATA = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    DEMO = sys.argv[3] if len(sys.argv) > 3 else None
    unittest.main(argv=sys.argv[:1], verbosity=1)
