#!/usr/bin/env python3
"""The tray tells the truth and takes commands: status icons, the device
watch, the tray menu, restart and exit, end to end under Wine."""
import os
import re
import shutil
import subprocess
import time

import unittest

import harness
import norza
import tray
from harness import scanctl, wait_for

WM_COMMAND, WM_CLOSE = "0x111", "0x10"
ID_TRAY_QR, ID_TRAY_RESTART, ID_TRAY_EXIT, ID_TRAY_PDF417 = (harness.ID(n) for n in (
    "ID_TRAY_QR", "ID_TRAY_RESTART", "ID_TRAY_EXIT", "ID_TRAY_PDF417"))
WM_TRAY_NOTIFY, IDI_APP = harness.ID("WM_TRAY_NOTIFY"), harness.IDS["IDI_APP"]
NIN_KEYSELECT, WM_CONTEXTMENU = 0x401, 0x7B
SILENCED = ["setQRable 0", "setDMable 0", "setBarcode 0", "setPDF417 0"]
REENABLED = ["setQRable 1", "setDMable 1", "setBarcode 1", "setPDF417 1"]


class TrayCase(norza.NorzaCase):
    def run_norza(self, flags=(1, 1, 1, 1)):
        self.write("typeSet.ini", "[TYPE]\nQR=%d\nDM=%d\nBarcode=%d\nPDF417=%d\n" % flags)
        self.proc = self.start_norza()
        return self.proc

    def command(self, command_id):
        norza.wintool("post", self.tray_hwnd(), WM_COMMAND, command_id, "0")

    def count(self, call):
        return self.journal().count(call)

    def typing(self, code, hold_off=3000):
        """Starts the program with a key delay of 150 ms and the hold-off,
        and a decode of the code typed into the typing target; returns the
        target and the decode's sender, once the typing has begun. The
        journal from the decode on starts at self.before."""
        self.write("configDecodeTime.ini", str(hold_off))
        self.write("typeSet.ini", "[TYPE]\nEnter=1\n[OUTPUT]\nKeyDelay=150\nNotices=0\n")
        self.proc = self.start_norza()
        target = self.typing_target()
        self.before = len(self.journal())
        sender = self.start(os.path.join(harness.BIN_DIR, "scanctl.exe"), "decode", "qr", code)
        wait_for(lambda: len(target.text()) >= 2, what="the typing to begin")
        return target, sender

    def restart_and_wait(self):
        old_hwnd = self.tray_hwnd()
        before = len(self.journal())
        self.command(ID_TRAY_RESTART)
        self.proc.wait(30)
        wait_for(lambda: "SetBeep 1" in self.journal()[before:], timeout=30,
                 what="the new process to start")
        calls = self.engine_calls(before)
        self.assertEqual("ReleaseDevice", calls[0])
        self.assertLess(calls.index("ReleaseDevice"), calls.index("StartDevice"))
        self.assertNotEqual(old_hwnd, self.tray_hwnd())
        wait_for(harness.engine_running, timeout=20, what="the new engine pipe")
        return calls

    def screenshot(self, name):
        if os.environ.get("NORZA_SCREENSHOTS"):
            subprocess.run(["import", "-window", "root", "%s/%s-cp%d.png" % (
                os.environ["NORZA_SCREENSHOTS"], name, harness.CODEPAGE)], env=harness.wine_env())


