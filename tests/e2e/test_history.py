#!/usr/bin/env python3
"""The scan history window: the decodes with what became of each, kept
across a restart, kept up to date while open, found, counted, copied, typed
again where the user works and exported; the export formats read back by
Python's own readers."""
import csv
import datetime
import io
import os
import re
import select
import subprocess
import sys
import time
import unittest
import zipfile

try:
    import openpyxl
except ImportError:   # the system's package, under another Python than the system's
    sys.path.append("/usr/lib/python3/dist-packages")
    import openpyxl

import harness
import norza
from harness import wait_for
from test_decode import DecodeCase

WM_COMMAND, NIN_BALLOONUSERCLICK = "0x111", "0x405"
WM_TRAY_NOTIFY, ID_TRAY_HISTORY, IDC_HISTORY_RETYPE = (harness.ID(n) for n in (
    "WM_TRAY_NOTIFY", "ID_TRAY_HISTORY", "IDC_HISTORY_RETYPE"))
IDC_HISTORY_STATUS = harness.IDS["IDC_HISTORY_STATUS"]
IDC_HISTORY_SEARCH, IDC_HISTORY_OUTCOME, IDC_HISTORY_COUNTS, IDC_HISTORY_EXPORT = harness.ids(
    "IDC_HISTORY_SEARCH IDC_HISTORY_OUTCOME IDC_HISTORY_COUNTS IDC_HISTORY_EXPORT")
LOGSTRESS = os.path.join(harness.TOOLS_DIR, "logstress.exe")
CB_SETCURSEL, CBN_SELCHANGE, BM_CLICK, IDYES = "0x14e", 1, "0xf5", "6"
ID_TRAY_SETTINGS, IDC_SET_HISTORY_CLEAR = harness.ID("ID_TRAY_SETTINGS"), harness.IDS["IDC_SET_HISTORY_CLEAR"]
# Codes a spreadsheet would damage or run, and texts CSV must quote.
TRICKY = ["=1+1", "-2", "@SUM(A1)", "+3", "0012345", "123456789012345678", "01234567890128", "鲁A12345",
          'say "hi"', "two\r\nlines", "\tTab", "a,b;c"]
# The tool's first row, in local time as the programs see it.
ROW_TIME = datetime.datetime.fromtimestamp(
    datetime.datetime(2026, 12, 10, 8, tzinfo=datetime.timezone.utc).timestamp())


