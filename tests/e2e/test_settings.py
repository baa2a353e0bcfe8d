#!/usr/bin/env python3
"""The settings window end to end: opened from the tray menu, it writes both
settings files in place, both or neither, refuses what is not valid, and
what it applies is in force at once, without a restart."""
import os
import subprocess
import unittest

import harness
import norza
from harness import scanctl, wait_for

WM_COMMAND, WM_KEYDOWN, BM_CLICK, BM_GETCHECK, TCM_GETCURSEL = "0x111", "0x100", "0xf5", "0xf0", "0x130b"
ID_TRAY_SETTINGS = harness.ID("ID_TRAY_SETTINGS")
IDOK = 1
(IDC_ENTER, IDC_PREFIX, IDC_SUFFIX, IDC_KEYDELAY, IDC_HOLDOFF, IDC_AUTOSTART, IDC_RELOAD,
 IDC_APPLY, IDC_RULES, IDC_TABS) = harness.ids(
    "IDC_SET_ENTER IDC_SET_PREFIX IDC_SET_SUFFIX IDC_SET_KEYDELAY IDC_SET_HOLDOFF IDC_SET_AUTOSTART "
    "IDC_SET_RELOAD IDC_SET_APPLY IDC_SET_RULES IDC_SET_TABS")
IDC_RULES_ADD, IDC_RULES_SAMPLE, IDC_RULES_PROGRAM, IDC_RULES_RESULT = harness.ids(
    "IDC_RULES_ADD IDC_RULES_SAMPLE IDC_RULES_PROGRAM IDC_RULES_RESULT")
IDC_RULE_MATCH, IDC_RULE_PROGRAM, IDC_RULE_OUTPUT = harness.ids("IDC_RULE_MATCH IDC_RULE_PROGRAM IDC_RULE_OUTPUT")
IDC_PROGRAMS_EDIT, IDC_PROG_SET_KEYDELAY, IDC_PROG_KEYDELAY = harness.ids(
    "IDC_PROGRAMS_EDIT IDC_PROG_SET_KEYDELAY IDC_PROG_KEYDELAY")
IDC_SND_MODE, IDC_SND_TEST_TYPED, IDC_SND_TEST_NOT_TYPED, IDC_SND_STATUS = harness.ids(
    "IDC_SND_MODE IDC_SND_TEST_TYPED IDC_SND_TEST_NOT_TYPED IDC_SND_STATUS")
CB_SETCURSEL, CBN_SELCHANGE = "0x14e", 1
IDC_DUP_SCOPE, IDC_DUP_ACTION = harness.ids("IDC_SET_DUP_SCOPE IDC_SET_DUP_ACTION")
IDC_SET_TARGET_WAIT_SECONDS = harness.IDS["IDC_SET_TARGET_WAIT_SECONDS"]

# The files as a user keeps them: comments in the code page, keys and a
# section the window does not know.
CODEC = "gbk" if harness.CODEPAGE == 936 else "cp1252"
COMMENT = ("设置" if harness.CODEPAGE == 936 else "réglages").encode(CODEC)
TYPESET = (b"; Norza " + COMMENT + b"\r\n[TYPE]\r\nQR=1\r\nDM=1\r\nBarcode=1\r\nPDF417=1\r\n"
           b"Enter=1\r\nScanner=7\r\n\r\n[OUTPUT]\r\n; after each code\r\nKeyDelay=0\r\n\r\n"
           b"[SHOP]\r\nTill=3\r\n")
DECODE_TIME = b"300\r\n; " + COMMENT + b"\r\n"


