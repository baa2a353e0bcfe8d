#!/usr/bin/env python3
"""The scan history window: the decodes of the run with what became of each,
kept up to date while open, copied, and typed again where the user works."""
import os
import re
import subprocess
import time
import unittest

import harness
import norza
from harness import wait_for
from test_decode import DecodeCase

WM_COMMAND, WM_TRAY_NOTIFY, NIN_BALLOONUSERCLICK = "0x111", "0x405", "0x405"
ID_TRAY_HISTORY, IDC_HISTORY_RETYPE, IDC_HISTORY_STATUS = "32781", "1203", 1204


class History(DecodeCase):
    def history_windows(self):
        return [w for w in norza.windows() if w["title"] == norza.text("history_title") and w["visible"]]

    def open_history(self):
        norza.wintool("post", self.tray_hwnd(), WM_COMMAND, ID_TRAY_HISTORY, "0")
        return wait_for(self.history_windows, what="the history window")[0]

    def rows(self, window, select=None):
        """The list's rows as [time, code, program, result]; selects a row first when asked."""
        hwnd = [c["hwnd"] for c in window["children"] if c["cls"] == "SysListView32"][0]
        rc, out = norza.wintool("rows", hwnd, *([] if select is None else [str(select)]))
        self.assertEqual(0, rc)
        return [line.split("\t") for line in out.splitlines()]

    def foreground(self):
        return norza.wintool("foreground")[1].strip()

    def screenshot(self, window):
        folder = os.environ.get("NORZA_SCREENSHOTS")
        if folder:
            left, top, right, bottom = window["rect"]
            subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
                right - left, bottom - top, left, top), "+repage",
                "%s/history-cp%d.png" % (folder, harness.CODEPAGE)], env=harness.wine_env())

    def test_lists_the_decodes_copies_and_types_one_again(self):
        target = self.run_norza(enter=False, output="RepeatWindow=5000\n")
        self.decode("decode", "qr", "R1")
        self.decode("decode", "qr", "R1")
        target.wait_text("R1")
        self.assertEqual(0, norza.wintool("foreground", self.tray_hwnd())[0])
        self.decode("decode", "qr", "扫码-3")
        edit = self.start_notepad()
        notepad = self.foreground()

        window = self.open_history()
        wait_for(lambda: self.foreground() == window["hwnd"], what="the history window in front")
        rows = self.rows(window)
        self.assertEqual([["扫码-3", "Norza.exe", norza.text("not_typed_self")],
                          ["R1", "typetarget.exe", norza.text("repeat")],
                          ["R1", "typetarget.exe", norza.text("typed")]], [r[1:] for r in rows])
        for row in rows:
            self.assertRegex(row[0], r"\d:\d\d:\d\d")

        # In front, it takes no decode itself; the decode shows at once.
        self.decode("decode", "qr", "x")
        self.assertEqual(["x", "Norza.exe", norza.text("not_typed_self")], self.rows(window)[0][1:])
        # A code too long to keep shows its start, and Type again refuses it.
        long_code = "0123456789" * 2000
        self.decode("decode", "qr", long_code)
        self.assertEqual([long_code[:256] + "…", "Norza.exe",
                          norza.text("not_typed_self") + norza.text("cut")],
                         self.rows(window, select=0)[0][1:])
        harness.xdotool("key", "Return")
        status = [c["hwnd"] for c in window["children"] if c["id"] == IDC_HISTORY_STATUS][0]
        wait_for(lambda: norza.wintool("text", status)[1] == norza.text("not_kept"),
                 what="the window saying the code was too long to keep")
        self.assertEqual(5, len(self.rows(window)))
        self.open_history()   # asked again: the same window
        self.assertEqual(1, len(self.history_windows()))
        self.screenshot(window)

        self.rows(window, select=2)
        harness.xdotool("key", "ctrl+c")
        wait_for(lambda: norza.wintool("clipboard")[1] == "扫码-3", what="the code on the clipboard")

        # Enter is "Type again": into notepad, in front before the window
        # opened, the engine silenced and held off as for a decode.
        before = len(self.journal())
        harness.xdotool("key", "Return")
        wait_for(lambda: norza.wintool("text", edit)[1] == "扫码-3", what="the code in notepad")
        self.assertEqual(notepad, self.foreground())
        wait_for(lambda: len(self.rows(window)) == 6, what="the retyped code in the list")
        self.assertEqual(["扫码-3", "notepad.exe", norza.text("typed")], self.rows(window)[0][1:])
        wait_for(lambda: len(self.engine_calls(before)) == 8, what="the engine back on")
        self.assertEqual(["setQRable 0", "setDMable 0", "setBarcode 0", "setPDF417 0",
                          "setQRable 1", "setDMable 1", "setBarcode 1", "setPDF417 1"], self.engine_calls(before))

        self.open_history()
        wait_for(lambda: self.foreground() == window["hwnd"], what="the history window in front")
        harness.xdotool("key", "Escape")
        wait_for(lambda: not self.history_windows(), what="the window to close")
        self.quit(self.proc)

    def test_a_window_that_comes_to_the_front_gets_nothing_and_the_history_says_how_much_went(self):
        self.write("typeSet.ini", "[TYPE]\nEnter=1\n[OUTPUT:notepad.exe]\nKeyDelay=150\n")
        self.proc = self.start_norza()
        edit = self.start_notepad()
        code = "0123456789" * 3
        sender = self.start(os.path.join(harness.BIN_DIR, "scanctl.exe"), "decode", "qr", code)
        wait_for(lambda: len(norza.wintool("text", edit)[1]) >= 3, what="the typing to begin")
        other = self.typing_target()   # another program opens and takes the front
        self.assertEqual(0, sender.wait(60))
        pattern = re.escape(norza.text("notice_front")).replace("%d", r"(\d+)")
        notice = wait_for(lambda: [m for m in (re.fullmatch(pattern, t) for _, t in norza.balloons()) if m],
                          what="the notice")[0]
        typed = int(notice[1])
        self.assertEqual(len(code), int(notice[2]))
        wait_for(lambda: norza.wintool("text", edit)[1] == code[:typed], what="%d characters in notepad" % typed)
        self.assertTrue(0 < typed < len(code))
        self.assertEqual([], [e for e in other.report()["events"] if e[0] in ("char", "down")])
        window = self.open_history()
        self.assertEqual([code, "notepad.exe", norza.text("history_front") % (typed, len(code))],
                         self.rows(window)[0][1:])
        self.quit(self.proc)

    def test_a_notice_click_opens_it_and_type_again_waits_its_turn(self):
        target = self.run_norza(enter=False, output="KeyDelay=100\n")
        self.assertEqual(0, norza.wintool("foreground", self.tray_hwnd())[0])
        self.decode("decode", "qr", "lost")
        norza.wait_balloon("notice_self")
        norza.wintool("post", self.tray_hwnd(), WM_TRAY_NOTIFY, "0", NIN_BALLOONUSERCLICK)
        window = wait_for(self.history_windows, what="the history window")[0]
        self.assertEqual("lost", self.rows(window)[0][1])

        # While a decode is typed, "Type again" says it cannot.
        target_hwnd = [w["hwnd"] for w in norza.windows() if w["title"] == "Norza Typing Target"][0]
        self.assertEqual(0, norza.wintool("foreground", target_hwnd)[0])
        code = "0123456789" * 2
        sender = self.start(os.path.join(harness.BIN_DIR, "scanctl.exe"), "decode", "qr", code)
        wait_for(lambda: len(target.text()) >= 3, what="the typing to begin")
        norza.wintool("post", window["hwnd"], WM_COMMAND, IDC_HISTORY_RETYPE, "0")
        status = [c["hwnd"] for c in window["children"] if c["id"] == IDC_HISTORY_STATUS][0]
        wait_for(lambda: norza.wintool("text", status)[1] == norza.text("retype_busy"),
                 what="the window saying it cannot type now")
        self.assertTrue(len(target.text()) < len(code))
        self.assertEqual(0, sender.wait(30))
        target.wait_text(code)

        # A click on a notice about the scanner opens nothing.
        norza.wintool("post", window["hwnd"], WM_COMMAND, "2", "0")   # IDCANCEL
        wait_for(lambda: not self.history_windows(), what="the window to close")
        harness.scanctl("unplug")
        norza.wait_balloon("device_lost")
        norza.wintool("post", self.tray_hwnd(), WM_TRAY_NOTIFY, "0", NIN_BALLOONUSERCLICK)
        time.sleep(1)
        self.assertEqual([], self.history_windows())
        self.quit(self.proc)


    def test_a_paste_not_taken_says_so_and_the_code_waits_for_the_target_alone(self):
        monitor = self.typing_target("monitor", "monitor-report.txt")
        self.assertEqual(0, norza.wintool("clipboard", "the user's own")[0])
        self.run_norza(enter=False, fields="nopaste", output="Method=paste\n")
        self.decode("decode", "qr", "未接收-1")
        norza.wait_balloon("notice_paste_not_taken")
        self.assertIn(b"[Paste]", self.log())
        window = self.open_history()
        self.assertEqual(["未接收-1", "typetarget.exe", norza.text("paste_not_taken")], self.rows(window)[0][1:])
        # A clipboard monitor asked while the code was offered and lingered, and got nothing.
        reads = [e[1] for e in monitor.report()["events"] if e[0] == "clip"]
        self.assertIn("-", reads)
        self.assertNotIn("未接收-1".encode("utf-16-le").hex(), reads)
        # The program's end gives the user's copy back.
        self.quit(self.proc)
        self.assertEqual("the user's own", norza.wintool("clipboard")[1])


if __name__ == "__main__":
    unittest.main(verbosity=2)
