#!/usr/bin/env python3
"""vektool.exe under Wine with names beyond any code page: 影絵 🎬 clip.mp4, ĉu ŝi.gif, a folder
Ω 作品. Dropped without ffmpeg (Media Foundation decodes) and with a stand-in ffmpeg.exe beside
vektool.exe that records its arguments; pack, check and unpack; the names as printed to a pipe
and to a console; and a Windows without Media Foundation (Windows N), made by disabling mfplat.

usage: vektool_names_test.py VEKTOOL_EXE FFMPEG_STANDIN_EXE NATIVE_VEKTOOL
NOCTIVA_VEKTOOL_RUNNER is put before the .exe files (wine).
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from wine_run import archive_frames, ffmpeg, read, run_exe, run_native, windows_path, wine_env

VEKTOOL = STANDIN = NATIVE = None
CLIP = "影絵 🎬 clip.mp4"
GIF = "ĉu ŝi.gif"
FOLDER = "Ω 作品"
MISSING_MF = ("Media Foundation is missing (Windows N needs the Media Feature Pack), "
              "or ffmpeg.exe can be put beside vektool.exe")


def native(*args):
    return run_native(NATIVE, *args)


def first_pixels(archive):
    """The first grey value of each frame, through the native vektool."""
    return [frame[0] for frame in archive_frames(NATIVE, archive)[1]]


def picture(path, grey):
    """A 64 x 48 picture of one grey, in the kind its name says."""
    ffmpeg("-f", "lavfi", "-i", "color=c=0x%02x%02x%02x:s=64x48:d=0.04" % (grey, grey, grey),
           "-frames:v", "1", "-pix_fmt", "gray" if path.endswith((".png", ".bmp")) else "yuvj420p",
           path)


class AnyName(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="vektool-names-")
        cls.folder = os.path.join(cls.dir, FOLDER)
        os.makedirs(cls.folder)
        cls.clip = os.path.join(cls.folder, CLIP)
        ffmpeg("-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30:duration=1", "-c:v", "libx264",
               "-pix_fmt", "yuv420p", cls.clip)
        cls.gif = os.path.join(cls.folder, GIF)
        ffmpeg("-f", "lavfi", "-i", "color=c=gray:s=64x48:d=0.2:r=10", cls.gif)
        # Pictures in a folder of their own: name order, not the order of their writing.
        cls.pictures = os.path.join(cls.folder, "絵 ĉu")
        os.makedirs(cls.pictures)
        for name, grey in [("frame 10.jpg", 200), ("frame 2.png", 100), ("frame 1.bmp", 50)]:
            picture(os.path.join(cls.pictures, name), grey)
        with open(os.path.join(cls.pictures, "notes.txt"), "w") as f:
            f.write("not a picture")
        cls.old = os.path.join(cls.dir, "old.bin")
        native("demo", "-o", cls.old, "--size", "32x24", "--frames", "3")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def app(self, with_standin=False):
        """vektool.exe in a folder of its own that holds an archive already."""
        app = tempfile.mkdtemp(prefix="アプリ ", dir=self.dir)
        shutil.copy(VEKTOOL, os.path.join(app, "vektool.exe"))
        if with_standin:
            shutil.copy(STANDIN, os.path.join(app, "ffmpeg.exe"))
        shutil.copy(self.old, os.path.join(app, "vek.bin"))
        return app

    def test_pack_check_and_unpack_take_and_print_any_name(self):
        archive = os.path.join(self.folder, "影絵 🎬.bin")
        code, _, err = run_exe(VEKTOOL, "pack", "-o", windows_path(archive),
                               windows_path(self.gif), windows_path(self.pictures))
        self.assertEqual(code, 0, err)
        # The GIF's two pictures shown three times each, then the folder's three pictures.
        self.assertIn("影絵 🎬.bin: 64x48, 9 frames", err)
        self.assertEqual(first_pixels(archive)[6:], [50, 100, 200])

        code, out, err = run_exe(VEKTOOL, "check", windows_path(archive))
        self.assertEqual(code, 0, err)
        self.assertIn("影絵 🎬.bin: all 9 frames decode (64x48)", out)

        target = os.path.join(self.folder, "出力 ŝi")
        code, _, err = run_exe(VEKTOOL, "unpack", windows_path(archive), windows_path(target))
        self.assertEqual(code, 0, err)
        self.assertIn("9 frames into " + windows_path(target), err)
        self.assertEqual(sorted(os.listdir(target)), ["frame-%05d.png" % n for n in range(9)])

        code, _, err = run_exe(VEKTOOL, "check", windows_path(os.path.join(self.folder, "無い.bin")))
        self.assertEqual(code, 1)
        self.assertIn("無い.bin: not found", err)

    def test_a_drop_without_ffmpeg_reads_the_clip_through_media_foundation(self):
        app = self.app()
        code, _, err = run_exe(os.path.join(app, "vektool.exe"), windows_path(self.clip),
                               windows_path(self.gif), cwd=self.dir)
        self.assertEqual(code, 0, err)
        # The clip (30 frames) and the GIF (6) in name order: ĉ sorts after 影 in neither
        # locale's way, but by code point, so the GIF (U+0109) comes first.
        self.assertEqual(len(first_pixels(os.path.join(app, "vek.bin"))), 36, err)
        self.assertEqual(read(os.path.join(app, "vek (previous).bin")), read(self.old))
        self.assertIn("is kept as vek (previous).bin", err)

    def test_a_drop_hands_ffmpeg_the_exact_name(self):
        app = self.app(with_standin=True)
        code, _, err = run_exe(os.path.join(app, "vektool.exe"), windows_path(self.clip),
                               cwd=self.dir)
        self.assertEqual(code, 0, err)
        arguments = read(os.path.join(app, "ffmpeg-arguments.txt")).decode("utf-8").splitlines()
        self.assertIn("file:" + windows_path(self.clip), arguments, arguments)
        self.assertEqual(first_pixels(os.path.join(app, "vek.bin")), [40, 200])

    def test_a_dropped_folder_packs_its_pictures_in_name_order(self):
        app = self.app()
        code, _, err = run_exe(os.path.join(app, "vektool.exe"), windows_path(self.pictures))
        self.assertEqual(code, 0, err)
        self.assertEqual(first_pixels(os.path.join(app, "vek.bin")), [50, 100, 200])

    def test_the_manifest_is_embedded_and_read(self):
        code, out, err = run_exe(VEKTOOL, "--version", WINEDEBUG="trace+actctx")
        self.assertEqual(code, 0, err)
        for setting in ['L"dpiAware" L"true/pm"', 'L"dpiAwareness" L"PerMonitorV2, PerMonitor"',
                        'L"longPathAware" L"true"']:
            self.assertIn("parse_settings_elem got " + setting, err)

    def test_an_argument_that_is_no_file_is_told_by_its_name(self):
        code, _, err = run_exe(VEKTOOL, "無い ĉu.mp4")
        self.assertEqual(code, 2)
        self.assertIn("unknown command '無い ĉu.mp4'", err)

    @unittest.skipUnless(shutil.which("script"), "needs script(1) for a terminal")
    def test_names_come_out_right_on_a_console(self):
        archive = os.path.join(self.folder, "コンソール ĉu.bin")
        shutil.copy(self.old, archive)
        runner = " ".join(os.environ.get("NOCTIVA_VEKTOOL_RUNNER", "").split())
        command = "%s '%s' check '%s'" % (runner, VEKTOOL, windows_path(archive))
        result = subprocess.run(["script", "-qec", command, "/dev/null"], stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, timeout=120, env=wine_env())
        self.assertIn("コンソール ĉu.bin: all 3 frames decode", result.stdout.decode("utf-8", "replace"))

    def test_without_media_foundation_only_videos_need_ffmpeg(self):
        no_mf = {"WINEDLLOVERRIDES": "mfplat=d;mfreadwrite=d"}
        code, out, err = run_exe(VEKTOOL, "check", windows_path(self.old), **no_mf)
        self.assertEqual(code, 0, err)
        gif_archive = os.path.join(self.dir, "gif only.bin")
        code, _, err = run_exe(VEKTOOL, "pack", "-o", windows_path(gif_archive),
                               windows_path(self.gif), **no_mf)
        self.assertEqual(code, 0, err)
        code, _, err = run_exe(VEKTOOL, "pack", "-o", windows_path(os.path.join(self.dir, "v.bin")),
                               windows_path(self.clip), **no_mf)
        self.assertEqual(code, 1, err)
        lines = [line for line in err.splitlines() if line.strip()]
        self.assertEqual(lines, ["vektool: %s: %s" % (windows_path(self.clip), MISSING_MF)])


if __name__ == "__main__":
    VEKTOOL, STANDIN, NATIVE = sys.argv[1], sys.argv[2], sys.argv[3]
    unittest.main(argv=sys.argv[:1], verbosity=2)