class SettingsCase(norza.NorzaCase):
    typeset, decode_time = TYPESET, DECODE_TIME

    def setUp(self):
        super().setUp()
        self.write("typeSet.ini", self.typeset)
        self.write("configDecodeTime.ini", self.decode_time)
        self.proc = self.start_norza()

    def open_window(self):
        norza.wintool("post", self.tray_hwnd(), WM_COMMAND, ID_TRAY_SETTINGS, "0")
        return wait_for(lambda: self.windows(), what="the settings window")[0]

    def windows(self):
        """The settings window once shown, its pages made."""
        return [w for w in norza.windows() if w["title"] == norza.text("settings_title") and w["visible"]
                and any(c["id"] == IDC_APPLY for c in w["children"])]

    def control(self, window, control_id):
        return norza.page_control(window, control_id)

    def set_text(self, window, control_id, text):
        self.assertEqual(0, norza.wintool("settext", self.control(window, control_id), text)[0])

    def click(self, window, control_id):
        norza.wintool("post", self.control(window, control_id), BM_CLICK, "0", "0")

    def boxes(self):
        return [w for w in norza.windows() if w["title"] == norza.text("settings_title")
                and w["visible"] and not any(c["id"] == IDC_APPLY for c in w["children"])]

    def message(self):
        """The text of the message box the window shows; closes it."""
        box = wait_for(self.boxes, what="a message box")[0]
        text = " ".join(c["text"] for c in box["children"] if c["cls"] == "Static")
        norza.wintool("post", box["hwnd"], WM_COMMAND, str(IDOK), "0")
        wait_for(lambda: box["hwnd"] not in [w["hwnd"] for w in norza.windows()], what="the box to close")
        return text

    def read(self, name):
        with open(os.path.join(self.folder, name), "rb") as f:
            return f.read()

    # A user's own files by the names a writer might take for its scratch files.
    USER_FILES = ["typeSet.ini.bak", "typeSet.ini.new", "configDecodeTime.ini.bak"]

    def dialog(self, title):
        return wait_for(lambda: [w for w in norza.windows() if w["title"] == norza.text(title)
                                 and w["visible"]], what=title)[0]

    def new_rule(self, window):
        """Opens the rules window from the settings window, and a new rule in it."""
        self.click(window, IDC_RULES)
        rules = self.dialog("rules_title")
        self.click(rules, IDC_RULES_ADD)
        return rules, self.dialog("rule_title")

    def refusal(self, dialog, title, text):
        """Checks the message box a dialog refuses a value with; closes it."""
        box = wait_for(lambda: [w for w in norza.windows() if w["title"] == norza.text(title)
                                and w["hwnd"] != dialog["hwnd"] and w["visible"]], what="the refusal")[0]
        self.assertIn(norza.text(text), " ".join(c["text"] for c in box["children"]))
        norza.wintool("post", box["hwnd"], WM_COMMAND, str(IDOK), "0")

    def leftovers(self):
        return [n for n in os.listdir(self.folder) if n.startswith(("typeSet.ini.", "configDecodeTime.ini."))
                and n not in self.USER_FILES]

    def screenshot(self, window, name="settings"):
        if os.environ.get("NORZA_SCREENSHOTS"):
            left, top, right, bottom = window["rect"]
            subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
                right - left, bottom - top, left, top), "+repage", "%s/%s-cp%d.png" % (
                os.environ["NORZA_SCREENSHOTS"], name, harness.CODEPAGE)], env=harness.wine_env())