class StatusIcon(TrayCase):
    def test_icon_follows_the_enabled_symbologies_and_shows_a_code_not_typed(self):
        self.write("typeSet.ini", "[TYPE]\nQR=0\nDM=0\nBarcode=0\nPDF417=1\nEnter=0\n")
        # Windows' accessibility setting: every sound is to be seen as well.
        show_sounds = r"HKCU\Control Panel\Accessibility\ShowSounds"
        self.assertEqual(0, harness.run("reg", "add", show_sounds, "/v", "On", "/d", "1", "/f")[0])
        self.addCleanup(harness.run, "reg", "add", show_sounds, "/v", "On", "/d", "0", "/f")
        trace = os.path.join(self.folder, "winmm-trace.txt")
        self.proc = self.start_norza(trace=("trace+winmm", trace))
        tray.wait_icon("mixed")            # PDF417 alone has no icon of its own
        self.command(ID_TRAY_PDF417)
        tray.wait_icon("none_enabled")
        self.assertEqual("setPDF417 0", self.engine_calls()[-1])
        self.command(ID_TRAY_QR)
        tray.wait_icon("qr_only")

        # The sound events, registered for the user at the start, with the
        # program's own sounds: a new install sounds only when a code is not typed.
        events = norza.reg_values(r"HKCU\AppEvents\Schemes\Apps\Norza")
        wav = harness.winpath(os.path.join(self.folder, "not_typed.wav")).lower()
        self.assertEqual(wav, events[r"NorzaNotTyped\.Current"].lower())
        self.assertEqual(wav.replace("not_typed", "duplicate"), events[r"NorzaScannedBefore\.Default"].lower())
        self.assertEqual("", events[r"NorzaTyped\.Current"])
        labels = norza.reg_values(r"HKCU\AppEvents\EventLabels")
        self.assertEqual(norza.text("sound_not_typed"), labels["NorzaNotTyped"])

        # Not typed (the tray window in front): the event is played and the
        # icon shows it for about two seconds.
        self.assertEqual(0, norza.wintool("foreground", self.tray_hwnd())[0])
        self.assertEqual(0, scanctl("decode", "qr", "not-typed")[0])
        shown = tray.wait_icon("not_typed", timeout=3)
        tray.wait_icon("qr_only", timeout=6)
        self.assertGreater(time.time() - shown, 1.0)
        def played():
            with open(trace, errors="replace") as f:
                return re.findall(r'proc_PlaySound SoundName=L"(\w+)"|fccType=(WAVE)', f.read())
        # Wine found the event's file through the registry and read it as a WAV file.
        self.assertEqual([("NorzaNotTyped", ""), ("", "WAVE")],
                         wait_for(lambda: len(played()) == 2 and played(), what="PlaySound in the trace"))

        # Typed: its event has no sound, nothing is played or shown.
        target = self.typing_target()
        self.assertEqual(0, scanctl("decode", "qr", "typed")[0])
        target.wait_text("typed")
        time.sleep(0.5)
        self.assertEqual("qr_only", tray.shown_icon())
        self.assertEqual(2, len(played()))
        # The user gives it a sound: heard, and seen on the icon and in a notice.
        self.assertEqual(0, harness.run("reg", "add", r"HKCU\AppEvents\Schemes\Apps\Norza\NorzaTyped\.Current",
                                        "/ve", "/d", harness.winpath(os.path.join(self.folder, "typed.wav")),
                                        "/f")[0])
        self.assertEqual(0, scanctl("decode", "qr", "-heard")[0])
        tray.wait_icon("typed", timeout=3)
        norza.wait_balloon("notice_typed")
        self.assertEqual(("NorzaTyped", ""), played()[2])
        self.quit(self.proc)

    def test_app_icon_until_the_first_status_tick_and_when_start_failed(self):
        self.write("vistrel.ini", "[device]\nstart-result=0\n")
        proc = self.start_norza(until="StartDevice")
        tray.wait_icon("app")
        time.sleep(1.5)
        self.assertEqual("app", tray.shown_icon())   # no status timer until the engine starts
        norza.wait_balloon("start_failed")
        self.quit(proc)


