#!/usr/bin/env python3
"""Many programs writing one log file: every entry arrives whole, on a line of
its own and in time order; a writer that dies holding the lock delays the
others by about the lock's wait bound, not for good; a bare log name lands
in the program's folder whatever characters the program's name holds."""
import datetime
import os
import re
import select
import shutil
import time
import unittest

import harness
from harness import WineTestCase, winpath

LOGSTRESS = os.path.join(harness.TOOLS_DIR, "logstress.exe")
LOCK_WAIT = 3.0   # seconds an entry waits for the lock before writing anyway
ENTRY = re.compile(rb"\[([ 1]\d)-([ 123]\d) ([ 12]\d):([ 1-5]\d):([ 1-5]\d)_([ \d]{2}\d)\]"
                   rb"\[(W\d)\]Decode:(\d+)/(\d+) pid \d+ 0123456789ABCDEF")


def first_line(proc, timeout=30):
    ready, _, _ = select.select([proc.stdout], [], [], timeout)
    if not ready:
        raise AssertionError("program printed nothing")
    return proc.stdout.readline().strip()


def stamp(entry):
    month, day, hour, minute, second, ms = (int(entry[k]) for k in range(1, 7))
    return datetime.datetime(datetime.datetime.now().year, month, day, hour, minute, second,
                             ms * 1000)


class LogWriters(WineTestCase):
    def start_writers(self, log, writers, count):
        procs = [self.start(LOGSTRESS, winpath(log), str(count), "W%d" % i)
                 for i in range(writers)]
        for i, p in enumerate(procs):
            self.assertEqual(b"writing W%d" % i, first_line(p))
        return procs

    def finish(self, procs, timeout):
        for p in procs:
            self.assertEqual(0, p.wait(timeout))

    def entries(self, log, writers, count):
        """The log's entries, checked whole, complete, in each writer's order
        and in time order."""
        with open(log, "rb") as f:
            data = f.read()
        self.assertEqual(b"\r\n", data[:2])
        entries = []
        for line in data[2:].split(b"\r\n"):
            m = ENTRY.fullmatch(line)
            self.assertIsNotNone(m, line)
            entries.append(m)
        seqs = {}
        for m in entries:
            self.assertEqual(count, int(m[9]))
            seqs.setdefault(m[7].decode(), []).append(int(m[8]))
        self.assertEqual({"W%d" % i: list(range(count)) for i in range(writers)}, seqs)
        stamps = [stamp(m) for m in entries]
        backwards = [i for i in range(1, len(stamps)) if stamps[i] < stamps[i - 1]]
        self.assertEqual([], [entries[i][0] for i in backwards[:3]])
        return entries

    def test_eight_writers_leave_every_entry_whole_and_in_order(self):
        log = os.path.join(self.folder, "many.log")
        self.finish(self.start_writers(log, 8, 2000), timeout=120)
        self.assertEqual(16000, len(self.entries(log, 8, 2000)))

    def test_writer_dying_with_the_lock_holds_the_others_only_for_the_bound(self):
        log = os.path.join(self.folder, "held.log")
        holder = self.start(LOGSTRESS, "hold-lock")
        self.assertEqual(b"holding", first_line(holder))
        started = datetime.datetime.now()
        writers = self.start_writers(log, 4, 300)
        time.sleep(0.5)   # each writer opens the lock right after saying so
        holder.kill()
        holder.wait(10)

        self.finish(writers, timeout=LOCK_WAIT + 60)
        elapsed = (datetime.datetime.now() - started).total_seconds()
        self.assertLess(elapsed, LOCK_WAIT + 30)
        entries = self.entries(log, 4, 300)
        waited = (stamp(entries[0]) - started).total_seconds()
        self.assertGreater(waited, LOCK_WAIT - 0.2, "the writers never met the held lock")

    def test_bare_name_is_put_in_the_folder_of_the_program(self):
        # In code page 936 the second byte of 乗 is a backslash.
        name = "记录乗" if harness.CODEPAGE == 936 else "Protokoll é"
        folder = os.path.join(self.folder, name)
        os.mkdir(folder)
        exe = os.path.join(folder, name + ".exe")
        shutil.copy2(LOGSTRESS, exe)
        rc, out, _ = harness.run(exe, "bare.log", "3", "W0")
        self.assertEqual(0, rc)
        self.entries(os.path.join(folder, "bare.log"), 1, 3)


if __name__ == "__main__":
    unittest.main()