class Apply(SettingsCase):
    def test_apply_writes_in_place_and_takes_effect_at_once(self):
        target = self.typing_target(fields=2)
        norza.wintool("post", self.tray_hwnd(), WM_COMMAND, ID_TRAY_SETTINGS, "0")
        window = self.open_window()   # asked twice: still one window, in front
        self.assertEqual(1, len(self.windows()))
        self.assertEqual(window["hwnd"], norza.wintool("foreground")[1].strip())
        self.screenshot(window)

        # The keyboard: Ctrl+Tab turns the page, an access key reaches a field
        # of the page in front only, and Tab goes on from there.
        hwnds = {c["id"]: c["hwnd"] for c in window["children"]}
        text = lambda control_id: norza.wintool("text", hwnds[control_id])[1]
        page = lambda: norza.wintool("send", hwnds[IDC_TABS], TCM_GETCURSEL, "0", "0")[1].strip()
        harness.xdotool("key", "ctrl+Tab")
        wait_for(lambda: page() == "1", what="the second page")
        harness.xdotool("key", "alt+s", "a", "alt+h", "b", "Tab", "9")
        wait_for(lambda: (text(IDC_SUFFIX), text(IDC_KEYDELAY)) == ("ab", "9"),
                 what="the keys in the suffix and the key delay, not %r" % [text(IDC_SUFFIX), text(IDC_KEYDELAY)])
        self.assertEqual("300", text(IDC_HOLDOFF))
        harness.xdotool("key", "ctrl+shift+Tab")
        wait_for(lambda: page() == "0", what="the first page again")

        # A hand edit while the window is open shows on Reload, and stays.
        edited = TYPESET.replace(b"KeyDelay=0", b"KeyDelay=5")
        self.write("typeSet.ini", edited)
        self.click(window, IDC_RELOAD)
        wait_for(lambda: norza.wintool("text", self.control(window, IDC_KEYDELAY))[1] == "5",
                 what="the reloaded key delay")

        for name in self.USER_FILES:
            self.write(name, name + " is mine")
        self.set_text(window, IDC_SUFFIX, "{TAB}")
        self.set_text(window, IDC_HOLDOFF, "150")
        self.click(window, IDC_APPLY)
        wait_for(lambda: "SetDecodeTime 150" in self.journal(), what="the new hold-off")
        self.assertEqual(edited.replace(b"KeyDelay=5\r\n", b"KeyDelay=5\r\nSuffix={TAB}\r\n"),
                         self.read("typeSet.ini"))
        self.assertEqual(b"150\r\n; " + COMMENT + b"\r\n", self.read("configDecodeTime.ini"))
        self.assertEqual([], self.leftovers())
        for name in self.USER_FILES:
            self.assertEqual((name + " is mine").encode(), self.read(name))

        # The window in front is the program's own: a code is not typed into it.
        self.assertEqual(0, scanctl("decode", "qr", "hidden")[0])
        norza.wait_balloon("notice_self")
        self.assertEqual("", target.text())

        front = [w["hwnd"] for w in norza.windows() if w["cls"] == "NorzaTypingTarget"][0]
        self.assertEqual(0, norza.wintool("foreground", front)[0])
        self.assertEqual(0, scanctl("decode", "qr", "123")[0])
        wait_for(lambda: target.report()["focus"] == 1, what="the focus in the second field")
        self.assertEqual("123", target.text(0))
        self.assertEqual(1, self.journal().count("StartDevice"))   # no restart

        # Esc closes the window, as Cancel.
        norza.wintool("post", self.control(window, IDC_HOLDOFF), WM_KEYDOWN, "0x1b", "0")
        wait_for(lambda: not self.windows(), what="the window to close")
        self.quit(self.proc)

    def test_a_change_of_warn_when_enables_then_at_once(self):
        window = self.open_window()
        scope = self.control(window, IDC_DUP_SCOPE)
        page = [c["parent"] for c in window["children"] if c["id"] == IDC_DUP_SCOPE][0]
        self.assertFalse(norza.controls(page)[IDC_DUP_ACTION][0])
        # As the list tells its page of a choice made with the mouse or keys.
        norza.wintool("send", scope, CB_SETCURSEL, "1", "0")
        norza.wintool("post", page, WM_COMMAND, str(CBN_SELCHANGE << 16 | IDC_DUP_SCOPE), scope)
        wait_for(lambda: norza.controls(page)[IDC_DUP_ACTION][0], what="Then enabled")

    def test_a_chinese_prefix_typed_in_the_window_is_stored_and_typed_exactly(self):
        window = self.open_window()
        # The Sounds page's Test buttons play as the page shows it, saved or
        # not: by default a code typed has no sound in the scheme.
        status = self.control(window, IDC_SND_STATUS)
        silent = norza.text("sound_silent")
        for mode, button, shown in ((0, IDC_SND_TEST_TYPED, silent), (0, IDC_SND_TEST_NOT_TYPED, ""),
                                    (2, IDC_SND_TEST_NOT_TYPED, silent), (1, IDC_SND_TEST_TYPED, "")):
            norza.wintool("send", self.control(window, IDC_SND_MODE), CB_SETCURSEL, str(mode), "0")
            self.click(window, button)
            wait_for(lambda: norza.wintool("text", status)[1] == shown, what="%r after a test" % shown)
        # Typed, not set: the characters pass the program's message loop.
        norza.wintool("chars", self.control(window, IDC_PREFIX), "编号:")
        wait_for(lambda: norza.wintool("text", self.control(window, IDC_PREFIX))[1] == "编号:",
                 what="the typed prefix")
        self.click(window, IDC_ENTER)
        self.click(window, IDOK)
        wait_for(lambda: not self.windows(), what="OK to close the window")
        stored = "编号:".encode("gbk") if harness.CODEPAGE == 936 else b"{U+7F16}{U+53F7}:"
        self.assertTrue(self.read("typeSet.ini").endswith(b"\r\n[SOUND]\r\nMode=always\r\n"))
        self.assertIn(b"\r\nEnter=0\r\n", self.read("typeSet.ini"))
        self.assertIn(b"\r\nKeyDelay=0\r\nPrefix=" + stored + b"\r\n", self.read("typeSet.ini"))
        target = self.typing_target()
        self.assertEqual(0, scanctl("decode", "qr", "A1")[0])
        target.wait_text("编号:A1")

        # Kept in UTF-8 behind a mark, the file stays so: the change is made
        # in place, in UTF-8, and a hand-written character no code page here
        # has is typed as it is.
        utf8 = "\ufeff" + TYPESET.decode(CODEC).replace("Enter=1", "Enter=0").replace(
            "KeyDelay=0", "KeyDelay=0\r\nSuffix=ő")
        self.write("typeSet.ini", utf8.encode("utf-8"))
        window = self.open_window()
        self.set_text(window, IDC_PREFIX, "号:")
        self.click(window, IDOK)
        wait_for(lambda: not self.windows(), what="OK to close the window")
        stored = "号:" if harness.CODEPAGE == 936 else "{U+53F7}:"
        self.assertEqual(utf8.replace("Suffix=ő\r\n", "Suffix=ő\r\nPrefix=%s\r\n" % stored).encode("utf-8"),
                         self.read("typeSet.ini"))
        front = [w["hwnd"] for w in norza.windows() if w["cls"] == "NorzaTypingTarget"][0]
        self.assertEqual(0, norza.wintool("foreground", front)[0])
        self.assertEqual(0, scanctl("decode", "qr", "A2")[0])
        target.wait_text("编号:A1号:A2ő")
        self.quit(self.proc)


