#!/usr/bin/env python3
"""The main job end to end: each decode is converted, logged, typed into the
focused control of the foreground application, and followed by the hold-off."""
import os
import re
import subprocess
import tempfile
import time
import unittest

import harness
import norza
from harness import paced, scanctl, wait_for

STAMP = r"\[[ 1]\d-[ 1-3]\d [ 12]\d:[ 0-5]\d:[ 0-5]\d_[ \d]{2}\d\]"

SHIFT_ENTER = [("down", "10"), ("down", "0d"), ("up", "0d"), ("up", "10")]


def key_events(report):
    return [e for e in report["events"] if e[0] in ("down", "up")]


def gs1_datamatrix(ais):
    """What a scanner gives for a GS1 DataMatrix of the bracketed AIs, made by
    zint (which checks the data against its own table first) and read back by
    dmtxread: FNC1 as GS, the first one too."""
    with tempfile.TemporaryDirectory() as folder:
        png = os.path.join(folder, "code.png")
        made = subprocess.run(["zint", "-b", "71", "--gs1", "--scale=4", "--whitesp=4", "--vwhitesp=4",
                               "-d", ais, "-o", png], capture_output=True, text=True)
        assert made.returncode == 0 and not made.stdout + made.stderr, made.stdout + made.stderr
        return subprocess.run(["dmtxread", "-G", "29", png], capture_output=True, check=True).stdout


def qr_read_back(text):
    """What a scanner gives for a QR code of the text, made by zint and read
    back by zbarimg."""
    with tempfile.TemporaryDirectory() as folder:
        png = os.path.join(folder, "code.png")
        subprocess.run(["zint", "-b", "58", "--scale=4", "-d", text, "-o", png], capture_output=True, check=True)
        read = subprocess.run(["zbarimg", "--raw", "-q", "--nodbus", png], capture_output=True, check=True).stdout
        assert read.endswith(b"\n"), read   # zbarimg ends each symbol's data so
        return read[:-1]


# A GS1 Digital Link: GTIN, serial and expiry date.
LINK = "https://id.gs1.org/01/09506000134352/21/ABC%2D1?17=290630"


class DecodeCase(norza.NorzaCase):
    def setUp(self):
        super().setUp()
        self.write("configDecodeTime.ini", "50")

    def start_notepad(self):
        """Starts Wine's notepad in front; returns its edit control."""
        self.start("notepad")
        edit = wait_for(lambda: [c["hwnd"] for w in norza.windows() if w["cls"] == "Notepad"
                                 for c in w["children"] if c["cls"].lower() == "edit"],
                        timeout=30, what="notepad")[0]
        time.sleep(0.5)
        return edit

    def run_norza(self, enter=True, flags=(1, 1, 1, 1), fields=1, output=""):
        self.write("typeSet.ini", "[TYPE]\nQR=%d\nDM=%d\nBarcode=%d\nPDF417=%d\nEnter=%d\n"
                   % (*flags, int(enter)) + ("[OUTPUT]\n" + output if output else ""))
        self.proc = self.start_norza()
        self.target = self.typing_target(fields)
        return self.target

    def decode(self, *args):
        rc, out, err = scanctl(*args)
        self.assertEqual(0, rc, out + err)

    def log(self):
        with open(os.path.join(self.folder, "log.log"), "rb") as f:
            return f.read()


