#!/usr/bin/env python3
"""The release zip, unpacked as a user would, runs: from a folder with
spaces in its path, and on a Chinese system also with Chinese characters."""
import os
import subprocess
import sys
import unittest
import zipfile

import harness
import norza
from harness import scanctl, wait_for

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


class Release(norza.NorzaCase):
    def unpack(self, *parts):
        env = {k: v for k, v in os.environ.items() if not k.startswith("NORZA_SIGN_")}
        made = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "release.py"),
                               "--build-dir", harness.BUILD_DIR, "--out", self.folder],
                              check=True, capture_output=True, text=True, env=env)
        # Without a certificate the release is made all the same, and says so once.
        self.assertEqual(1, made.stderr.count("not signed"), made.stderr)
        target = os.path.join(self.folder, *parts)
        with zipfile.ZipFile(made.stdout.splitlines()[0]) as z:
            z.extractall(target)
        return os.path.join(target, "Norza-4.3")

    def check_runs_from(self, home):
        self.exe = os.path.join(home, "Norza.exe")
        self.journal_path = os.path.join(home, "vistrel.journal")
        proc = self.start_norza(cwd=home)
        # The commented samples give every symbology, Enter and 300 ms.
        self.assertEqual(["setQRable 1", "setDMable 1", "setBarcode 1", "setPDF417 1",
                          "SetBeepTime 200", "SetDecodeTime 300"], self.journal()[3:9])
        self.assertEqual(0, scanctl("decode", "qr", "R-4.3")[0])
        with open(os.path.join(home, "log.log"), "rb") as f:
            self.assertTrue(f.read().endswith(b"[Decode]Decode:R-4.3"))
        self.quit(proc)

    def test_contents(self):
        home = self.unpack("unpacked")
        names = sorted(os.listdir(home))
        self.assertEqual(["Norza.exe", "NorzaClip.exe", "USER-GUIDE-zh.html", "USER-GUIDE-zh.txt",
                          "USER-GUIDE.html", "USER-GUIDE.txt",
                          "configDecodeTime.ini", "duplicate.wav", "not_typed.wav", "policies", "scanctl.exe",
                          "typeSet.ini", "typed.wav", "vistrel.dll", "vistrel.dll-SIMULATOR.txt"], names)
        for name in ("Norza.admx", "en-US/Norza.adml", "zh-CN/Norza.adml"):
            with open(os.path.join(ROOT, "policies", name), "rb") as a, \
                    open(os.path.join(home, "policies", name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)
        with open(os.path.join(home, "typeSet.ini"), "rb") as f:
            sample = f.read()
        self.assertIn("识别类型".encode("gbk"), sample)
        self.assertIn(b"\r\nQR=1\r\n", sample)
        for key in ("Prefix", "Suffix", "KeyDelay", "RepeatWindow", "GS", "RS", "EOT", "Method",
                    "Notices", "Language", "Mode"):
            self.assertIn(b"\r\n;%s=" % key.encode(), sample)   # an example, left off

    def test_runs_from_a_folder_with_spaces(self):
        self.check_runs_from(self.unpack("Program Files", "My Scanner"))

    @unittest.skipUnless(harness.CODEPAGE == 936, "an ANSI program sees Chinese paths "
                         "only under a Chinese code page")
    def test_runs_from_a_folder_with_chinese_characters(self):
        self.check_runs_from(self.unpack("程序 文件", "扫码 键盘"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
