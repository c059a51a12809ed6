#!/usr/bin/env python3
"""The include rules: the tree keeps them, and each kind of break is caught.

    include_rules_test.py SOURCE_ROOT
"""

import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(sys.argv.pop(1) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2])
CHECKER = ROOT / "scripts" / "include_rules.py"
FOLDERS = ("archive", "settings", "render", "playback", "windows", "linux", "vektool",
           "resources")


def run_checker(root: Path) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, str(CHECKER), str(root)], capture_output=True,
                          text=True, check=False)


class TheTree(unittest.TestCase):
    def test_the_tree_keeps_every_rule(self):
        result = run_checker(ROOT)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


class Breaks(unittest.TestCase):
    """A copy of the tree with one file added or changed; the checker names it, or lets it be."""

    @classmethod
    def setUpClass(cls):
        cls.base = Path(tempfile.mkdtemp(prefix="include-rules-"))
        for folder in FOLDERS:
            shutil.copytree(ROOT / folder, cls.base / "tree" / folder)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.base)

    def tree_with(self, path: str, text: str) -> Path:
        tree = self.base / f"case-{self.id().rsplit('.', 1)[-1]}-{abs(hash(path + text))}"
        shutil.copytree(self.base / "tree", tree)
        target = tree / path
        target.parent.mkdir(parents=True, exist_ok=True)
        with target.open("a", encoding="utf-8") as out:
            out.write(text)
        self.addCleanup(shutil.rmtree, tree)
        return tree

    def test_each_break_is_named_and_allowed_files_pass(self):
        cases = [
            # (file, added text, breaks a rule, words the report holds)
            ("playback/frame_clock.cpp", "#include <windows.h>\n", True,
             "<windows.h> in the portable core"),
            ("render/compose.h", "#include <X11/Xlib.h>\n", True, "display header"),
            ("settings/monitor_list.cpp", "#include <unistd.h>\n", True, "outside a *_posix"),
            ("playback/frame_clock_win32.cpp", "#include <d3d9.h>\n", True, "display header"),
            ("archive/archive_failure.cpp", '#include "windows/app_state.h"\n', True,
             "from windows/"),
            ("render/placement.cpp", '#include "vektool/picture_io.h"\n', True, "from vektool/"),
            ("render/placement.cpp", '#include "render/nowhere.h"\n', True, "not a file"),
            ("linux/main.cpp", '#include "windows/playback_worker.h"\n', True,
             "another program, windows/"),
            ("windows/main.cpp", '#include "linux/playback_worker.h"\n', True,
             "another program, linux/"),
            ("vektool/main.cpp", '#include "linux/x11/monitor_list.h"\n', True,
             "another program, linux/"),
            ("linux/wayland/layer_overlay.cpp", '#include "linux/x11/monitor_list.h"\n', True,
             "from the other overlay, linux/x11/"),
            ("linux/x11/overlay_window.cpp", '#include "linux/wayland/output_geometry.h"\n', True,
             "from the other overlay, linux/wayland/"),
            ("vektool/CMakeLists.txt", "file(GLOB more *.cpp)\n", True, "glob or a filter"),
            ("render/CMakeLists.txt", "list(FILTER x EXCLUDE REGEX y)\n", True,
             "glob or a filter"),
            # What the rules allow.
            ("playback/frame_clock_win32.cpp", "#include <mmsystem.h>\n", False, ""),
            ("archive/archive_file_posix.cpp", "#include <sys/mman.h>\n", False, ""),
            ("settings/settings_form.cpp", '#include "resources/resource.h"\n', False, ""),
            ("windows/main.cpp", '#include "render/placement.h"\n', False, ""),
            ("linux/x11/overlay_window.cpp", "#include <gtk/gtk.h>\n", False, ""),
            ("linux/wayland/layer_overlay.cpp", '#include "linux/playback_worker.h"\n', False, ""),
            ("vektool/main.cpp", '#include "archive_writer.h"\n', False, ""),
            ("render/CMakeLists.txt", "# file(GLOB is fine in a comment)\n", False, ""),
        ]
        for path, text, breaks, words in cases:
            with self.subTest(file=path, added=text.strip()):
                result = run_checker(self.tree_with(path, text))
                if breaks:
                    self.assertEqual(result.returncode, 1, result.stdout)
                    self.assertIn(path, result.stdout)
                    self.assertIn(words, result.stdout)
                else:
                    self.assertEqual(result.returncode, 0, result.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=1)
