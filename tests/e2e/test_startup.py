#!/usr/bin/env python3
"""Norza.exe starts, configures the engine from its two settings files,
refuses a second copy and closes cleanly, end to end under Wine."""
import os
import subprocess
import tempfile
import time
import unittest

import harness
import norza
import tray
from harness import scanctl, wait_for

WS_EX_TOOLWINDOW, WS_EX_APPWINDOW = 0x80, 0x40000

NORMAL_START = ["GetDevice", "GetAppHandle", "StartDevice", "setQRable 1", "setDMable 1",
                "setBarcode 1", "setPDF417 1", "SetBeepTime 200", "SetDecodeTime 300",
                "SetBeep 1"]


def names(journal):
    """Journal lines with the window handle left out, which differs per run."""
    return [line.split()[0] if line.startswith("GetAppHandle") else line for line in journal]


class StartAndClose(norza.NorzaCase):
    def test_normal_start_configures_the_engine_in_order(self):
        self.typing_target()
        front = wait_for(lambda: int(norza.wintool("foreground")[1], 16), what="the target in front")
        proc = self.start_norza()
        self.assertEqual(NORMAL_START, names(self.journal()))
        time.sleep(1)   # the window's modal loop has long gone idle
        self.assertEqual(front, int(norza.wintool("foreground")[1], 16))   # not taken from the user
        self.assertTrue(norza.tray_visible())
        window = [w for w in norza.windows() if w["hwnd"] == self.tray_hwnd().lower()][0]
        self.assertEqual((0, 0, 1, 1), window["rect"])   # a 1 x 1 popup at the origin
        self.assertEqual(0x80000000, window["style"] & 0xC0000000)   # WS_POPUP
        # Hidden, with no taskbar button and no Alt+Tab entry.
        self.assertFalse(window["visible"])
        self.assertEqual(WS_EX_TOOLWINDOW, window["exstyle"] & (WS_EX_TOOLWINDOW | WS_EX_APPWINDOW))
        self.quit(proc)
        self.assertEqual(NORMAL_START + ["ReleaseDevice"], names(self.journal()))
        wait_for(lambda: not norza.tray_visible(), what="the tray icon to go")

    def test_failed_start_stops_configuring_but_keeps_the_tray(self):
        for result in ("0", "2"):
            with self.subTest(start_result=result):
                self.write("vistrel.ini", "[device]\nstart-result=%s\n" % result)
                os.remove(self.journal_path) if os.path.exists(self.journal_path) else None
                proc = self.start_norza(until="StartDevice")
                time.sleep(1.5)   # a timer would have fired by now
                self.assertEqual(NORMAL_START[:3], names(self.journal()))
                self.assertTrue(norza.tray_visible())
                self.quit(proc)
                self.assertEqual(NORMAL_START[:3] + ["ReleaseDevice"], names(self.journal()))

    def test_start_without_a_scanner_completes_when_it_is_plugged(self):
        self.write("vistrel.ini", "[device]\nattached=0\n")
        self.write("typeSet.ini", "[TYPE]\nDM=0\n")
        proc = self.start_norza(until="StartDevice")
        tray.wait_icon("no_device")
        norza.wait_balloon("start_failed")
        self.poll_device()   # finds no scanner and starts nothing
        self.assertEqual(["GetAppHandle", "StartDevice"],
                         [c for c in names(self.journal()) if c != "GetDevice"])

        scanctl("plug")
        wait_for(lambda: "SetBeep 1" in self.journal(), timeout=8, what="the start completed")
        calls = names(self.journal())
        self.assertEqual(["GetDevice", "StartDevice", "setQRable 1", "setDMable 0", "setBarcode 1",
                          "setPDF417 1", "SetBeepTime 200", "SetDecodeTime 300", "SetBeep 1"],
                         calls[len(calls) - 9:])
        self.assertEqual(2, calls.count("StartDevice"))
        norza.wait_balloon("device_back")
        tray.wait_icon("mixed", timeout=3)

        target = self.typing_target()
        before = len(self.journal())
        self.assertEqual(0, scanctl("decode", "qr", "ready")[0])
        target.wait_text("ready\r\n")   # Enter is on when its key is missing
        self.assertEqual(["setQRable 0", "setDMable 0", "setBarcode 0", "setPDF417 0",
                          "setQRable 1", "setBarcode 1", "setPDF417 1"],
                         [c for c in self.journal()[before:] if c != "GetDevice"])
        self.quit(proc)

    def test_notices_off_shows_no_notice_for_a_failed_start(self):
        self.write("vistrel.ini", "[device]\nstart-result=0\n")
        self.write("typeSet.ini", "[OUTPUT]\nNotices=0\n")
        proc = self.start_norza(until="StartDevice")
        wait_for(lambda: self.journal().count("StartDevice") == 2, timeout=8, what="a retry")
        self.assertEqual([], norza.balloons())
        self.quit(proc)

    def test_tray_icon_is_added_once_the_notification_area_takes_it(self):
        busy = self.start(os.path.join(harness.TOOLS_DIR, "wintool.exe"), "busy-tray", "6000")
        self.assertEqual(b"ready\n", busy.stdout.readline())
        proc = self.start_norza()
        self.assertFalse(norza.tray_visible())
        busy.wait(30)
        wait_for(norza.tray_visible, timeout=5, what="the icon added on a later tick")
        self.quit(proc)

    def test_enter_and_esc_on_the_tray_window_leave_it_running(self):
        proc = self.start_norza()
        hwnd = self.tray_hwnd()
        for key in ("0x0d", "0x1b"):
            norza.wintool("post", hwnd, "0x100", key, "0")
        norza.wintool("post", hwnd, "0x111", "1", "0")   # IDOK from elsewhere
        norza.wintool("post", hwnd, "0x111", "2", "0")   # IDCANCEL
        time.sleep(1)
        self.assertIsNone(proc.poll())
        self.assertEqual(0, scanctl("state")[0])
        self.assertNotIn("ReleaseDevice", self.journal())
        self.quit(proc)

    def test_system_close_goes_through_the_same_path(self):
        proc = self.start_norza()
        norza.wintool("post", self.tray_hwnd(), "0x10", "0", "0")   # WM_CLOSE
        proc.wait(30)
        self.assertEqual(1, self.journal().count("ReleaseDevice"))
        wait_for(lambda: not norza.tray_visible(), what="the tray icon to go")

    def test_tray_icon_comes_back_when_the_notification_area_restarts(self):
        proc = self.start_norza()
        self.assertEqual(0, norza.wintool("tray-delete", self.tray_hwnd(), "167")[0])
        wait_for(lambda: not norza.tray_visible(), what="the icon to be lost")
        norza.wintool("broadcast", "TaskbarCreated")
        wait_for(norza.tray_visible, what="the icon to be added again")
        self.quit(proc)