class Refusals(SettingsCase):
    def test_invalid_input_and_an_unwritable_file_change_nothing(self):
        window = self.open_window()
        tabs = self.control(window, IDC_TABS)
        # Refused from the other page: the field's own comes to the front.
        cases = [(IDC_KEYDELAY, "500", "0", "200", 1), (IDC_HOLDOFF, "1x", "300", "5000", 0),
                 (IDC_PREFIX, "{X}", "", "{TAB}", 1)]
        for control_id, bad, good, named, page in cases:
            with self.subTest(value=bad):
                self.set_text(window, control_id, bad)
                norza.wintool("send", tabs, norza.TCM_SETCURFOCUS, str(1 - page), "0")
                self.click(window, IDC_APPLY)
                self.assertIn(named, self.message())
                self.assertEqual(str(page), norza.wintool("send", tabs, TCM_GETCURSEL, "0", "0")[1].strip())
                self.set_text(window, control_id, good)
        self.assertEqual((TYPESET, DECODE_TIME), (self.read("typeSet.ini"), self.read("configDecodeTime.ini")))

        # Both files or neither: the hold-off could be written, typeSet.ini not.
        path = os.path.join(self.folder, "typeSet.ini")
        os.chmod(path, 0o444)
        self.set_text(window, IDC_SUFFIX, "{TAB}")
        self.set_text(window, IDC_HOLDOFF, "400")
        self.click(window, IDC_APPLY)
        self.assertIn("typeSet.ini", self.message())
        os.chmod(path, 0o644)
        self.assertEqual((TYPESET, DECODE_TIME), (self.read("typeSet.ini"), self.read("configDecodeTime.ini")))
        self.assertEqual([], self.leftovers())
        self.assertEqual(["SetDecodeTime 300"], [c for c in self.journal() if c.startswith("SetDecodeTime")])

        # A message on screen does not hold the program open when it is asked to end.
        self.set_text(window, IDC_KEYDELAY, "x")
        self.click(window, IDC_APPLY)
        wait_for(self.boxes, what="the message")
        self.quit(self.proc)