class Menu(TrayCase):
    def test_menu_shows_the_flags_and_toggles_qr(self):
        self.run_norza(flags=(1, 0, 1, 0))
        tray.wait_icon("mixed")
        menu = tray.Menu()
        self.screenshot("tray-menu")
        self.assertEqual([True, False, True] + [False] * 4, menu.checked())
        menu.click(0)
        wait_for(lambda: "setQRable 0" in self.journal(), what="QR switched off")
        tray.wait_icon("barcode_only", timeout=3)

        menu = tray.Menu()
        self.assertEqual([False, False, True] + [False] * 4, menu.checked())
        menu.click(0)
        wait_for(lambda: self.journal().count("setQRable 1") == 2, what="QR back on")
        self.quit(self.proc)

    def test_the_keyboard_opens_the_menu_at_the_icon_and_chooses_from_it(self):
        # What the shell sends a version 4 icon for Enter or Space, and for
        # Shift+F10 or the menu key: the event and the icon in lParam, the
        # icon's anchor in wParam.
        self.run_norza(flags=(1, 0, 1, 0))
        tray.wait_icon("mixed")
        for event, expected in ((NIN_KEYSELECT, "setQRable 0"), (WM_CONTEXTMENU, "setQRable 1")):
            def open_with(x, y, event=event):
                norza.wintool("post", self.tray_hwnd(), WM_TRAY_NOTIFY, str(y << 16 | x),
                              str(IDI_APP << 16 | event))
            before = len(self.journal())
            tray.Menu(open_with=open_with)
            harness.xdotool("key", "Down", "Return")
            wait_for(lambda: expected in self.journal()[before:], what=expected)
        self.quit(self.proc)

    def test_the_foreground_goes_back_to_notepad_after_a_command(self):
        self.write("typeSet.ini", "[TYPE]\nQR=1\nDM=1\nEnter=0\n")
        self.proc = self.start_norza()
        self.start("notepad")
        notepad = wait_for(lambda: [w for w in norza.windows() if w["cls"] == "Notepad"],
                           timeout=30, what="notepad")[0]
        # Off the system tray, which it covers where it opens; its X window
        # may come a moment after the Windows one.
        def moved():
            xids = harness.xdotool("search", "--onlyvisible", "--class", "notepad.exe")
            for xid in xids:
                harness.xdotool("windowmove", xid, "200", "200")
            return xids and all("200,200" in harness.xdotool("getwindowgeometry", xid) for xid in xids)
        wait_for(moved, what="notepad moved off the system tray")
        wait_for(lambda: self.foreground() == notepad["hwnd"], what="notepad in front")
        tray.Menu().click(0)
        wait_for(lambda: "setQRable 0" in self.journal(), what="QR switched off")
        wait_for(lambda: self.foreground() == notepad["hwnd"], what="notepad in front again")
        window = [w for w in norza.windows() if w["hwnd"] == self.tray_hwnd().lower()][0]
        self.assertFalse(window["visible"])   # shown only while its menu was open

        self.assertEqual(0, scanctl("decode", "dm", "back in notepad")[0])
        edit = [c["hwnd"] for c in notepad["children"] if c["cls"].lower() == "edit"][0]
        wait_for(lambda: norza.wintool("text", edit)[1] == "back in notepad", what="the text in notepad")
        self.quit(self.proc)

    def foreground(self):
        return norza.wintool("foreground")[1].strip()

    def test_a_menu_opened_mid_typing_takes_no_key_and_runs_no_command(self):
        # Each q would pick the QR item, the Enter suffix run the item picked.
        code = "q" * 30
        target, sender = self.typing(code)
        before = self.before
        menu = tray.Menu()
        self.assertEqual(0, sender.wait(60))   # typed as far as it went, held off, over
        self.assertTrue(menu._find_rows(), "the menu closed")
        self.assertTrue(2 <= len(target.text()) < len(code), target.text())
        menu.close()
        self.assertIsNone(self.proc.poll())
        self.assertEqual(SILENCED + REENABLED, self.engine_calls(before))
        self.quit(self.proc)

    def test_pdf417_only_shows_no_check_marks(self):
        self.run_norza(flags=(0, 0, 0, 1))
        menu = tray.Menu()
        self.assertEqual([False] * tray.MENU_ITEMS, menu.checked())
        menu.close()
        self.quit(self.proc)

    def test_exit_removes_the_icon_and_releases_the_device(self):
        self.run_norza()
        tray.Menu().click(tray.MENU_ITEMS - 1)   # Exit
        self.proc.wait(30)
        self.assertEqual(1, self.count("ReleaseDevice"))
        wait_for(lambda: not norza.tray_visible(), what="the icon to go")