class AboutBox(norza.NorzaCase):
    def test_system_menu_command_opens_the_about_box(self):
        proc = self.start_norza()
        norza.wintool("post", self.tray_hwnd(), "0x112", "0x10", "0")   # WM_SYSCOMMAND
        title = norza.text("about_title")
        box = wait_for(lambda: [w for w in norza.windows() if w["title"] == title],
                       what="the About box")[0]
        texts = [c["text"] for c in box["children"]]
        self.assertIn(norza.text("about_version"), texts)
        self.assertIn(("Button", 1), [(c["cls"], c["id"]) for c in box["children"]])
        if os.environ.get("NORZA_SCREENSHOTS"):
            subprocess.run(["import", "-window", "root", os.environ["NORZA_SCREENSHOTS"] +
                            "/about-cp%d.png" % harness.CODEPAGE], env=harness.wine_env())

        norza.wintool("post", box["hwnd"], "0x111", "1", "0")   # its OK button
        wait_for(lambda: not [w for w in norza.windows() if w["title"] == title],
                 what="the About box to close")
        self.assertIsNone(proc.poll())
        self.quit(proc)


class SingleInstance(norza.NorzaCase):
    def message_boxes(self, language=None):
        return [w for w in norza.windows()
                if w["title"] == norza.text("running_title", language) and w["visible"]]

    def engine_starts(self):
        """Copies that got past the guard: each hands the engine its window once."""
        return len([line for line in self.journal() if line.startswith("GetAppHandle")])

    def test_second_start_is_refused_with_a_message_in_the_chosen_language(self):
        first = self.start_norza()
        # Each copy picks its language from typeSet.ini as it starts.
        default = "zh" if harness.CODEPAGE == 936 else "en"
        for setting, language in ((None, default), ("en", "en"), ("zh", "zh"), ("fr", default)):
            with self.subTest(setting=setting):
                self.write("typeSet.ini", "[UI]\nLanguage=%s\n" % setting if setting else "[TYPE]\n")
                second = self.start(self.exe, cwd=self.folder)
                box = wait_for(lambda: self.message_boxes(language), timeout=20,
                               what="the message box")[0]
                texts = [c["text"] for c in box["children"]]
                self.assertIn(norza.text("running_text", language), texts)
                self.assertEqual(1, len([c for c in box["children"] if c["cls"] == "Button"]))

                norza.wintool("post", box["hwnd"], "0x111", "1", "0")   # press OK
                second.wait(20)
        # GetDevice also comes every 3 s from the running copy's device watch.
        self.assertEqual(1, self.engine_starts())   # no engine call from a refused copy
        self.assertIsNone(first.poll())
        self.assertEqual(0, scanctl("state")[0])
        self.quit(first)

    def test_a_new_start_after_exit_passes_the_guard(self):
        self.quit(self.start_norza())
        self.quit(self.start_norza())
        self.assertEqual(2, self.engine_starts())

    def test_simultaneous_starts_leave_exactly_one(self):
        procs = [self.start(self.exe, cwd=self.folder) for _ in range(10)]
        wait_for(lambda: len(self.message_boxes()) == 9, timeout=60, what="nine refusals")
        wait_for(lambda: "SetBeep 1" in self.journal(), what="the one that runs")
        self.assertEqual(1, self.engine_starts())
        self.assertEqual(9, len({w["pid"] for w in self.message_boxes()}))
        self.assertTrue(all(p.poll() is None for p in procs))


