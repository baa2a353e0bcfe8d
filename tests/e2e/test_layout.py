#!/usr/bin/env python3
"""Every window fits at 100 %, 150 % and 200 % display scale, in the lane's
language: no control's text is cut and no two controls overlap."""
import os
import subprocess
import time
import unittest

import harness
import norza
from harness import wait_for

WM_COMMAND = "0x111"
ID_TRAY_SETTINGS, ID_TRAY_HISTORY = harness.ID("ID_TRAY_SETTINGS"), harness.ID("ID_TRAY_HISTORY")
IDC_SET_APPLY, IDC_SET_RULES, IDC_PROGRAMS_ADD = harness.ids("IDC_SET_APPLY IDC_SET_RULES IDC_PROGRAMS_ADD")
# A control on each page of the settings window, which turns to it.
PAGES = dict(zip(("general", "output", "sounds", "history"),
                 harness.ids("IDC_SET_HOLDOFF IDC_SET_PREFIX IDC_SND_MODE IDC_SET_DUP_SCOPE")))
FONT = ("宋体", "9") if harness.CODEPAGE == 936 else ("MS Shell Dlg", "8")


def set_dpi(dpi):
    subprocess.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                    "/d", str(dpi), "/f"], env=harness.wine_env(), check=True, capture_output=True)


class Layout(norza.NorzaCase):
    def tearDown(self):
        set_dpi(96)
        super().tearDown()

    def misfits(self, window, name, dpi, control):
        """What does not fit, once the control is shown."""
        def check():
            code, out, _ = harness.run(os.path.join(harness.TOOLS_DIR, "fitcheck.exe"), window["hwnd"], *FONT,
                                       str(control))
            return code != 3 and (code, out.decode("utf-8", "replace").splitlines())
        code, lines = wait_for(check, what="control %d shown" % control)
        self.assertEqual(0, code)
        time.sleep(0.3)   # drawn, for the screenshot
        if os.environ.get("NORZA_SCREENSHOTS"):
            left, top, right, bottom = window["rect"]
            subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
                right - left, bottom - top, left, top), "+repage", "%s/%s-%d-cp%d.png" % (
                os.environ["NORZA_SCREENSHOTS"], name, dpi, harness.CODEPAGE)], env=harness.wine_env())
        return lines

    def shown(self, title, marker):
        return wait_for(lambda: [w for w in norza.windows() if w["title"] == norza.text(title) and w["visible"]
                                 and any(c["id"] == marker for c in w["children"])], what=title)[0]

    def test_each_window_fits_at_each_scale(self):
        for dpi in (96, 144, 192):
            set_dpi(dpi)
            proc = self.start_norza()
            norza.wintool("post", self.tray_hwnd(), WM_COMMAND, ID_TRAY_SETTINGS, "0")
            settings = self.shown("settings_title", IDC_SET_APPLY)
            for page, control in PAGES.items():
                norza.page_control(settings, control)
                with self.subTest(dpi=dpi, window=page):
                    self.assertEqual([], self.misfits(settings, page, dpi, control))
            norza.wintool("post", settings["hwnd"], WM_COMMAND, str(IDC_SET_RULES), "0")
            rules = self.shown("rules_title", 1)
            with self.subTest(dpi=dpi, window="rules"):
                self.assertEqual([], self.misfits(rules, "rules", dpi, 1))
            norza.wintool("post", rules["hwnd"], WM_COMMAND, str(IDC_PROGRAMS_ADD), "0")
            program = self.shown("program_title", 1)
            with self.subTest(dpi=dpi, window="program"):
                self.assertEqual([], self.misfits(program, "program", dpi, 1))
            for window in (program, rules, settings):
                norza.wintool("post", window["hwnd"], WM_COMMAND, "2", "0")
                wait_for(lambda: window["hwnd"] not in [w["hwnd"] for w in norza.windows() if w["visible"]],
                         what="the window to close")
            norza.wintool("post", self.tray_hwnd(), WM_COMMAND, ID_TRAY_HISTORY, "0")
            history = self.shown("history_title", 1203)
            with self.subTest(dpi=dpi, window="scans"):
                self.assertEqual([], self.misfits(history, "scans", dpi, 1203))
            norza.wintool("post", history["hwnd"], WM_COMMAND, "2", "0")
            self.quit(proc)


if __name__ == "__main__":
    unittest.main()