class DeviceWatch(TrayCase):
    def test_unplug_and_plug(self):
        self.run_norza(flags=(0, 1, 0, 0))
        tray.wait_icon("dm_only")
        scanctl("unplug")
        self.poll_device()
        tray.wait_icon("no_device")
        wait_for(lambda: self.count("ReleaseLostDevice") == 1, timeout=4, what="the release")
        balloon = norza.wait_balloon("device_lost")
        for _ in range(2):   # the device stays away over two more polls
            self.poll_device()
        self.assertEqual(1, self.count("ReleaseLostDevice"))
        self.assertEqual("no_device", tray.shown_icon())
        # A notice sent again would have replaced the balloon by a new one.
        self.assertEqual([balloon], [h for h, _ in norza.balloons()])

        before = len(self.journal())
        scanctl("plug")
        self.poll_device()
        wait_for(lambda: "SetBeep 1" in self.journal()[before:], timeout=4, what="a restart")
        after = self.engine_calls(before)
        self.assertEqual(["StartDevice", "SetBeep 1"], after)
        tray.wait_icon("dm_only", timeout=3)
        norza.wait_balloon("device_back")
        self.quit(self.proc)

    def test_failing_start_is_retried_and_odd_results_count_as_started(self):
        self.run_norza()
        scanctl("unplug")
        self.poll_device()
        wait_for(lambda: self.count("ReleaseLostDevice") == 1, timeout=4, what="the release")
        scanctl("start-result", "0")
        scanctl("plug")
        for _ in range(2):
            self.poll_device()
        wait_for(lambda: self.count("StartDevice") >= 3, timeout=8, what="two retries")
        self.assertEqual("no_device", tray.shown_icon())

        scanctl("start-result", "2")
        starts = self.count("StartDevice")
        self.poll_device()
        wait_for(lambda: self.count("StartDevice") == starts + 1, timeout=4, what="a start")
        tray.wait_icon("mixed", timeout=3)
        self.poll_device()
        self.assertEqual(starts + 1, self.count("StartDevice"))
        self.assertEqual(self.count("StartDevice"), self.count("SetBeep 1"))
        self.quit(self.proc)

    def test_start_without_a_scanner_that_still_starts(self):
        self.write("vistrel.ini", "[device]\nattached=0\nstart-result=1\n")
        self.run_norza(flags=(1, 0, 0, 0))
        self.assertEqual("no_device", tray.shown_icon())
        tray.wait_icon("qr_only", timeout=3)      # the first status tick
        tray.wait_icon("no_device", timeout=4)    # the first device poll
        wait_for(lambda: self.count("ReleaseLostDevice") == 1, timeout=2, what="the release")
        self.quit(self.proc)
        self.assertEqual(1, self.count("ReleaseDevice"))   # released once more on close

    def test_toggle_while_lost_keeps_the_no_device_icon(self):
        self.run_norza()
        scanctl("unplug")
        self.poll_device()
        tray.wait_icon("no_device")
        self.command(ID_TRAY_QR)
        wait_for(lambda: "setQRable 0" in self.journal(), what="the toggle")
        time.sleep(1.5)
        self.assertEqual("no_device", tray.shown_icon())
        scanctl("plug")
        self.poll_device()
        tray.wait_icon("mixed")   # DM, Barcode and PDF417 still on
        self.quit(self.proc)

    def test_unplug_plug_cycles_keep_counts_exact_and_memory_flat(self):
        cycles = int(os.environ.get("NORZA_PLUG_CYCLES", "3"))
        self.run_norza()
        tray.wait_icon("mixed")
        first = None
        for i in range(1, cycles + 1):
            scanctl("unplug")
            self.poll_device()
            wait_for(lambda: self.count("ReleaseLostDevice") == i, timeout=5, what="release %d" % i)
            scanctl("plug")
            self.poll_device()
            wait_for(lambda: self.count("StartDevice") == i + 1, timeout=5, what="start %d" % i)
            if i == 1:   # after the first cycle has loaded everything it needs
                tray.wait_icon("mixed", timeout=3)
                first = resident_kb(self.proc.pid)
        tray.wait_icon("mixed", timeout=3)
        self.assertEqual(0, scanctl("state")[0])
        last = resident_kb(self.proc.pid)
        print("resident memory after %d cycles: %d kB (after the first: %d kB)" % (cycles, last, first))
        self.assertLess(last, first + 2048)
        self.quit(self.proc)