class Settings(norza.NorzaCase):
    def configured(self, cwd=None):
        """Starts the program, returns its symbology and decode-time calls, quits."""
        if os.path.exists(self.journal_path):
            os.remove(self.journal_path)
        proc = self.start_norza(cwd=cwd)
        calls = self.journal()[3:9]
        self.quit(proc)
        return calls

    def test_type_flags_are_on_only_for_1_or_empty(self):
        cases = [
            ("[TYPE]\nQR=1\nDM=\nBarcode=0\n", [1, 1, 0, 1]),
            ("[TYPE]\nQR=10\nDM=yes\nBarcode=true\nPDF417=11\n", [0, 0, 0, 0]),
            ("[TYPE]\r\nQR = 1 \r\nDM=0\r\nBarcode=1\r\nPDF417=0\r\n", [1, 0, 1, 0]),
            ("[OTHER]\nQR=0\n", [1, 1, 1, 1]),
            (None, [1, 1, 1, 1]),
        ]
        for content, expected in cases:
            with self.subTest(content=content):
                self.provide("typeSet.ini", content)
                calls = self.configured()
                setters = ["setQRable", "setDMable", "setBarcode", "setPDF417"]
                self.assertEqual(["%s %d" % s for s in zip(setters, expected)], calls[:4])

    def test_decode_time_is_clamped_and_read_like_atoi(self):
        cases = [("20", 50), ("99999", 5000), ("abc", 50), ("  750ms", 750), ("", 50),
                 ("300\n", 300), ("\ufeff300", 50), ("-7", 50), ("5000", 5000), (None, 50)]
        for content, expected in cases:
            with self.subTest(content=content):
                self.provide("configDecodeTime.ini", content)
                self.assertEqual("SetDecodeTime %d" % expected, self.configured()[5])

    def test_decode_time_is_read_from_the_current_folder(self):
        self.write("configDecodeTime.ini", "700")
        elsewhere = tempfile.mkdtemp(prefix="norza-cwd-")
        try:
            self.assertEqual("SetDecodeTime 50", self.configured(cwd=elsewhere)[5])
            self.write("configDecodeTime.ini", "900", folder=elsewhere)
            self.assertEqual("SetDecodeTime 900", self.configured(cwd=elsewhere)[5])
        finally:
            subprocess.run(["rm", "-rf", elsewhere])


if __name__ == "__main__":
    unittest.main(verbosity=2)
