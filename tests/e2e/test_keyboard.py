#!/usr/bin/env python3
"""Key mode on a keyboard as users leave it: Caps Lock on, modifier keys
held, control bytes in the text. The keyboard state is set through the X
server, so Wine's own input state has it, as a user's would.

Two cases are unit tests instead. Wine's SendInput queues its events one by
one, so keys typed meanwhile can land inside a batch (seen in one run of
four), which Windows rules out; and Wine's default input-method window
does not open on WM_IME_CONTROL."""
import os
import time
import unittest

import harness
import norza
from harness import wait_for
from test_decode import DecodeCase


def x_window(*search):
    return wait_for(lambda: harness.xdotool("search", "--onlyvisible", *search), timeout=30,
                    what="the X window of %s" % (search,))[0]


def x_keys(xid, *actions):
    """Gives the window the X focus, then does the xdotool key actions."""
    harness.xdotool("windowfocus", "--sync", xid)
    time.sleep(0.3)
    for action in actions:
        harness.xdotool(*action.split())
    time.sleep(0.3)


class Keyboard(DecodeCase):
    def notepad(self):
        """Starts Wine's notepad; returns its edit control and X window."""
        return self.start_notepad(), x_window("--class", "notepad.exe")

    def wait_notepad(self, edit, expected):
        try:
            wait_for(lambda: norza.wintool("text", edit)[1] == expected, what=repr(expected))
        except AssertionError:
            raise AssertionError("notepad holds %r, expected %r"
                                 % (norza.wintool("text", edit)[1], expected))

    def test_caps_lock_on_types_the_decoded_case(self):
        # Wine neither inverts injected letters under Caps Lock nor keeps a
        # target's Caps Lock state once another thread attaches to its input
        # (which typing does): turning it off and on again is proven by the
        # planning tests.
        target = self.run_norza(enter=False)
        xid = x_window("--name", "Norza Typing Target")
        x_keys(xid, "key Caps_Lock")
        try:
            wait_for(lambda: target.report()["caps"], what="Caps Lock on in the target")
            self.decode("decode", "qr", "AbC-xyz")
            target.wait_text("AbC-xyz")
            edit, notepad = self.notepad()
            x_keys(notepad)
            self.decode("decode", "qr", "AbC-xyz")
            self.wait_notepad(edit, "AbC-xyz")
        finally:
            x_keys(xid, "key Caps_Lock")

    def test_held_modifiers_neither_change_the_text_nor_fire_shortcuts(self):
        self.write("typeSet.ini", "[TYPE]\nEnter=0\n")
        self.start_norza()
        edit, xid = self.notepad()
        expected = ""
        # Alt+F and Alt+E would open notepad's menus, Ctrl+A/C/V select, copy
        # and paste, Shift would change the case. Wine takes an injected right
        # Shift for the left one, so the right keys are left to the planning
        # tests.
        for key, vk in (("Shift_L", "0xa0"), ("Control_L", "0xa2"), ("Alt_L", "0xa4")):
            x_keys(xid, "keydown " + key)
            try:
                # Held as a user holds it: taken in before the scan.
                wait_for(lambda: norza.wintool("held", vk)[0] == 0, what=key + " down")
                self.decode("decode", "qr", "fe Av-1 ")
                expected += "fe Av-1 "
                self.wait_notepad(edit, expected)
            finally:
                x_keys(xid, "keyup " + key)
        # Nothing stuck, no menu open: the next decode arrives as it is.
        self.decode("decode", "qr", "Ok")
        self.wait_notepad(edit, expected + "Ok")

    def test_control_bytes_never_act_on_the_form_and_keys_carry_scan_codes(self):
        # Paste, undo, copy, cut, backspace, DEL and Esc between letters; GS
        # and RS kept. Key mode, then character mode (a Chinese character).
        codes = ["41 16 42 1a 43 03 44 18 45 08 46 7f 47 1b 48 1d 49 1e 4a".replace(" ", ""),
                 "4b 16 4c 1a 4d 08 4e 7f 4f e4b8ad".replace(" ", "")]
        typed = "ABCDEFGHIJKLMNO中"
        target = self.run_norza(enter=False)
        self.decode("decode", "qr", "keep")
        for code in codes:
            self.decode("decode-hex", "qr", code)
        target.wait_text("keep" + typed)   # the edit control takes no control characters
        report = target.report()
        chars = [chr(int(code, 16)) for kind, code in report["events"] if kind == "char"]
        self.assertEqual("keepABCDEFGH\x1dI\x1eJKLMNO中", "".join(chars))
        keys = {code for kind, code in report["events"] if kind in ("down", "sysdown")}
        self.assertFalse(keys & {"08", "2e", "1b", "11", "12"}, "a control byte typed as a key")
        self.assertTrue(report["scans"])
        self.assertEqual([], [s for s in report["scans"] if s[2] == 0 and s[1] != "e7"])

        # In a real editor, with the user's own text on the clipboard and
        # earlier scans in the field: nothing pasted, undone or deleted.
        edit, xid = self.notepad()
        x_keys(xid)
        self.assertEqual(0, norza.wintool("clipboard", "SECRET")[0])
        self.decode("decode", "qr", "keep")
        # Keys go through the input queue, posted characters straight to the
        # control: the next code waits until the keys are in.
        self.decode("decode-hex", "qr", codes[0])
        self.wait_notepad(edit, "keep" + typed[:10])
        self.decode("decode-hex", "qr", codes[1])
        self.wait_notepad(edit, "keep" + typed)
        time.sleep(0.5)
        self.assertEqual("keep" + typed, norza.wintool("text", edit)[1])


if __name__ == "__main__":
    unittest.main(verbosity=2)
