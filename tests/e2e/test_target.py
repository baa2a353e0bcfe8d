#!/usr/bin/env python3
"""Codes sent to a chosen program: brought to the front, typed into, the front
given back; a program that is not running yet gets its code when it comes."""
import time
import unittest

import norza
from harness import wait_for
from test_decode import DecodeCase

WORDPAD = r"C:\Program Files\Windows NT\Accessories\wordpad.exe"
WM_SYSCOMMAND, SC_MINIMIZE = "0x112", "0xF020"


class TargetProgram(DecodeCase):
    def decode(self, *args):
        # The scanner is silenced until the code before is over: typed into
        # a program that has just started, the typing may wait up to 2 s
        # for it to take the keys.
        wait_for(lambda: [c for c in self.journal() if c.startswith("setQRable")][-1:] == ["setQRable 1"],
                 timeout=10, what="the scanner awake")
        super().decode(*args)

    def start_wordpad(self):
        """Starts WordPad in front; returns its window and its edit control."""
        self.start(WORDPAD)
        found = wait_for(lambda: [(w["hwnd"], c["hwnd"]) for w in norza.windows() if w["cls"] == "WORDPADTOP"
                                  for c in w["children"] if "richedit" in c["cls"].lower()],
                         timeout=30, what="wordpad")[0]
        wait_for(lambda: self.foreground() == found[0], what="wordpad in front")
        time.sleep(0.5)
        return found

    def foreground(self):
        return norza.wintool("foreground")[1].strip()

    def notepad_window(self):
        return [w for w in norza.windows() if w["cls"] == "Notepad"][0]

    def test_codes_go_to_notepad_whatever_is_in_front(self):
        # A title pattern that Chinese and English notepad both match.
        self.write("typeSet.ini", "[TYPE]\nEnter=0\n[OUTPUT]\nTarget=notepad.exe|* - *\n")
        self.start_norza()
        # Not running yet: the code waits, and says so, until notepad comes.
        self.decode("decode", "qr", "T-1")
        expected = "T-1 " + ("waits for" if norza.harness.CODEPAGE != 936 else "等待") + " notepad.exe"
        wait_for(lambda: [t for h, t in norza.balloons() if t == expected], timeout=10,
                 what="%r (showing %r)" % (expected, norza.balloons()))
        edit = self.start_notepad()
        text = lambda: norza.wintool("text", edit)[1]
        wait_for(lambda: text() == "T-1", timeout=10, what="the waiting code in notepad, not %r" % text())

        # WordPad in front: the code lands in notepad, and WordPad is in front again after.
        wordpad, wordpad_edit = self.start_wordpad()
        self.decode("decode", "qr", "T-2")
        wait_for(lambda: text() == "T-1T-2", timeout=10, what="the code in notepad, not %r" % text())
        wait_for(lambda: self.foreground() == wordpad, timeout=5, what="wordpad in front again")
        self.assertEqual("", norza.wintool("text", wordpad_edit)[1])

        # Minimised: restored, typed into.
        notepad = self.notepad_window()["hwnd"]
        norza.wintool("post", notepad, WM_SYSCOMMAND, SC_MINIMIZE, "0")
        wait_for(lambda: self.foreground() != notepad, what="notepad minimised")
        self.decode("decode", "qr", "T-3")
        wait_for(lambda: text() == "T-1T-2T-3", timeout=10, what="the code in notepad, not %r" % text())
        self.assertFalse(self.notepad_window()["style"] & 0x20000000)   # WS_MINIMIZE

    def test_a_rule_sends_only_gs1_codes_to_notepad(self):
        self.write("typeSet.ini", "[TYPE]\nEnter=0\n[RULE1]\nMatch=GS1\nOutput={AI:01}\nTarget=notepad.exe\n")
        self.start_norza()
        edit = self.start_notepad()
        wordpad, wordpad_edit = self.start_wordpad()
        self.decode("decode", "qr", "plain ")
        self.decode("decode-hex", "dm", (b"]d20109506000134352" b"10ABC123").hex())
        wait_for(lambda: norza.wintool("text", edit)[1] == "09506000134352", timeout=10,
                 what="the GTIN in notepad")
        wait_for(lambda: norza.wintool("text", wordpad_edit)[1] == "plain ", what="the plain code in wordpad")
        wait_for(lambda: self.foreground() == wordpad, timeout=5, what="wordpad in front again")


if __name__ == "__main__":
    unittest.main()