class DuringADecode(TrayCase):
    """The toggles, the device watch, closing, Restart and Exit while a code
    is typed or held off act between engine calls, never inside one (every
    test's journal is looked at for calls made inside a decode message)."""

    def test_toggles_the_device_watch_and_closing_wait_for_no_engine_call(self):
        code = "0123456789" * 3
        target, sender = self.typing(code, hold_off=4000)
        before = self.before
        self.command(ID_TRAY_QR)   # while typing
        scanctl("unplug")
        wait_for(lambda: "ReleaseLostDevice" in self.journal()[before:], timeout=6, what="the device watch")
        self.assertEqual(0, sender.wait(30))   # the device stopped: the decode is over for the engine
        scanctl("plug")
        target.wait_text(code + "\r\n", timeout=30)
        self.command(ID_TRAY_QR)   # while held off
        wait_for(lambda: "SetBeep 1" in self.journal()[before:], timeout=8, what="the device back")
        wait_for(lambda: "setPDF417 1" in self.journal()[before:], timeout=10, what="the end of the hold-off")
        calls = self.engine_calls(before)
        device = ["ReleaseLostDevice", "StartDevice", "SetBeep 1"]
        self.assertEqual(device, [c for c in calls if c in device])
        self.assertEqual(SILENCED + REENABLED, [c for c in calls if c not in device])

        # Closed as setup closes it, during the next decode's hold-off.
        before = len(self.journal())
        self.start(os.path.join(harness.BIN_DIR, "scanctl.exe"), "decode", "qr", "x")
        target.wait_text(code + "\r\nx\r\n")
        norza.wintool("post", self.tray_hwnd(), WM_CLOSE, "0", "0")
        self.proc.wait(30)
        self.assertEqual(SILENCED + ["ReleaseDevice"], self.engine_calls(before))

    def test_restart_while_typing_and_while_held_off_then_closing_while_typing(self):
        code = "0123456789" * 3
        target, sender = self.typing(code, hold_off=4000)
        target_hwnd = [w["hwnd"] for w in norza.windows() if w["cls"] == "NorzaTypingTarget"][0]
        self.restart_and_wait()
        self.assertEqual(0, sender.wait(30))
        typed = target.text()
        self.assertTrue(code.startswith(typed) and len(typed) < len(code), typed)

        # The copy that started: restarted while held off, and that one's
        # copy closed as setup closes it, while typing.
        for end in ("restart", "close"):
            self.assertEqual(0, norza.wintool("foreground", target_hwnd)[0])
            hwnd, before = self.tray_hwnd(), len(self.journal())
            sender = self.start(os.path.join(harness.BIN_DIR, "scanctl.exe"), "decode", "qr", code)
            if end == "restart":
                target.wait_text(typed + code + "\r\n", timeout=30)
                self.restart_and_wait()
                typed = target.text()
            else:
                wait_for(lambda: len(target.text()) >= len(typed) + 2, what="the typing to begin")
                norza.wintool("post", hwnd, WM_CLOSE, "0", "0")
            self.assertEqual(0, sender.wait(30))
            wait_for(lambda: "ReleaseDevice" in self.journal()[before:], what="the release")
            self.assertEqual(SILENCED + ["ReleaseDevice"], self.engine_calls(before)[:5])
        wait_for(lambda: not [w for w in norza.windows() if w["hwnd"] == hwnd.lower()],
                 timeout=20, what="the last copy to end")
        self.assertLess(len(target.text()), len(typed) + len(code))

    def test_exit_while_held_off(self):
        self.write("configDecodeTime.ini", "5000")
        self.run_norza()
        self.assertEqual(0, norza.wintool("foreground", self.tray_hwnd())[0])   # nothing to type
        before = len(self.journal())
        self.start(os.path.join(harness.BIN_DIR, "scanctl.exe"), "decode", "qr", "x")
        wait_for(lambda: "setPDF417 0" in self.journal()[before:], what="the decode")
        self.command(ID_TRAY_EXIT)
        self.proc.wait(30)
        self.assertEqual(SILENCED + ["ReleaseDevice"], self.engine_calls(before))


def resident_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        return int(re.search(r"VmRSS:\s+(\d+)", f.read())[1])


class Restart(TrayCase):
    def quit_new_process(self):
        hwnd = self.tray_hwnd()
        self.assertEqual(0, scanctl("quit")[0])
        wait_for(lambda: not [w for w in norza.windows() if w["hwnd"] == hwnd.lower()],
                 timeout=20, what="the new process to end")

    def test_restart_replaces_the_process(self):
        self.run_norza()
        self.restart_and_wait()
        self.assertTrue(norza.tray_visible())
        self.quit_new_process()

    def test_restart_from_a_folder_with_spaces_starts_only_itself(self):
        base = os.path.join(self.folder, "My Apps")
        home = os.path.join(base, "Norza Scanner")
        shutil.copytree(harness.BIN_DIR, home, copy_function=harness.link)
        decoys = [os.path.join(self.folder, "My.exe"), os.path.join(base, "Norza.exe")]
        for decoy in decoys:
            shutil.copy2(os.path.join(harness.TOOLS_DIR, "marker.exe"), decoy)
        self.exe = os.path.join(home, "Norza.exe")
        self.journal_path = os.path.join(home, "vistrel.journal")
        self.proc = self.start_norza(cwd=home)
        self.restart_and_wait()
        time.sleep(1)
        self.assertEqual([], [d for d in decoys if os.path.exists(d + ".started")])
        self.quit_new_process()


if __name__ == "__main__":
    unittest.main(verbosity=2)