class Rules(SettingsCase):
    def test_a_rule_added_and_tried_in_the_window_is_saved_and_in_force_at_once(self):
        kept = b"\r\n; test labels\r\nMatch=TEST.*\r\nAction=reject\r\n\r\n[OUTPUT:EXCEL.EXE]\r\nSuffix={ENTER}\r\n"
        self.write("typeSet.ini", TYPESET + b"\r\n[RULE5]" + kept)
        target = self.typing_target(fields=2)
        window = self.open_window()
        rules, rule = self.new_rule(window)
        self.set_text(rule, IDC_RULE_MATCH, "ID=(")
        self.set_text(rule, IDC_RULE_PROGRAM, "typetarget.exe")
        self.set_text(rule, IDC_RULE_OUTPUT, "$1{F2}{TAB}")
        self.click(rule, IDOK)   # refused: the pattern does not compile
        self.refusal(rule, "rule_title", "bad_match")
        # Thai, in neither code page: stored as an escape where the pattern
        # has no brace of its own, as the pattern's \uXXXX inside [...].
        self.set_text(rule, IDC_RULE_MATCH, r"ID=\w+;LOT=(\w+);ก[ขฃ].*")
        self.click(rule, IDOK)
        wait_for(lambda: rule["hwnd"] not in [w["hwnd"] for w in norza.windows()], what="the rule to be taken")

        # The program section there was (selected first) gains a key delay, once within bounds.
        self.click(rules, IDC_PROGRAMS_EDIT)
        program = self.dialog("program_title")
        self.click(program, IDC_PROG_SET_KEYDELAY)
        self.set_text(program, IDC_PROG_KEYDELAY, "500")
        self.click(program, IDOK)
        self.refusal(program, "program_title", "bad_keydelay")
        self.set_text(program, IDC_PROG_KEYDELAY, "20")
        self.click(program, IDOK)
        wait_for(lambda: program["hwnd"] not in [w["hwnd"] for w in norza.windows()], what="the section to be taken")

        # The test box: the rule, not yet saved, for its program only.
        result = lambda: norza.wintool("text", self.control(rules, IDC_RULES_RESULT))[1]
        for program, sample, expected in [
                ("other.exe", "ID=7;LOT=B7;EXP=2612", ["ID=7;LOT=B7;EXP=2612{SHIFT+ENTER}", norza.text("no_rule")]),
                ("typetarget.exe", "ID=7;LOT=A12;กขEXP=2601", ["A12{F2}{TAB}{SHIFT+ENTER}", norza.text("rule_matched")]),
                ("other.exe", "https://id.gs1.org/01/09506000134352/10/ABC%2D1?17=290630",
                 ["https://id.gs1.org/01/09506000134352/10/ABC%2D1?17=290630{SHIFT+ENTER}", norza.text("no_rule"),
                  norza.text("link_fields") % "(01)09506000134352(10)ABC-1(17)290630"])]:
            self.set_text(rules, IDC_RULES_PROGRAM, program)
            self.set_text(rules, IDC_RULES_SAMPLE, sample)
            wait_for(lambda: result().split("\r\n") == expected, what="%r in the test box, not %r" % (expected, result()))
        self.screenshot(rules, "rules")
        self.click(rules, IDOK)
        wait_for(lambda: rules["hwnd"] not in [w["hwnd"] for w in norza.windows()], what="the rules to close")
        self.click(window, IDOK)
        wait_for(lambda: not self.windows(), what="OK to close the window")
        # Numbered in list order: the rule there was keeps its comment under its new number.
        kept = kept.replace(b"Suffix={ENTER}\r\n", b"Suffix={ENTER}\r\nKeyDelay=20\r\n")
        self.assertEqual(TYPESET + b"\r\n[RULE1]" + kept + b"\r\n[RULE2]\r\n"
                         b"Match=ID=\\w+;LOT=(\\w+);{U+0E01}[\\u0E02\\u0E03].*\r\n"
                         b"Program=typetarget.exe\r\nOutput=$1{F2}{TAB}\r\n", self.read("typeSet.ini"))

        front = [w["hwnd"] for w in norza.windows() if w["cls"] == "NorzaTypingTarget"][0]
        self.assertEqual(0, norza.wintool("foreground", front)[0])
        # Marked as UTF-8: under 936 these bytes alone would read as Chinese.
        code = b"\xef\xbb\xbf" + "ID=7;LOT=A12;กฃEXP=2601".encode()
        self.assertEqual(0, scanctl("decode-hex", "qr", code.hex())[0])
        wait_for(lambda: target.report()["focus"] == 1, what="the focus in the second field")
        self.assertEqual("A12", target.text(0))
        self.assertEqual(1, self.journal().count("StartDevice"))   # no restart
        self.quit(self.proc)


