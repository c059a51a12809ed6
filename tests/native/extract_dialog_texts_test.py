"""The extraction of the dialog texts from noctiva.rc refuses a script whose English dialog or
string table has drifted from the Japanese one, and names what differs."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.join(HERE, "..", "..", "resources")
SCRIPT = os.path.join(RESOURCES, "extract_dialog_texts.py")
RC = open(os.path.join(RESOURCES, "noctiva.rc"), encoding="utf-8").read()
ENGLISH = RC.index("LANGUAGE LANG_ENGLISH")


def english_changed(old, new):
    """The script with the first `old` of the English part made `new`."""
    at = RC.index(old, ENGLISH)
    return RC[:at] + new + RC[at + len(old):]


class Extraction(unittest.TestCase):
    def extract(self, rc_text):
        with tempfile.TemporaryDirectory() as scratch:
            rc = os.path.join(scratch, "noctiva.rc")
            with open(rc, "w", encoding="utf-8") as f:
                f.write(rc_text)
            out = os.path.join(scratch, "texts.h")
            run = subprocess.run([sys.executable, SCRIPT, rc,
                                  os.path.join(RESOURCES, "resource.h"), out],
                                 capture_output=True, text=True)
            header = ""
            if run.returncode == 0:
                with open(out, encoding="utf-8") as f:
                    header = f.read()
            return run.returncode, run.stderr, header

    def test_the_script_gives_both_languages(self):
        code, err, header = self.extract(RC)
        self.assertEqual(code, 0, err)
        self.assertIn('kSettingsDialogCaption = "Tessarine PV Noctivaの設定"', header)
        self.assertIn('kSettingsDialogCaptionEnglish = "Tessarine PV Noctiva Settings"', header)

    def test_drift_between_the_languages_is_an_error(self):
        cases = [
            ("a moved control", "7, 71, 53, 10", "7, 71, 60, 10", "box"),
            ("a lost group", "IDC_STACK_NORMAL, \"Button\", BS_AUTORADIOBUTTON | WS_GROUP",
             "IDC_STACK_NORMAL, \"Button\", BS_AUTORADIOBUTTON", "groupStart"),
            ("another id", "IDC_LIMIT_FPS, \"Button\"", "IDC_EXIT_ON_KEY, \"Button\"", "id"),
            ("a missing string", "    IDC_SHOW_FPS \"Shows", "//  IDC_SHOW_FPS \"Shows",
             "string tables differ in ids [1003]"),
            ("no English part", "LANGUAGE LANG_ENGLISH", "LANGUAGE LANG_GERMAN",
             "no LANGUAGE LANG_ENGLISH"),
        ]
        for name, old, new, said in cases:
            with self.subTest(name):
                code, err, _ = self.extract(english_changed(old, new))
                self.assertEqual(code, 1, err)
                self.assertIn(said, err)
                self.assertEqual(len(err.splitlines()), 1, err)


if __name__ == "__main__":
    unittest.main()