class History(DecodeCase):
    def history_windows(self):
        return [w for w in norza.windows() if w["title"] == norza.text("history_title") and w["visible"]]

    def open_history(self):
        norza.wintool("post", self.tray_hwnd(), WM_COMMAND, ID_TRAY_HISTORY, "0")
        return wait_for(self.history_windows, what="the history window")[0]

    def raw_rows(self, window, select=None):
        """The list's rows as it shows them: [time, symbology, code, result, program]."""
        hwnd = [c["hwnd"] for c in window["children"] if c["cls"] == "SysListView32"][0]
        rc, out = norza.wintool("rows", hwnd, *([] if select is None else [str(select)]))
        self.assertEqual(0, rc)
        return [line.split("\t") for line in out.splitlines()]

    def rows(self, window, select=None):
        """The list's rows as [time, code, program, result]; selects a row first when asked."""
        return [[r[0], r[2], r[4], r[3]] for r in self.raw_rows(window, select)]

    def control(self, window, control_id):
        return [c["hwnd"] for c in window["children"] if c["id"] == control_id][0]

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

    def test_kept_across_a_restart_found_counted_and_exported(self):
        # QR alone is on, so the symbology is known; a code scanned before
        # today is not typed again.
        target = self.run_norza(enter=False, flags=(1, 0, 0, 0),
                                output="DuplicateScope=today\nDuplicateAction=skip\n")
        for code in ("=1+1", "鲁A12345", "=1+1"):
            self.decode("decode", "qr", code)
        norza.wait_balloon("notice_duplicate")
        target.wait_text("=1+1鲁A12345")
        self.quit(self.proc)

        self.proc = self.start_norza()
        window = self.open_history()
        wait_for(lambda: self.foreground() == window["hwnd"], what="the history window in front")
        expected = [["=1+1", "typetarget.exe", norza.text("duplicate")],
                    ["鲁A12345", "typetarget.exe", norza.text("typed")],
                    ["=1+1", "typetarget.exe", norza.text("typed")]]
        wait_for(lambda: [r[1:] for r in self.rows(window)] == expected, what="the records of the run before")
        self.assertEqual([norza.text("qr")] * 3, [r[1] for r in self.raw_rows(window)])
        self.assertEqual(norza.text("counts") % (3, 2, 1),
                         norza.wintool("text", self.control(window, IDC_HISTORY_COUNTS))[1])

        # Found as the user types, in any case; filtered by result.
        search = self.control(window, IDC_HISTORY_SEARCH)
        norza.wintool("settext", search, "鲁a")
        wait_for(lambda: [r[1] for r in self.rows(window)] == ["鲁A12345"], what="the code found")
        norza.wintool("settext", search, "")
        combo = self.control(window, IDC_HISTORY_OUTCOME)
        norza.wintool("send", combo, CB_SETCURSEL, "2", "0")   # not typed
        norza.wintool("post", window["hwnd"], WM_COMMAND, str(CBN_SELCHANGE << 16 | IDC_HISTORY_OUTCOME), combo)
        wait_for(lambda: [r[1:] for r in self.rows(window)] == expected[:1], what="the code not typed alone")

        # All of them exported through the save dialog, in the user's language.
        path = os.path.join(self.folder, "export.xlsx")
        norza.wintool("post", window["hwnd"], WM_COMMAND, str(IDC_HISTORY_EXPORT), "0")
        time.sleep(1)
        harness.xdotool("key", "a")
        dialog = wait_for(lambda: [w for w in norza.windows() if w["visible"] and w["cls"] == "#32770"
                                   and w["hwnd"] != window["hwnd"]], timeout=20, what="the save dialog")[0]
        name = [c["hwnd"] for c in dialog["children"] if c["cls"] == "Edit"][0]
        norza.wintool("settext", name, harness.winpath(path))
        norza.wintool("post", dialog["hwnd"], WM_COMMAND, "1", "0")
        wait_for(lambda: os.path.exists(path), timeout=20, what="the workbook")
        time.sleep(0.5)
        sheet = openpyxl.load_workbook(path).active
        cells = [[c.value for c in row] for row in sheet.iter_rows()]
        self.assertEqual(norza.text("export_header"), cells[0])
        self.assertEqual([[norza.text("qr"), r[0], r[2], r[1]] for r in expected], [r[1:] for r in cells[1:]])
        for row in cells[1:]:
            self.assertIsInstance(row[0], datetime.datetime)
            self.assertLess(abs(row[0] - datetime.datetime.now()), datetime.timedelta(minutes=10))

        # Cleared from the settings window's History page, once the user agrees.
        norza.wintool("post", self.tray_hwnd(), WM_COMMAND, ID_TRAY_SETTINGS, "0")
        settings = wait_for(lambda: [w for w in norza.windows() if w["title"] == norza.text("settings_title")
                                     and w["visible"]], what="the settings window")[0]
        norza.wintool("post", norza.page_control(settings, IDC_SET_HISTORY_CLEAR), BM_CLICK, "0", "0")
        question = wait_for(lambda: [w for w in norza.windows() if w["visible"] and w["cls"] == "#32770"
                                     and w["title"] == norza.text("history_page")], what="the question")[0]
        norza.wintool("post", question["hwnd"], WM_COMMAND, IDYES, "0")
        wait_for(lambda: self.rows(window) == [], what="the history cleared")
        wait_for(lambda: os.path.getsize(os.path.join(norza.history_folder(), "history.dat")) == 16,
                 what="the file cleared")
        norza.wintool("post", settings["hwnd"], WM_COMMAND, "2", "0")
        self.quit(self.proc)

    def test_a_file_held_at_start_loses_nothing(self):
        target = self.run_norza(enter=False)
        for code in ("before1", "before2"):
            self.decode("decode", "qr", code)
        target.wait_text("before1before2")
        self.quit(self.proc)

        # Another program holds the file, sharing nothing, while the next run starts and scans.
        path = os.path.join(norza.history_folder(), "history.dat")
        holder = self.start(LOGSTRESS, "hold-file", harness.winpath(path))
        ready, _, _ = select.select([holder.stdout], [], [], 30)
        self.assertTrue(ready and holder.stdout.readline().strip() == b"holding")
        self.proc = self.start_norza()
        for code in ("held1", "held2"):
            self.decode("decode", "qr", code)
        target.wait_text("before1before2held1held2")
        wait_for(lambda: b"the history file cannot be opened (error 32)" in self.log(), what="the wait logged")
        holder.kill()
        holder.wait(10)
        self.decode("decode", "qr", "after")
        target.wait_text("before1before2held1held2after")
        self.quit(self.proc)

        self.proc = self.start_norza()
        window = self.open_history()
        wait_for(lambda: [r[1] for r in self.rows(window)] == ["after", "held2", "held1", "before2", "before1"],
                 what="every record of before and of the held run")
        self.quit(self.proc)


