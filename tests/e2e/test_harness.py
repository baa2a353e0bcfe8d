#!/usr/bin/env python3
"""The test bench itself: the engine simulator delivers exactly the bytes it
is given to a program built on the framework, injected keys reach the typing
target, and the engine's call journal records what the host called."""
import os
import unittest

import harness
from harness import EngineHostCase, scanctl, winpath


class DecodeDelivery(EngineHostCase):
    def test_host_receives_exactly_the_bytes_sent(self):
        self.start_host()
        gbk = "b3ccd0f2"
        with open(os.path.join(self.folder, "payload.bin"), "wb") as f:
            f.write(b"line1\r\nline2\t\x01\xff")
        sends = [
            (("decode", "qr", "ABC123"), b"ABC123".hex()),
            (("decode", "dm", "中文"), "中文".encode("utf-8").hex()),
            (("decode-hex", "barcode", gbk), gbk),
            (("decode", "pdf417", ""), ""),
            (("decode-file", "qr", winpath(os.path.join(self.folder, "payload.bin"))),
             b"line1\r\nline2\t\x01\xff".hex()),
        ]
        for args, _ in sends:
            rc, out, err = scanctl(*args)
            self.assertEqual(0, rc, err)
            self.assertRegex(out, r"^delivered \d+ us answered \d+ us\n$")
        self.assertEqual([expected for _, expected in sends], self.received())

    def test_disabled_symbology_is_not_delivered(self):
        self.start_host(switches="1010")
        rc, out, _ = scanctl("decode", "dm", "x")
        self.assertEqual((4, "dropped: dm disabled\n"), (rc, out))
        self.assertEqual(0, scanctl("decode", "barcode", "y")[0])
        self.assertEqual(["79"], self.received())

    def test_quit_reaches_the_host_and_the_journal_survives_it(self):
        self.start_host(switches="1001")
        rc, journal, _ = scanctl("journal")
        self.assertEqual(0, rc)
        calls = journal.splitlines()
        self.assertRegex(calls[0], r"^GetAppHandle 0x[0-9A-F]{8}$")
        self.assertEqual(["StartDevice", "setQRable 1", "setDMable 0", "setBarcode 0",
                          "setPDF417 1"], calls[1:])

        self.assertEqual(0, scanctl("quit")[0])
        self.host.wait(20)
        self.assertEqual(["quit"], self.received())
        with open(os.path.join(self.folder, "vistrel.journal")) as f:
            self.assertEqual(calls, f.read().splitlines())


class KeyInjection(harness.WineTestCase):
    def test_keys_from_a_windowed_process_reach_the_focused_field(self):
        target = self.typing_target()
        self.assertEqual(harness.CODEPAGE, target.report()["acp"])
        rc, _, _ = harness.run(os.path.join(harness.TOOLS_DIR, "sendkeys.exe"), "Norza 4.3!")
        self.assertEqual(0, rc)
        target.wait_text("Norza 4.3!")
        events = target.report()["events"]
        self.assertIn(("down", "10"), events)   # Shift for the capital and the "!"
        self.assertIn(("char", "21"), events)


class TimedRounds(harness.WineTestCase):
    """The typing target's timed rounds, on which the typing benchmark relies."""

    def test_each_round_reports_its_own_text_and_times_on_the_shared_clock(self):
        for sink in ([], ["sink"]):
            with self.subTest(sink=bool(sink)):
                path = os.path.join(self.folder, "rounds%d.txt" % len(sink))
                target = self.start(os.path.join(harness.TOOLS_DIR, "typetarget.exe"),
                                    winpath(path), "1", "5", *sink)
                harness.wait_for(lambda: os.path.exists(path), what="the typing target")
                rc, out, _ = harness.run(os.path.join(harness.TOOLS_DIR, "sendkeys.exe"), "-t",
                                         "Ab1!xYz9.q")
                self.assertEqual(0, rc)
                sent = dict(zip(*[iter(out.decode().split())] * 2))
                harness.wait_for(lambda: "round 2\n" in open(path).read(), what="round 2")
                report = dict(line.split(" ", 1) for line in open(path).read().splitlines()
                              if " " in line)
                # The field was emptied after the first round.
                self.assertEqual(b"Yz9.q", bytes.fromhex(report["field0.ansi"]))
                self.assertLess(int(sent["start"]), int(report["first"]))
                self.assertLessEqual(int(report["first"]), int(report["last"]))
                self.assertEqual(sent["freq"], report["freq"])
                target.kill()
                target.wait(10)


if __name__ == "__main__":
    unittest.main(verbosity=2)
