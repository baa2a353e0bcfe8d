#!/usr/bin/env python3
"""scanctl end to end: every command against a running engine host, its
batch mode, and the exit codes and messages when the engine is absent, busy
or gone, when the command line is wrong and when a decode is dropped."""
import os
import subprocess
import unittest

import harness
from harness import EngineHostCase, scanctl, wait_for, winpath

SYMS = ("qr", "dm", "barcode", "pdf417")
DELIVERED = r"^delivered \d+ us answered \d+ us$"
NOT_STARTED = "dropped: device not started"
STATE_KEYS = ["attached", "started", "start-result", "device-result", "qr", "dm", "barcode", "pdf417",
              "beep", "beep-time", "decode-time", "window"]


def state():
    rc, out, err = scanctl("state")
    assert rc == 0, err
    return dict(line.split(" ") for line in out.splitlines())


def device():
    s = state()
    return s["attached"], s["started"], s["start-result"]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


class WithoutEngine(harness.WineTestCase):
    def setUp(self):
        super().setUp()
        wait_for(lambda: not harness.engine_running(), what="the last test's engine to end")

    def test_commands_that_need_the_engine_exit_3(self):
        payload = write(os.path.join(self.folder, "payload.bin"), b"x")
        for args in [("state",), ("journal",), ("plug",), ("unplug",), ("quit",),
                     ("start-result", "auto"), ("decode", "qr", "x"), ("decode-hex", "dm", "41"),
                     ("decode-file", "barcode", winpath(payload)), ("batch",)]:
            with self.subTest(args=args):
                self.assertEqual((3, "", "scanctl: no engine running\n"),
                                 scanctl(*args, input=b"state\n"))

    # Nothing runs here, so exit 2 rather than 3 also shows that the command
    # line is checked before the engine is looked for.
    def test_usage_errors_exit_2_with_the_reason(self):
        missing = winpath(os.path.join(self.folder, "missing.bin"))
        huge = os.path.join(self.folder, "huge.bin")
        with open(huge, "wb") as f:
            f.truncate(16 * 1024 * 1024)
        cases = [
            ((), "missing command"),
            (("scan", "qr", "x"), "unknown command 'scan'"),
            (("STATE",), "unknown command 'STATE'"),
            (("decode", "code128", "x"), "unknown symbology 'code128' (qr, dm, barcode, pdf417)"),
            (("decode", "QR", "x"), "unknown symbology 'QR' (qr, dm, barcode, pdf417)"),
            (("decode",), "decode needs a symbology and one text argument"),
            (("decode", "qr"), "decode needs a symbology and one text argument"),
            (("decode", "qr", "a", "b"), "decode needs a symbology and one text argument"),
            (("decode-hex", "qr"), "decode-hex needs a symbology and one hex argument"),
            (("decode-hex", "qr", "414"), "bad hex '414' (want an even number of hex digits)"),
            (("decode-hex", "qr", "4g"), "bad hex '4g' (want an even number of hex digits)"),
            (("decode-hex", "qr", "0x41"), "bad hex '0x41' (want an even number of hex digits)"),
            (("decode-file", "dm"), "decode-file needs a symbology and one file argument"),
            (("decode-file", "dm", ""), "decode-file needs a file name"),
            (("decode-file", "dm", missing), "cannot read '%s'" % missing),
            (("decode-file", "dm", winpath(self.folder)), "cannot read '%s'" % winpath(self.folder)),
            (("decode-file", "dm", winpath(huge)), "decode too large"),
            (("state", "now"), "state takes no arguments"),
            (("unplug", "1"), "unplug takes no arguments"),
            (("batch", "-"), "batch takes no arguments"),
            (("start-result",), "start-result needs an integer or 'auto'"),
            (("start-result", "1", "2"), "start-result needs an integer or 'auto'"),
            (("start-result", "1.5"), "start-result needs an integer or 'auto'"),
            (("start-result", "AUTO"), "start-result needs an integer or 'auto'"),
            (("start-result", "-"), "start-result needs an integer or 'auto'"),
            (("start-result", "2147483648"), "start-result needs an integer or 'auto'"),
            (("device-result",), "device-result needs an integer or 'auto'"),
            (("device-result", "0x7fffffff"), "device-result needs an integer or 'auto'"),
            (("decode-null",), "decode-null needs a symbology and nothing else"),
            (("decode-null", "qr", ""), "decode-null needs a symbology and nothing else"),
            (("decode-null", "ean"), "unknown symbology 'ean' (qr, dm, barcode, pdf417)"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                rc, out, err = scanctl(*args)
                self.assertEqual((2, ""), (rc, out))
                first, _, rest = err.partition("\n")
                self.assertEqual("scanctl: " + message, first)
                self.assertTrue(rest.startswith("usage: scanctl <command>\n"), rest)


class Decode(EngineHostCase):
    def test_command_line_decodes_arrive_byte_exact(self):
        self.start_host()
        every_byte = bytes(range(1, 256))
        big = bytes(i % 255 + 1 for i in range(65536))
        named = "数据 café.bin"
        sends = [
            (("decode", "qr", "  two  spaces  "), b"  two  spaces  "),
            (("decode", "dm", 'say "hi" \\ C:\\dir\\'), b'say "hi" \\ C:\\dir\\'),
            (("decode-hex", "barcode", every_byte.hex().upper()), every_byte),
            (("decode-file", "pdf417", winpath(write(os.path.join(self.folder, "big.bin"), big))),
             big),
            (("decode-file", "qr", winpath(write(os.path.join(self.folder, named), b"n\xe9"))),
             b"n\xe9"),
        ]
        for args, _ in sends:
            rc, out, err = scanctl(*args)
            self.assertEqual(0, rc, err)
            self.assertRegex(out, DELIVERED + "\n")
        self.assertEqual([data.hex() for _, data in sends], self.received())

    def test_null_decode_hands_over_no_text_and_follows_the_switches(self):
        self.start_host("1101")
        rc, out, _ = scanctl("decode-null", "qr")
        self.assertEqual(0, rc)
        self.assertRegex(out, DELIVERED + "\n")
        self.assertEqual((4, "dropped: barcode disabled\n"),
                         scanctl("decode-null", "barcode")[:2])
        rc, lines = scanctl("batch", input=b"decode-null pdf417\ndecode qr \ndecode-null dm\n")[:2]
        self.assertEqual(0, rc)
        self.assertEqual(3, len(lines.splitlines()))
        # An empty text is a pointer to a NUL; only decode-null is no pointer at all.
        self.assertEqual(["null", "null", "", "null"], self.received())

    def test_each_symbology_follows_its_own_switch(self):
        switches = "0101"
        self.start_host(switches)
        for sym, on in zip(SYMS, switches):
            for args in (("decode", sym, sym), ("decode-hex", sym, sym.encode().hex())):
                with self.subTest(args=args):
                    rc, out, _ = scanctl(*args)
                    if on == "1":
                        self.assertEqual(0, rc)
                        self.assertRegex(out, DELIVERED)
                    else:
                        self.assertEqual((4, "dropped: %s disabled\n" % sym), (rc, out))
        self.assertEqual([b"dm".hex()] * 2 + [b"pdf417".hex()] * 2, self.received())


class Device(EngineHostCase):
    def test_state_lists_every_setting(self):
        self.start_host("1001")
        rc, out, _ = scanctl("state")
        self.assertEqual(0, rc)
        self.assertRegex(out, r"[^\n]\n$")
        self.assertEqual(STATE_KEYS, [line.split(" ")[0] for line in out.splitlines()])
        window = scanctl("journal")[1].split("\n")[0].split(" ")[1]
        self.assertNotEqual("0x00000000", window)
        self.assertEqual({"attached": "1", "started": "1", "start-result": "auto",
                          "device-result": "auto", "qr": "1", "dm": "0", "barcode": "0", "pdf417": "1", "beep": "0",
                          "beep-time": "0", "decode-time": "0", "window": window}, state())

    def test_unplug_plug_and_start_result(self):
        self.start_host()
        journal = scanctl("journal")[1]
        self.assertEqual(("1", "1", "auto"), device())
        self.assertEqual(0, scanctl("decode", "qr", "before")[0])
        # Plugging back in does not restart the device: the program must.
        steps = [
            (("unplug",), ("0", "0", "auto")),
            (("start-result", "0"), ("0", "0", "0")),
            (("plug",), ("1", "0", "0")),
            (("plug",), ("1", "0", "0")),
            (("start-result", "-2147483648"), ("1", "0", "-2147483648")),
            (("start-result", "+7"), ("1", "0", "7")),
            (("start-result", "auto"), ("1", "0", "auto")),
            (("unplug",), ("0", "0", "auto")),
        ]
        for args, expected in steps:
            with self.subTest(args=args):
                self.assertEqual((0, "ok\n", ""), scanctl(*args))
                self.assertEqual(expected, device())
                self.assertEqual((4, NOT_STARTED + "\n"), scanctl("decode", "qr", "x")[:2])
        self.assertEqual([b"before".hex()], self.received())
        # Pipe commands are not calls into the engine.
        self.assertEqual((0, journal, ""), scanctl("journal"))

    def test_device_result_is_shown_and_set_apart_from_the_plug(self):
        self.start_host(device={"attached": 0, "device-result": 5})
        self.assertEqual("5", state()["device-result"])
        steps = [("plug", "5"), ("device-result -2", "-2"), ("unplug", "-2"),
                 ("device-result 2147483647", "2147483647"), ("device-result auto", "auto")]
        for command, expected in steps:
            with self.subTest(command=command):
                self.assertEqual((0, "ok\n", ""), scanctl(*command.split()))
                self.assertEqual(expected, state()["device-result"])
        rc, out, _ = scanctl("batch", input=b"device-result x\ndevice-result 9\n")
        self.assertEqual((2, ["error: device-result needs an integer or 'auto'", "ok"]),
                         (rc, out.splitlines()))
        self.assertEqual("9", state()["device-result"])
        # Not a number: GetDevice is left to the plugged-in state.
        self.start_host(device={"device-result": "often"})
        self.assertEqual("auto", state()["device-result"])

    def test_start_up_follows_the_device_settings(self):
        cases = [
            ({"attached": 0}, ("0", "0", "auto"), NOT_STARTED),
            ({"attached": 0, "start-result": 1}, ("0", "1", "1"), DELIVERED),
            ({"attached": 1, "start-result": 0}, ("1", "0", "0"), NOT_STARTED),
            ({"attached": 0, "start-result": "auto"}, ("0", "0", "auto"), NOT_STARTED),
        ]
        for settings, expected, reply in cases:
            with self.subTest(settings=settings):
                self.start_host(device=settings)
                self.assertEqual(expected, device())
                rc, out, _ = scanctl("decode", "qr", "x")
                self.assertRegex(out, reply)
                self.assertEqual(4 if reply == NOT_STARTED else 0, rc)
                self.assertEqual([] if rc else ["78"], self.received())


class Batch(EngineHostCase):
    def batch(self, script):
        rc, out, err = scanctl("batch", input=script)
        self.assertEqual("", err)
        return rc, out.splitlines()

    def test_bad_lines_are_reported_and_the_rest_still_run(self):
        self.start_host("1011")
        missing = winpath(os.path.join(self.folder, "missing.bin"))
        cases = [
            ("decode qr first", DELIVERED),
            ("decode-hex qr 4", r"^error: bad hex '4' \(want an even number of hex digits\)$"),
            ("decode dm off", r"^dropped: dm disabled$"),
            ("scan qr x", r"^error: unknown command 'scan'$"),
            ("decode ean x", r"^error: unknown symbology 'ean' "),
            ("decode qr", r"^error: decode needs a symbology and one text argument$"),
            ("batch", r"^error: batch cannot be used inside a batch$"),
            ("decode-file qr " + missing, r"^error: cannot read '.*missing\.bin'$"),
            ("state now", r"^error: state takes no arguments$"),
            ("start-result x", r"^error: start-result needs an integer or 'auto'$"),
            ("start-result  9", r"^ok$"),
            ("decode pdf417 last", DELIVERED),
        ]
        rc, lines = self.batch("".join(line + "\n" for line, _ in cases).encode())
        self.assertEqual(2, rc)
        self.assertEqual(len(cases), len(lines), lines)
        for (_, expected), line in zip(cases, lines):
            self.assertRegex(line, expected)
        self.assertEqual([b"first".hex(), b"last".hex()], self.received())
        self.assertEqual("9", state()["start-result"])

        rc, lines = self.batch(b"decode qr a\ndecode dm b\ndecode barcode c\n")
        self.assertEqual(4, rc)
        self.assertEqual("dropped: dm disabled", lines[1])

    def test_line_ends_blank_lines_and_spaces(self):
        self.start_host("1110")
        cases = [  # line, its result (None: skipped), the bytes delivered
            (b"decode qr a b\r\n", DELIVERED, b"a b"),
            (b"\r\n", None, None),
            (b"\n", None, None),
            (b"decode dm \r\n", DELIVERED, b""),
            (b"decode barcode  lead and trail  \n", DELIVERED, b" lead and trail  "),
            (b"decode qr \xb3\xcc\xd0\xf2\n", DELIVERED, b"\xb3\xcc\xd0\xf2"),
            (b"decode-hex dm 41ff\r\n", DELIVERED, b"A\xff"),
            (b"decode pdf417 off\r\n", "^dropped: pdf417 disabled$", None),
            (b"decode qr no line end", DELIVERED, b"no line end"),
        ]
        rc, lines = self.batch(b"".join(line for line, _, _ in cases))
        self.assertEqual(4, rc)
        results = [result for _, result, _ in cases if result]
        self.assertEqual(len(results), len(lines), lines)
        for expected, line in zip(results, lines):
            self.assertRegex(line, expected)
        self.assertEqual([data.hex() for _, _, data in cases if data is not None],
                         self.received())

    def test_file_names_in_utf8_or_the_ansi_code_page(self):
        self.start_host()
        path = winpath(write(os.path.join(self.folder, "a file %s.bin" % {
            1252: "café", 936: "数据"}[harness.CODEPAGE]), b"contents"))
        ansi = "cp%d" % harness.CODEPAGE
        rc, lines = self.batch(b"decode-file qr " + path.encode("utf-8") + b"\n" +
                               b"decode-file dm " + path.encode(ansi) + b"\n")
        self.assertEqual(0, rc, lines)
        self.assertEqual([b"contents".hex()] * 2, self.received())

    def test_quit_as_the_last_line_ends_the_host(self):
        self.start_host()
        rc, lines = self.batch(b"decode qr bye\nquit\n")
        self.assertEqual(0, rc)
        self.assertEqual("ok", lines[1])
        self.host.wait(20)
        self.assertEqual([b"bye".hex(), "quit"], self.received())
        wait_for(lambda: not harness.engine_running(), what="the engine to go")


class Connection(EngineHostCase):
    def start_batch(self):
        batch = subprocess.Popen(["wine", os.path.join(harness.BIN_DIR, "scanctl.exe"), "batch"],
                                 env=harness.wine_env(), stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.procs.append(batch)
        return batch

    def ask(self, batch, line):
        batch.stdin.write(line)
        batch.stdin.flush()
        return batch.stdout.readline()

    def test_two_batches_of_200_decodes_side_by_side(self):
        self.start_host()
        scripts = {name: ["decode %s %s %03d" % (SYMS[i % 4], name, i) for i in range(200)]
                   for name in ("left", "right")}
        batches = [self.start_batch() for _ in scripts]
        for batch in batches:
            self.assertEqual(b"ok\n", self.ask(batch, b"plug\n"))
        for batch, lines in zip(batches, scripts.values()):
            batch.stdin.write("".join(line + "\n" for line in lines).encode())
            batch.stdin.flush()
        for batch in batches:
            out, err = batch.communicate(timeout=60)
            self.assertEqual((0, b""), (batch.returncode, err))
            self.assertEqual(200, len(out.splitlines()))
            for line in out.decode().splitlines():
                self.assertRegex(line, DELIVERED)
        # Each connection's decodes arrive in order, however the two interleave.
        received = [bytes.fromhex(h).decode() for h in self.received()]
        self.assertEqual(400, len(received))
        for name, lines in scripts.items():
            self.assertEqual([line.split(" ", 2)[2] for line in lines],
                             [text for text in received if text.startswith(name)])

    def test_other_clients_are_served_while_a_batch_is_connected(self):
        self.start_host()
        batch = self.start_batch()
        self.assertEqual(b"ok\n", self.ask(batch, b"start-result 3\n"))
        self.assertEqual("3", state()["start-result"])

        self.host.kill()
        self.host.wait(10)
        out, err = batch.communicate(b"state\n", timeout=30)
        self.assertEqual((3, b"", b"scanctl: engine went away\n"), (batch.returncode, out, err))


if __name__ == "__main__":
    unittest.main(verbosity=2)