class Typing(DecodeCase):
    def test_ascii_is_typed_as_keys_then_shift_enter(self):
        target = self.run_norza(enter=True)
        self.decode("decode", "qr", "ABC123")
        target.wait_text("ABC123\r\n")
        events = key_events(target.report())
        self.assertEqual(SHIFT_ENTER, events[-4:])
        self.assertEqual([("down", "10"), ("down", "41"), ("up", "41"), ("up", "10")],
                         events[:4])
        self.assertIn(("down", "31"), events)
        self.assertNotIn(("down", "10"), events[12:-4])   # digits without Shift

    def test_without_enter_nothing_follows_the_text(self):
        target = self.run_norza(enter=False)
        self.decode("decode", "dm", "x-1")
        target.wait_text("x-1")
        time.sleep(0.5)
        self.assertNotIn(("down", "0d"), target.report()["events"])
        self.assertEqual("x-1", target.text())

    def test_empty_decode_types_only_the_enter_suffix(self):
        target = self.run_norza(enter=True)
        self.decode("decode", "qr", "")
        wait_for(lambda: key_events(target.report()) == SHIFT_ENTER, what="Shift+Enter")

    def test_utf8_chinese_arrives_as_chinese(self):
        target = self.run_norza(enter=False)
        self.decode("decode", "qr", "中文扫码")
        target.wait_text("中文扫码")

    def test_characters_the_code_page_lacks_arrive_in_their_place(self):
        # Under 1252 the Chinese, Korean and the emoji are lacking, under 936
        # the ß, Korean and the emoji: typed as Unicode input between the
        # posted characters, in order.
        target = self.run_norza(enter=True)
        text = "中文 Straße € 한국어 😀x"
        self.decode("decode", "qr", text)
        target.wait_text(text + "\r\n")
        ansi = {1252: b"?? Stra\xdfe \x80 ??? ??x",                 # the log's conversion
                936: "中文".encode("gbk") + b" Stra?e \x80 ??? ??x"}[harness.CODEPAGE]
        self.assertTrue(self.log().endswith(b"[Decode]Decode:" + ansi), self.log()[-40:])

    def test_gbk_words_that_are_valid_utf8_stay_gbk(self):
        target = self.run_norza(enter=False)
        # GBK 同学 一 时间, UTF-8 同学; plates 鲁A12345 and 豫B8888 in GBK; UTF-8
        # ¥100 and 25°C.
        words = ("cdacd1a7", "d2bb", "cab1bce4", "e5908ce5ada6", "c2b3" + b"A12345".hex(),
                 "d4a5" + b"B8888".hex(), "c2a5" + b"100".hex(), b"25".hex() + "c2b0" + b"C".hex())
        for hex_text in words:
            self.decode("decode-hex", "barcode", hex_text)
        if harness.CODEPAGE == 936:
            target.wait_text("同学一时间同学鲁A12345豫B8888¥10025°C")
        else:
            # Under 1252 only UTF-8 makes sense of them where it can.
            def reading(b):
                try:
                    return b.decode("utf-8")
                except UnicodeDecodeError:
                    return b.decode("cp1252")
            target.wait_text("".join(reading(bytes.fromhex(h)) for h in words))

    def test_gbk_bytes_arrive_unchanged(self):
        target = self.run_norza(enter=False)
        for hex_text in ("b3ccd0f2", "b3ccb0a1"):   # the second would pass a loose UTF-8 test
            self.decode("decode-hex", "barcode", hex_text)
        wait_for(lambda: target.ansi() == bytes.fromhex("b3ccd0f2b3ccb0a1"),
                 what="the GBK bytes, unchanged")
        if harness.CODEPAGE == 936:
            self.assertEqual("程序程啊", target.text())

    def test_character_mode_enter_is_one_posted_key(self):
        target = self.run_norza(enter=True)
        self.decode("decode-hex", "qr", "41d6d0")   # "A中" in GBK
        wait_for(lambda: ("down", "0d") in target.report()["events"], what="Enter")
        report = target.report()
        # The target's own message loop turns the posted key-down into a CR.
        chinese = [("char", "4e2d")] if harness.CODEPAGE == 936 else [("char", "d6"), ("char", "d0")]
        self.assertEqual([("char", "41")] + chinese + [("char", "0d")],
                         [e for e in report["events"] if e[0] == "char"])
        self.assertEqual([("down", "0d")], key_events(report))

    def test_tab_moves_to_the_next_field_and_line_breaks_stay(self):
        # Character mode (a Chinese character) moves to the next field as key
        # mode does.
        target = self.run_norza(enter=False, fields=2)
        self.decode("decode", "qr", "中1\tb2\r\nc3\nd4")
        target.wait_text("b2\r\nc3\r\nd4", field=1)
        self.assertEqual("中1", target.text(0))

    def test_nothing_is_typed_while_the_tray_window_is_in_front(self):
        target = self.run_norza(enter=True)
        self.assertEqual(0, norza.wintool("foreground", self.tray_hwnd())[0])
        self.decode("decode", "qr", "hidden")
        self.assertIn(b"Decode:hidden", self.log())
        balloon = norza.wait_balloon("notice_self")
        self.decode("decode", "qr", "again")   # the same cause: no second notice
        time.sleep(2.5)
        self.assertEqual([balloon], [h for h, _ in norza.balloons()])
        self.assertEqual("", target.text())

        # A front window in which no control has the focus.
        self.typing_target(fields=0)
        wait_for(lambda: [w for w in norza.windows() if w["cls"] == "NorzaTypingTarget"
                          and not w["children"] and w["hwnd"] == norza.wintool("foreground")[1].strip()],
                 what="the window without a field in front")
        self.decode("decode", "qr", "unfocused")
        norza.wait_balloon("notice_no_focus")
        self.assertRegex(self.log().decode("latin-1"),
                         r"Decode:hidden\r\n.*Decode:again\r\n.*Decode:unfocused$")