class WhileADecodeRuns(SettingsCase):
    """The settings window and its dialogs opened while a code is typed or
    held off: they get none of it, and the scanner goes on."""
    typeset = TYPESET.replace(b"KeyDelay=0", b"KeyDelay=150\r\nNotices=0")
    decode_time = b"3000\r\n"

    def sender(self, code):
        return self.start(os.path.join(harness.BIN_DIR, "scanctl.exe"), "decode", "qr", code)

    def test_the_window_opened_mid_typing_gets_no_key(self):
        target = self.typing_target()
        code = "1234567890" * 3
        sender = self.sender(code)
        wait_for(lambda: len(target.text()) >= 2, what="the typing to begin")
        window = self.open_window()
        self.assertEqual(0, sender.wait(60))
        self.assertTrue(2 <= len(target.text()) < len(code), target.text())
        # The Enter would have pressed OK and saved the code in a field.
        self.assertEqual([window["hwnd"]], [w["hwnd"] for w in self.windows()])
        # Not the seconds a code may wait for its program, 120 unless set.
        texts = [norza.wintool("text", c["hwnd"])[1] for c in window["children"]
                 if c["cls"].lower() == "edit" and c["id"] != IDC_SET_TARGET_WAIT_SECONDS]
        self.assertEqual([], [t for t in texts if "12" in t])
        self.assertEqual(self.typeset, self.read("typeSet.ini"))
        self.quit(self.proc)

    def test_decodes_go_on_while_the_rules_window_and_a_message_box_are_open(self):
        self.start("notepad")
        notepad = wait_for(lambda: [w for w in norza.windows() if w["cls"] == "Notepad"], timeout=30,
                           what="notepad")[0]
        edit = [c["hwnd"] for c in notepad["children"] if c["cls"].lower() == "edit"][0]
        typed = lambda: norza.wintool("text", edit)[1]
        sender = self.sender("one")
        wait_for(lambda: typed() == "one\r\n", timeout=20, what="the first code in notepad")
        # Opened during its hold-off: they run message loops of their own.
        window = self.open_window()
        rules, rule = self.new_rule(window)
        self.set_text(rule, IDC_RULE_MATCH, "ID=(")
        self.click(rule, IDOK)
        box = wait_for(lambda: [w for w in norza.windows() if w["title"] == norza.text("rule_title")
                                and w["hwnd"] != rule["hwnd"] and w["visible"]], what="the message box")[0]
        self.assertEqual(0, norza.wintool("foreground", notepad["hwnd"])[0])
        self.assertEqual(0, sender.wait(30))   # the engine listens again
        for text, expected in (("two", "one\r\ntwo\r\n"), ("three", "one\r\ntwo\r\nthree\r\n")):
            self.assertEqual(0, scanctl("decode", "qr", text)[0])
            wait_for(lambda: typed() == expected, timeout=20, what=repr(expected) + " in notepad")
        for hwnd, command in ((box["hwnd"], IDOK), (rule["hwnd"], 2), (rules["hwnd"], 2), (window["hwnd"], 2)):
            norza.wintool("post", hwnd, WM_COMMAND, str(command), "0")
            wait_for(lambda: hwnd not in [w["hwnd"] for w in norza.windows()], what="the window to close")
        self.quit(self.proc)


class StartAtSignIn(SettingsCase):
    def shortcuts(self):
        return norza.startup_shortcuts()

    def tearDown(self):
        for link in self.shortcuts():   # nothing may start at a later sign-in of the shared prefix
            os.remove(link)
        super().tearDown()

    def test_the_startup_shortcut_starts_the_program_in_its_folder(self):
        window = self.open_window()
        self.click(window, IDC_AUTOSTART)
        self.click(window, IDOK)
        link = wait_for(self.shortcuts, what="the Startup shortcut")[0]
        self.quit(self.proc)

        before = len(self.journal())
        subprocess.run(["wine", "start", "/unix", link], env=harness.wine_env(), timeout=60,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: "SetBeep 1" in self.journal()[before:], timeout=30, what="the start at sign-in")
        self.assertIn("SetDecodeTime 300", self.journal()[before:])   # its folder's hold-off

        window = self.open_window()
        self.assertEqual("1", norza.wintool("send", self.control(window, IDC_AUTOSTART), BM_GETCHECK,
                                            "0", "0")[1].strip())
        self.click(window, IDC_AUTOSTART)
        self.click(window, IDC_APPLY)
        wait_for(lambda: not self.shortcuts(), what="the shortcut to go")
        self.assertEqual(0, scanctl("quit")[0])
        wait_for(lambda: not harness.engine_running(), timeout=30, what="the program to end")


if __name__ == "__main__":
    unittest.main(verbosity=2)
