#!/usr/bin/env python3
"""vektool.exe under Wine with no ffmpeg: videos through Media Foundation, and files dropped
onto it. Clips are made here with the native ffmpeg; the native vektool packs the reference.

usage: vektool_video_test.py VEKTOOL_EXE NATIVE_VEKTOOL
NOCTIVA_VEKTOOL_RUNNER is put before VEKTOOL_EXE (wine).
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from wine_run import archive_frames, ffmpeg, read, run_exe, run_native, windows_path

VEKTOOL = NATIVE = None
CLIP_SIZE = (330, 186)  # a width that Wine's decoder pads to a longer row


def native(*args):
    return run_native(NATIVE, *args)


class WithoutFfmpeg(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="vektool-video-")
        cls.clip = os.path.join(cls.dir, "clip.mp4")
        ffmpeg("-f", "lavfi", "-i", "testsrc2=size=%dx%d:rate=24:duration=2" % CLIP_SIZE,
               "-c:v", "libx264", "-pix_fmt", "yuv420p", cls.clip)
        cls.reference = os.path.join(cls.dir, "native.bin")
        native("pack", "-o", cls.reference, cls.clip)
        cls.packed = os.path.join(cls.dir, "clip.bin")
        cls.pack_result = run_exe(VEKTOOL, "pack", "-o", cls.packed, cls.clip)
        # Proof that vektool.exe finds no ffmpeg here: preview needs it.
        cls.preview_result = run_exe(VEKTOOL, "preview", cls.reference, "-o",
                                     os.path.join(cls.dir, "p.mp4"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def test_h264_clip_packs_through_media_foundation_as_the_native_pack(self):
        self.assertIn("ffmpeg is not on PATH", self.preview_result[2])
        self.assertNotIn("apt-get", self.preview_result[2])
        code, _, err = self.pack_result
        self.assertEqual(code, 0, err)
        size, frames = archive_frames(NATIVE, self.packed)
        reference_size, reference = archive_frames(NATIVE, self.reference)
        self.assertEqual((size, len(frames)), (CLIP_SIZE, 60), err)
        self.assertEqual(reference_size, CLIP_SIZE)
        for n, (ours, theirs) in enumerate(zip(frames, reference)):
            worst = max(abs(a - b) for a, b in zip(ours, theirs))
            self.assertLessEqual(worst, 3, "frame %d differs from the native pack by %d" % (n, worst))

    def test_files_dropped_onto_vektool_exe_become_vek_bin_beside_it(self):
        app = tempfile.mkdtemp(prefix="app-", dir=self.dir)
        exe = shutil.copy(VEKTOOL, app)
        old = read(self.reference)
        with open(os.path.join(app, "vek.bin"), "wb") as f:
            f.write(old)
        # Explorer gives the clip's absolute path as the only argument; the working folder is
        # somewhere else.
        code, _, err = run_exe(exe, windows_path(self.clip), cwd=self.dir)
        self.assertEqual(code, 0, err)
        self.assertEqual(read(os.path.join(app, "vek.bin")), read(self.packed), err)
        kept = [n for n in os.listdir(app) if n not in ("vektool.exe", "vek.bin")]
        self.assertEqual([read(os.path.join(app, n)) for n in kept], [old], kept)
        self.assertIn("previous vek.bin is kept as %s" % kept[0], err)
        self.assertIn("noctiva.exe", err)

        # What Media Foundation cannot read changes nothing in the folder.
        cases = [("junk.mp4", b"\x00\x00\x00\x18ftypmp42" + bytes(100), "Media Foundation cannot"),
                 ("sound.wav", None, "holds no video")]
        for name, content, message in cases:
            with self.subTest(dropped=name):
                path = os.path.join(self.dir, name)
                if content is None:
                    ffmpeg("-f", "lavfi", "-i", "sine=d=0.3", path)
                else:
                    with open(path, "wb") as f:
                        f.write(content)
                before = {n: read(os.path.join(app, n)) for n in os.listdir(app)}
                code, _, err = run_exe(exe, windows_path(path), cwd=self.dir)
                self.assertEqual(code, 1, err)
                self.assertIn(message, err)
                self.assertNotIn("apt-get", err)
                self.assertEqual({n: read(os.path.join(app, n)) for n in os.listdir(app)}, before)


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.2)
    return condition()


@unittest.skipUnless(os.environ.get("DISPLAY") and shutil.which("xdotool"),
                     "needs the virtual desktop of scripts/vdesk.sh")
class InAConsoleOfItsOwn(unittest.TestCase):
    """Started as Explorer starts it, in a console window of its own (wineconsole here)."""

    def start_in_console(self, *args):
        app = tempfile.mkdtemp(prefix="vektool-console-")
        self.addCleanup(shutil.rmtree, app, True)
        exe = shutil.copy(VEKTOOL, app)
        runner = os.environ.get("NOCTIVA_VEKTOOL_RUNNER", "").split()
        process = subprocess.Popen(runner + ["wineconsole", windows_path(exe)] +
                                   [a(app) if callable(a) else a for a in args],
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        return app, process

    def window(self):
        found = subprocess.run(["xdotool", "search", "--name", "vektool.exe"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        return found.stdout.split()[:1]

    def assert_stays_until_a_key(self, process):
        self.assertTrue(wait_for(self.window, 10), "no console window")
        time.sleep(1)
        self.assertIsNone(process.poll(), "the window closed before a key was pressed")
        subprocess.run(["xdotool", "windowfocus", "--sync", self.window()[0]], check=True,
                       timeout=10)
        subprocess.run(["xdotool", "key", "Return"], check=True, timeout=10)
        self.assertTrue(wait_for(lambda: process.poll() is not None, 10),
                        "the window stayed after a key press")

    def test_the_window_stays_until_a_key_is_pressed(self):
        def picture(app):
            path = os.path.join(app, "p.pgm")
            with open(path, "wb") as f:
                f.write(b"P5\n2 2\n255\n" + bytes([10, 20, 30, 40]))
            return windows_path(path)

        app, process = self.start_in_console(picture)
        self.assertTrue(wait_for(lambda: os.path.exists(os.path.join(app, "vek.bin")), 30),
                        "the picture was not packed")
        self.assert_stays_until_a_key(process)

    def test_a_command_line_it_does_not_understand_also_waits(self):
        # A shortcut's argument, or a dropped file that went away: the line must stay readable.
        _, process = self.start_in_console("無い ĉu.mp4")
        self.assert_stays_until_a_key(process)


if __name__ == "__main__":
    VEKTOOL, NATIVE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