class HoldOff(DecodeCase):
    def test_decodes_during_the_hold_off_are_dropped(self):
        self.write("configDecodeTime.ini", "1500")
        target = self.run_norza(enter=False)
        before = len(self.journal())
        first = subprocess.Popen(["wine", os.path.join(harness.BIN_DIR, "scanctl.exe"),
                                  "decode", "qr", "one"], env=harness.wine_env(),
                                 stdout=subprocess.PIPE)
        wait_for(lambda: "setPDF417 0" in self.journal()[before:], what="decoding off")
        rc, out, _ = scanctl("decode", "qr", "two")
        self.assertEqual((4, "dropped: qr disabled\n"), (rc, out))
        self.assertEqual(0, first.wait(30))
        self.decode("decode", "qr", "three")
        target.wait_text("onethree")
        self.assertEqual(["setQRable 0", "setDMable 0", "setBarcode 0", "setPDF417 0",
                          "setQRable 1", "setDMable 1", "setBarcode 1", "setPDF417 1"],
                         self.engine_calls(before)[:8])

    def test_only_enabled_symbologies_come_back(self):
        self.run_norza(flags=(0, 0, 0, 1))
        before = len(self.journal())
        self.decode("decode", "pdf417", "p")
        self.assertEqual(["setQRable 0", "setDMable 0", "setBarcode 0", "setPDF417 0",
                          "setPDF417 1"], self.engine_calls(before))


class LogFile(DecodeCase):
    def test_each_decode_is_one_entry_in_the_exact_format(self):
        target = self.run_norza(enter=False)
        self.decode("decode", "qr", "ABC123")
        self.decode("decode", "dm", "two\nlines")
        target.wait_text("ABC123two\r\nlines")
        log = self.log().decode("gbk")
        self.assertRegex(log, r"^\r\n%s\[Decode\]Decode:ABC123\r\n%s\[Decode\]Decode:two\r\nlines$"
                         % (STAMP, STAMP))

    def test_log_holds_the_converted_text(self):
        self.run_norza(enter=False)
        self.decode("decode", "qr", "中文")
        expected = "中文".encode("gbk") if harness.CODEPAGE == 936 else b"??"
        wait_for(lambda: os.path.exists(os.path.join(self.folder, "log.log")), what="the log")
        self.assertTrue(self.log().endswith(b"[Decode]Decode:" + expected))