class Exports(harness.WineTestCase):
    """The export formats, written by a tool of the tests from the codes given."""

    def export(self, *args):
        codes = os.path.join(self.folder, "codes.txt")
        with open(codes, "wb") as f:
            f.write("\0".join(TRICKY).encode())
        out = os.path.join(self.folder, "out")
        rc, _, _ = harness.run(os.path.join(harness.TOOLS_DIR, "exportfile.exe"), args[0], harness.winpath(codes),
                               harness.winpath(out), *args[1:])
        self.assertEqual(0, rc)
        with open(out, "rb") as f:
            return f.read()

    def test_csv_has_a_bom_the_separator_given_quotes_and_a_formula_guard(self):
        for separator in (",", ";"):
            data = self.export("csv", separator)
            self.assertTrue(data.startswith(b"\xef\xbb\xbf"))
            rows = list(csv.reader(io.StringIO(data[3:].decode("utf-8"), newline=""), delimiter=separator))
            self.assertEqual(["Time", "Code", "Row"], rows[0])
            # No raw control character: each by its name, as the window shows it.
            named = [c.replace("\r\n", "{ENTER}").replace("\t", "{TAB}") for c in TRICKY]
            guarded = ["'" + c if c[0] in "=+-@" else c for c in named]
            self.assertEqual(guarded, [r[1] for r in rows[1:]])
            self.assertNotRegex(data.decode("utf-8").replace("\r\n", ""), "[\x00-\x1f\x7f]")
            self.assertEqual(str(ROW_TIME + datetime.timedelta(seconds=1)), rows[2][0])
            # A guarded field is quoted: a lone ' before an unquoted field is not enough where ";" splits.
            self.assertIn(separator + "\"'=1+1\"" + separator, data.decode("utf-8"))

    def test_xlsx_keeps_every_code_as_a_text_cell_and_the_time_as_a_date(self):
        data = self.export("xlsx")
        self.assertIsNone(zipfile.ZipFile(io.BytesIO(data)).testzip())
        sheet = openpyxl.load_workbook(io.BytesIO(data)).active
        rows = list(sheet.iter_rows())
        self.assertEqual(["Time", "Code", "Row"], [c.value for c in rows[0]])
        self.assertEqual(TRICKY, [r[1].value for r in rows[1:]])
        self.assertEqual(["s"] * len(TRICKY), [r[1].data_type for r in rows[1:]])
        self.assertTrue(all(r[0].is_date for r in rows[1:]))
        self.assertEqual(ROW_TIME, rows[1][0].value)
        self.assertEqual(ROW_TIME + datetime.timedelta(seconds=1), rows[2][0].value)

    def test_the_zip_container_reads_back_whole(self):
        data = self.export("zip")
        archive = zipfile.ZipFile(io.BytesIO(data))
        self.assertIsNone(archive.testzip())
        self.assertEqual(["empty", "dir/text.txt", "noise.bin"], archive.namelist())
        self.assertEqual(b"", archive.read("empty"))
        self.assertEqual("".join("line %d\n" % i for i in range(5000)).encode(), archive.read("dir/text.txt"))
        self.assertEqual(300000, len(archive.read("noise.bin")))


if __name__ == "__main__":
    unittest.main(verbosity=2)