class OutputOptions(DecodeCase):
    def test_prefix_and_tab_suffix_fill_a_field_and_move_to_the_next(self):
        target = self.run_norza(enter=True, fields=2, output="Prefix=P-\nSuffix={TAB}\n")
        self.decode("decode", "qr", "123")
        wait_for(lambda: target.report()["focus"] == 1, what="the focus in the second field")
        self.assertEqual("P-123", target.text(0))
        self.assertEqual("", target.text(1))
        self.assertNotIn(("down", "0d"), target.report()["events"])   # no Enter suffix

    def test_key_delay_spaces_the_characters(self):
        target = self.run_norza(enter=False, output="KeyDelay=30\n")
        self.decode("decode", "qr", "abcdef")
        target.wait_text("abcdef")
        report = target.report()
        downs = [t for e, t in zip(report["events"], report["times"])
                 if e[0] == "down" and "41" <= e[1] <= "46"]
        self.assertEqual(6, len(downs))
        self.assertTrue(paced(downs, 30), downs)

    def test_slow_typing_leaves_the_tray_answering_and_exit_ends_it(self):
        target = self.run_norza(enter=False, output="KeyDelay=150\n")
        code = "0123456789" * 3
        sender = self.start(os.path.join(harness.BIN_DIR, "scanctl.exe"), "decode", "qr", code)
        wait_for(lambda: len(target.text()) >= 3, what="the typing to begin")
        rc, slowest = norza.wintool("ping", self.tray_hwnd(), "1500")
        self.assertEqual(0, rc)
        self.assertLess(int(slowest), 1000)
        typing = target.text()
        self.assertTrue(3 <= len(typing) < len(code), typing)
        norza.wintool("post", self.tray_hwnd(), "0x111", "32775", "0")   # Exit
        self.assertEqual(0, self.proc.wait(10))
        self.assertEqual(0, sender.wait(30))
        time.sleep(0.5)
        self.assertTrue(code.startswith(target.text()) and len(target.text()) < len(code))
        self.assertEqual(1, self.journal().count("ReleaseDevice"))

    def test_each_program_in_front_gets_its_own_section(self):
        self.write("typeSet.ini", "[TYPE]\nEnter=0\n[OUTPUT]\nPrefix=A:\nDigitalLink=hri\n[OUTPUT:notepad.exe]\n"
                   "Prefix=N:\nSuffix=;\nDigitalLink=asis\n[OUTPUT:TypeTarget.exe]\nSuffix=-T\n"
                   "DigitalLink=element\nGS=<GS>\n")
        self.proc = self.start_norza()
        target = self.typing_target()
        link = qr_read_back(LINK)
        self.decode("decode", "qr", "x")
        self.decode("decode-hex", "qr", link.hex())
        # A Digital Link as the element string of its fields (the rules
        # window's other mode, hri, in the rules' test).
        target.wait_text("A:x-TA:0109506000134352" "21ABC-1<GS>17290630-T")
        edit = self.start_notepad()
        self.decode("decode", "qr", "y")
        self.decode("decode-hex", "qr", link.hex())
        expected = "N:y;N:" + LINK + ";"
        wait_for(lambda: norza.wintool("text", edit)[1] == expected, timeout=30,
                 what="%r in notepad, not %r" % (expected, norza.wintool("text", edit)[1]))

    def test_a_chinese_prefix_and_suffix_go_around_an_ascii_code(self):
        # In the code page where it has them, as {U+XXXX} where it does not.
        prefix = "编号:".encode("gbk") if harness.CODEPAGE == 936 else b"{U+7F16}{u+53f7}:"
        self.write("typeSet.ini", b"[TYPE]\nEnter=0\n[OUTPUT]\nPrefix=" + prefix +
                   b"\nSuffix={U+5B8C}\n")
        self.proc = self.start_norza()
        target = self.typing_target()
        self.decode("decode", "qr", "A-1")
        target.wait_text("编号:A-1完")

    def test_a_repeat_within_the_window_is_logged_but_not_typed(self):
        self.write("configDecodeTime.ini", "300")
        target = self.run_norza(enter=False, output="RepeatWindow=2000\n")
        rc, out, err = scanctl("batch", input=b"decode qr R1\ndecode qr R1\n")
        self.assertEqual(["delivered"] * 2, [line.split()[0] for line in out.splitlines()], err)
        typed = time.time()
        target.wait_text("R1")
        time.sleep(max(0, typed + 2.2 - time.time()))
        self.assertEqual("R1", target.text())
        self.decode("decode", "qr", "R1")
        target.wait_text("R1R1")
        self.assertEqual(3, self.log().count(b"[Decode]Decode:R1"))

    def test_group_separator_is_kept_dropped_or_replaced(self):
        target = self.typing_target()
        hwnd = wait_for(lambda: [w["hwnd"] for w in norza.windows()
                                 if w["title"] == "Norza Typing Target"], what="the target")[0]
        # An edit control takes in no control character: a kept GS shows only
        # among the characters the field received.
        for setting, expected in [("", "01\x1d" "21"), ("GS=", "0121"), ("GS={{|}}", "01{|}21")]:
            with self.subTest(setting=setting):
                self.write("typeSet.ini", "[TYPE]\nEnter=0\n[OUTPUT]\n%s\n" % setting)
                if os.path.exists(self.journal_path):   # each engine starts its own
                    os.remove(self.journal_path)
                proc = self.start_norza()
                self.assertEqual(0, norza.wintool("foreground", hwnd)[0])
                before = len(target.report()["events"])
                chars = lambda: "".join(chr(int(e[1], 16)) for e in
                                        target.report()["events"][before:] if e[0] == "char")
                self.decode("decode-hex", "qr", "30311d3231")
                wait_for(lambda: chars().endswith("21"), what="the decode")
                self.assertEqual(expected, chars())
                self.quit(proc)


class Rules(DecodeCase):
    def test_rules_combinations_pauses_and_gs1_shape_each_code(self):
        self.write("typeSet.ini", "[TYPE]\nEnter=0\n"
                   "[RULE1]\nMatch=ID=\\d+;LOT=(\\w+);EXP=\\d+\nOutput=$1\n"
                   "[RULE2]\nMatch=BAD-.*\nAction=reject\n"
                   "[RULE3]\nMatch=GS1\nOutput={AI:01}{TAB}{AI:10}\n"
                   "[RULE4]\nMatch=CLR(.*)\nOutput={CTRL+A}$1{DELAY 300}!\n"
                   "[RULE5]\nMatch=gs1\nOutput={CTRL+A}{AI:17}/{AI:716}\n"
                   "[RULE6]\nMatch=GS1\nOutput={CTRL+A}{AI:716}\n"
                   "[RULE7]\nMatch=GS1\nOutput={CTRL+A}{AI:4300}|{AI:4302}|{AI:4307}|{AI:4321}\n"
                   "[OUTPUT]\nDigitalLink=hri\n")
        self.proc = self.start_norza()
        target = self.typing_target(2)
        # GS1 with its symbology identifier and a GS: GTIN and lot in two fields.
        self.decode("decode-hex", "dm", (b"]d20109506000134352" b"10ABC123\x1d" b"17271231").hex())
        wait_for(lambda: target.text(1) == "ABC123", what="the lot in the second field")
        self.assertEqual("09506000134352", target.text(0))
        # A wrong check digit is no GS1: typed as it is. One group of a rule.
        self.decode("decode", "qr", "]d20109506000134353" "10X")
        self.decode("decode", "qr", "ID=42;LOT=L0T7;EXP=261231")
        target.wait_text("ABC123]d20109506000134353" "10XL0T7", field=1)
        # Refused: logged, a notice naming the rule, nothing typed.
        self.decode("decode", "qr", "BAD-1")
        norza.wait_balloon("notice_rejected_2")
        self.assertIn(b"[Decode]Decode:BAD-1", self.log())
        # Ctrl+A replaces what the field held; the pause shows in the times the
        # system stamped on the key presses as they were sent.
        self.decode("decode", "qr", "CLRnew")
        target.wait_text("new!", field=1)
        report = target.report()
        downs = {code: t for (kind, code), t in zip(report["events"], report["times"]) if kind == "down"}
        self.assertGreaterEqual(downs["31"] - downs["57"], 295, report["times"][-12:])   # 'w' to '!'
        self.assertEqual("09506000134352", target.text(0))
        # A rule applies only when the code has all its output names: no lot
        # passes RULE3 over, no expiry RULE5. AI 716 is newer than zint.
        for code, typed in [(b"]d20109506000134352" b"17271231" b"716AIC0123", "271231/AIC0123"),
                            (b"]d20109506000134352" b"716AIC0456", "AIC0456"),
                            (gs1_datamatrix("[00]106141411234567897[4300]ACME%20CORP[4302]1%20MAIN%20ST"
                                            "[4307]GB[4321]1"), "ACME%20CORP|1%20MAIN%20ST|GB|1")]:
            self.decode("decode-hex", "dm", code.hex())
            target.wait_text(typed, field=1)
        # A Digital Link no rule takes, as its fields in brackets; one that
        # is not valid (a check digit) as scanned, with a notice.
        self.decode("decode-hex", "qr", qr_read_back(LINK).hex())
        typed += "(01)09506000134352(21)ABC-1(17)290630"
        target.wait_text(typed, field=1)
        self.decode("decode", "qr", "https://id.gs1.org/01/09506000134353")
        target.wait_text(typed + "https://id.gs1.org/01/09506000134353", field=1)
        norza.wait_balloon("notice_link_invalid")
        self.assertIn(b"[DigitalLink]not a valid Digital Link (AI 01: check digit): typed as scanned", self.log())


class Notepad(DecodeCase):
    def test_text_arrives_in_a_real_application(self):
        self.write("typeSet.ini", "[TYPE]\nEnter=1\n")
        self.start_norza()
        edit = self.start_notepad()
        self.decode("decode", "qr", "Norza 4.3")
        # Keys go through the input queue, posted characters straight to the
        # control: the next code waits until the keys are in.
        wait_for(lambda: norza.wintool("text", edit)[1] == "Norza 4.3\r\n", what="the keys in notepad")
        self.decode("decode", "qr", "扫码")
        expected = "Norza 4.3\r\n扫码\r\n"
        wait_for(lambda: norza.wintool("text", edit)[1] == expected, what=repr(expected))

    # The posting is the same under every code page: typed in one only.
    @unittest.skipUnless(harness.CODEPAGE == 936, "typed under code page 936 only")
    def test_a_long_gbk_text_arrives_whole(self):
        # 20,000 bytes of common GB2312 characters in lines of 40 characters,
        # more than the 10,000 messages a queue holds.
        size = 20000
        chars = [bytes((0xb0 + i % 39, 0xa1 + i % 94)) for i in range(size * 48 // 100)]
        text = b"\r\n".join(b"".join(chars[i:i + 40]) for i in range(0, len(chars), 40))
        text += b"x" * (size - len(text))
        path = os.path.join(self.folder, "long.txt")
        self.write("long.txt", text)
        self.write("typeSet.ini", "[TYPE]\nEnter=0\n")
        self.start_norza()
        edit = self.start_notepad()
        self.decode("decode-file", "qr", harness.winpath(path))
        # How the edit control takes a posted CR LF is its own business: the
        # characters between must all be there, in order.
        expected = text.replace(b"\r\n", b"").decode("cp%d" % harness.CODEPAGE)
        wait_for(lambda: norza.wintool("text", edit)[1].replace("\r\n", "") == expected,
                 timeout=240, interval=2, what="all %d bytes in notepad" % size)


    def test_wordpad_takes_keys_characters_and_a_paste(self):
        # A RichEdit client that opens the clipboard without a window.
        self.write("typeSet.ini", "[TYPE]\nEnter=0\n")
        proc = self.start_norza()
        self.start(r"C:\Program Files\Windows NT\Accessories\wordpad.exe")
        edit = wait_for(lambda: [c["hwnd"] for w in norza.windows() if w["cls"] == "WORDPADTOP"
                                 for c in w["children"] if "richedit" in c["cls"].lower()],
                        timeout=30, what="wordpad")[0]
        time.sleep(0.5)
        text = lambda: norza.wintool("text", edit)[1]
        self.decode("decode", "qr", "Key-1 ")
        wait_for(lambda: text() == "Key-1 ", what="the keys in wordpad")
        self.decode("decode", "qr", "字符 ")
        wait_for(lambda: text() == "Key-1 字符 ", what="the characters in wordpad")
        self.quit(proc)

        self.write("typeSet.ini", "[TYPE]\nEnter=0\n[OUTPUT:wordpad.exe]\nMethod=paste\n")
        self.start_norza()
        self.assertEqual(0, norza.wintool("clipboard", "MINE 我的剪贴板")[0])
        mine = norza.wintool("clipboard")[1]   # through the ANSI code page of the command line
        long_code = "".join(chr(0x4E00 + i * 13 % 6000) for i in range(801))
        self.write("code.txt", long_code.encode())
        self.decode("decode", "qr", "short 短")
        self.decode("decode-file", "qr", harness.winpath(os.path.join(self.folder, "code.txt")))
        expected = "Key-1 字符 short 短" + long_code
        wait_for(lambda: text() == expected, timeout=20, what="the pasted codes in wordpad")
        wait_for(lambda: norza.wintool("clipboard")[1] == mine, what="the user's clipboard")

    def test_paste_output_gives_the_users_clipboard_back(self):
        self.write("typeSet.ini", "[TYPE]\nEnter=0\n[OUTPUT:notepad.exe]\nMethod=paste\n")
        self.start_norza()
        edit = self.start_notepad()
        self.assertEqual(0, norza.wintool("clipboard", "the user's own")[0])
        code = "".join(chr(0x4E00 + i * 7 % 5000) for i in range(700))   # 2,100 bytes of UTF-8
        self.write("code.txt", code.encode())
        self.decode("decode-file", "qr", harness.winpath(os.path.join(self.folder, "code.txt")))
        wait_for(lambda: norza.wintool("text", edit)[1] == code, timeout=20, what="the pasted code")
        wait_for(lambda: norza.wintool("clipboard")[1] == "the user's own", what="the user's clipboard")


class PasteOutput(DecodeCase):
    """Paste output leaves the clipboard the user's: the target gets the code,
    never what the user had copied, and nothing holds the program up."""

    USER_COPY = "the user's own"

    def setUp(self):
        super().setUp()
        self.write("typeSet.ini", "[TYPE]\nEnter=0\n[OUTPUT]\nMethod=paste\nPasteRestoreDelay=300\n")

    def clipboard(self):
        return norza.wintool("clipboard")[1]

    def decode_later(self, code):
        """Decodes without waiting for the handler, which types before it returns."""
        return self.start(os.path.join(harness.BIN_DIR, "scanctl.exe"), "decode", "qr", code)

    def exit_during_paste(self, proc, bound=3):
        """Asks the program to end while it pastes: the tray icon goes at once,
        the program within the bound (a second more on a busy machine)."""
        start = time.time()
        self.assertEqual(0, scanctl("quit")[0])
        wait_for(lambda: not norza.tray_visible(), timeout=2, what="the tray icon to go")
        gone = time.time() - start
        proc.wait(30)
        print("icon gone %.2f s, program ended %.2f s after the quit" % (gone, time.time() - start))
        self.assertLess(time.time() - start, bound + 1)

    def test_a_slow_target_gets_the_code_whatever_a_monitor_reads(self):
        # A remote window pastes 3 s after its Ctrl+V; a clipboard monitor
        # reads every change at once.
        monitor = self.typing_target("monitor", "monitor-report.txt")
        self.assertEqual(0, norza.wintool("clipboard", self.USER_COPY)[0])
        proc = self.start_norza()
        target = self.typing_target("slowpaste")
        code = "慢速远程窗口-1"
        self.decode("decode", "qr", code)
        target.wait_text(code, timeout=20)
        wait_for(lambda: self.clipboard() == self.USER_COPY, what="the user's clipboard back")
        # It read the clipboard while the code was offered, between the user's copy and its return.
        reads = [e[1] for e in monitor.report()["events"] if e[0] == "clip"]
        user = self.USER_COPY.encode("utf-16-le").hex()
        self.assertGreaterEqual(len(reads) - reads.index(user), 3, reads)
        self.assertEqual(user, reads[-1])
        # Ended 1 s after its Ctrl+V, 2 s before the target pastes: the target
        # gets the code, never the user's copy, and the user's copy comes back.
        ctrl_v = lambda: target.report()["events"].count(("down", "56"))
        before = ctrl_v()
        self.decode_later("慢速远程窗口-2")
        wait_for(lambda: ctrl_v() > before, what="the second Ctrl+V")
        time.sleep(1)
        self.exit_during_paste(proc)
        target.wait_text(code + "慢速远程窗口-2")
        self.assertEqual(self.USER_COPY, self.clipboard())

    def test_an_owner_that_never_renders_keeps_its_clipboard(self):
        # The user copied from a program that hangs when asked for one of its
        # formats: that format cannot be saved, so the clipboard is not taken
        # and the code is not pasted, and the user is told.
        self.typing_target("hungowner", "owner-report.txt")
        proc = self.start_norza()
        target = self.typing_target("pasteempty")
        self.decode("decode", "qr", "挂起的程序-1")
        norza.wait_balloon("notice_clipboard_not_saved", timeout=30)
        self.assertIn(b"[Paste]not pasted: the clipboard could not be saved whole", self.log())
        self.assertEqual("", target.text())
        self.assertEqual(self.USER_COPY, self.clipboard())
        # Another such code, and the program ends while it waits for the owner.
        self.decode_later("挂起的程序-2")
        time.sleep(1)
        self.exit_during_paste(proc)


@unittest.skipUnless(harness.CODEPAGE == 65001, "runs under a UTF-8 ANSI code page")
class Utf8CodePage(DecodeCase):
    def test_codes_arrive_exactly_and_the_log_is_utf8(self):
        target = self.run_norza(enter=False)
        for text in ("Ab-1 ", "Straße é 中文 € ✓"):
            self.decode("decode", "qr", text)
        target.wait_text("Ab-1 Straße é 中文 € ✓")
        self.assertTrue(self.log().endswith("[Decode]Decode:Straße é 中文 € ✓".encode()), self.log())


if __name__ == "__main__":
    unittest.main(verbosity=2)
