#!/usr/bin/env python3
"""Norza under abuse, end to end: thousands of decodes of any bytes at all,
settings files of any shape, an engine that answers out of range, a log
that cannot be written, and a long run that must not grow.

Counts come from the environment; the defaults keep the file to a few
minutes per code page. NORZA_ROBUST_FULL=1 (scripts/robustness.sh) makes
them the full run:

    NORZA_ROBUST_DECODES   random decodes in one run             300  (full 10000)
    NORZA_ROBUST_CONFIGS   random pairs of settings files         32  (full 1000)
    NORZA_ROBUST_HUGE_MB   size of the huge settings files         1  (full 4)
    NORZA_ROBUST_SEED      seed of every random choice     fixed per code page

Every test prints what it did; the last lines of the output sum it up.
"""
import os
import re
import select
import shutil
import subprocess
import threading
import time
import unittest

import harness
import norza
import robustmodel as model
import tray
from harness import paced, scanctl, wait_for, winpath

FULL = os.environ.get("NORZA_ROBUST_FULL") == "1"


def setting(name, ci, full):
    return int(os.environ.get(name, full if FULL else ci))


DECODES = setting("NORZA_ROBUST_DECODES", 300, 10000)
CONFIGS = setting("NORZA_ROBUST_CONFIGS", 32, 1000)
HUGE_MB = setting("NORZA_ROBUST_HUGE_MB", 1, 4)
SEED = setting("NORZA_ROBUST_SEED", 7000 + harness.CODEPAGE, 7000 + harness.CODEPAGE)

LOGSTRESS = os.path.join(harness.TOOLS_DIR, "logstress.exe")
SENDKEYS = os.path.join(harness.TOOLS_DIR, "sendkeys.exe")
WINTOOL = os.path.join(harness.TOOLS_DIR, "wintool.exe")
LOCK_WAIT = 3.0        # seconds a log entry waits for the lock
OPEN_RETRY = 0.5       # seconds a log entry retries a file another program holds
WM_NULL, WM_COMMAND = "0x0", "0x111"
ID_TRAY_QR, WM_HISTORY_BYTES = harness.ID("ID_TRAY_QR"), harness.ID("WM_HISTORY_BYTES")
FLOOR_SAMPLES = 3      # samples at each end of a decode run whose lowest memory figure counts

STAMP = rb"\[[ 1]\d-[ 1-3]\d [ 12]\d:[ 0-5]\d:[ 0-5]\d_[ \d]{2}\d\]"
ENTRY_START = re.compile(rb"\r\n" + STAMP + rb"\[Decode\]Decode:")
DELIVERED = re.compile(r"delivered (\d+) us answered \d+ us$")
SETTERS = ("setQRable", "setDMable", "setBarcode", "setPDF417")
SILENCED = ["%s 0" % s for s in SETTERS]
SHIFT_ENTER = [("down", "10"), ("down", "0d"), ("up", "0d"), ("up", "10")]
RULE_LEFT_OUT = re.compile(rb"\[Rule\]RULE(\d+): ")
RULE_REFUSES = re.compile(rb"\[Rule\]RULE(\d+) refuses the code")

SUMMARY = []


def report(line):
    print("robustness: " + line, flush=True)
    SUMMARY.append(line)


def tearDownModule():
    print("\nrobustness summary (code page %d, seed %d%s):" % (
        harness.CODEPAGE, SEED, ", full run" if FULL else ""))
    for line in SUMMARY:
        print("  " + line)


def log_entries(data):
    """The texts of the log's entries; the file starts with the line end of
    its first entry."""
    if not data:
        return []
    parts = ENTRY_START.split(data)
    assert parts[0] == b"", "the log does not start with an entry: %r" % data[:80]
    return parts[1:]


def contains(items, part):
    return any(items[i:i + len(part)] == part for i in range(len(items)))


def reenabled(flags):
    return ["%s 1" % s for s, on in zip(SETTERS, flags) if on]


def names(journal):
    """Journal lines with the window handle left out, which differs per run."""
    return [line.split()[0] if line.startswith("GetAppHandle") else line for line in journal]


def key_events(report_):
    return [e for e in report_["events"] if e[0] in ("down", "up")]


def process_figures(pid):
    """Resident memory (kB), open descriptors and threads of a Wine process.
    Wine answers 0 for a process's GUI and handle counts; a handle to a file
    it leaks keeps a descriptor open here."""
    with open("/proc/%d/status" % pid) as f:
        status = f.read()
    return (int(re.search(r"VmRSS:\s+(\d+)", status)[1]), len(os.listdir("/proc/%d/fd" % pid)),
            int(re.search(r"Threads:\s+(\d+)", status)[1]))


def first_line(proc, timeout=30):
    ready, _, _ = select.select([proc.stdout], [], [], timeout)
    if not ready:
        raise AssertionError("program printed nothing")
    return proc.stdout.readline().strip()


def responds(hwnd, timeout=20):
    """Whether the window's thread takes a message within the time."""
    try:
        return harness.run(WINTOOL, "send", hwnd, WM_NULL, "0", "0", timeout=timeout)[0] == 0
    except subprocess.TimeoutExpired:
        return False


def same_window(a, b):
    return int(a, 16) == int(b, 16)


class LongDecodeRun(unittest.TestCase):
    """One long run of random decodes through scanctl batch. The tray window
    is kept in front, so that nothing is typed: the run stays fast and its
    outcome does not hang on a window's input queue, while every decode still
    takes the whole road but the keystrokes (conversion, log, hold-off,
    re-enabling). The symbologies QR, DM and PDF417 are on, Barcode off.
    The run opens with a decode of 64 KB of each shape, so that the buffers
    that keep the size of the largest code so far (the engine pipe's, the
    program's) are as large as they get before the warm-up ends."""
    FLAGS = (1, 1, 0, 1)

    @classmethod
    def setUpClass(cls):
        cls.fixture = norza.NorzaCase()
        cls.fixture.setUp()
        try:
            cls.run_decodes(cls.fixture)
        except BaseException:
            cls.fixture.tearDown()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.fixture.tearDown()

    @classmethod
    def run_decodes(cls, fixture):
        fixture.write("typeSet.ini", "[TYPE]\nQR=1\nDM=1\nBarcode=0\nPDF417=1\nEnter=1\n")
        fixture.write("configDecodeTime.ini", "50")
        enabled = [s for s, on in zip(model.SYMBOLOGIES, cls.FLAGS) if on]
        rng = model.seeded(SEED)
        opening = [("64 KB", enabled[shape % len(enabled)], model.large_payload(rng, shape))
                   for shape in range(min(model.LARGE_SHAPES, DECODES))]
        cls.decodes = opening + model.random_decodes(rng, DECODES - len(opening), enabled,
                                                     "barcode")
        script = os.path.join(fixture.folder, "decodes.txt")
        with open(script, "w") as f:
            f.writelines(model.batch_line(sym, payload) for _, sym, payload in cls.decodes)

        cls.proc = fixture.start_norza()
        cls.journal_start = len(fixture.journal())
        cls.tray = fixture.tray_hwnd()
        norza.wintool("foreground", cls.tray)
        cls.front = [norza.wintool("foreground")[1].strip()]

        with open(script, "rb") as stdin:
            batch = subprocess.Popen(["wine", os.path.join(harness.BIN_DIR, "scanctl.exe"),
                                      "batch"], stdin=stdin, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, env=harness.wine_env())
        fixture.procs.append(batch)
        cls.replies = []
        reader = threading.Thread(target=lambda: cls.replies.extend(
            line.decode("utf-8", "replace").rstrip("\n") for line in batch.stdout))
        reader.start()
        cls.samples = []
        cls.during = 0   # how many of the samples the batch outlived
        started = time.time()
        deadline = started + 120 + DECODES * 0.5
        while batch.poll() is None and time.time() < deadline and cls.proc.poll() is None:
            try:
                cls.samples.append(cls.sample(fixture))
                if batch.poll() is None:
                    cls.during = len(cls.samples)
            except FileNotFoundError:   # the program ended in between
                break
            time.sleep(1)
        cls.finished_in_time = batch.poll() is not None or cls.proc.poll() is not None
        if batch.poll() is None:
            batch.kill()
        batch.wait(30)
        reader.join(30)
        cls.elapsed = time.time() - started
        cls.batch_exit, cls.batch_errors = batch.returncode, batch.stderr.read().decode()

        cls.alive = cls.proc.poll() is None
        cls.quiet = []
        if cls.alive:
            cls.samples.append(cls.sample(fixture))
            # Descriptors and threads once the last sound has ended: Wine
            # plays each on a thread of its own, its file and device open.
            for _ in range(3):
                time.sleep(0.5)
                cls.quiet.append(process_figures(cls.proc.pid))
            cls.front.append(norza.wintool("foreground")[1].strip())
        cls.engine_answers = scanctl("state")[0] == 0
        cls.window_answers = responds(cls.tray)
        log = os.path.join(fixture.folder, "log.log")
        with open(log, "rb") if os.path.exists(log) else open(os.devnull, "rb") as f:
            cls.log = f.read()
        cls.journal = fixture.journal()[cls.journal_start:]
        if cls.alive and cls.engine_answers and cls.window_answers:
            fixture.quit(cls.proc)

    @classmethod
    def sample(cls, fixture):
        """Decodes answered so far; the program's resident memory (kB),
        descriptors and threads; what its heaps hold, the engine's journal
        among it, and the scan history (bytes). The stand-in engine runs
        inside the program and keeps its journal in memory, for scanctl
        journal. None when the program did not tell."""
        figures = (len(cls.replies),) + process_figures(cls.proc.pid)
        try:
            rc, history = norza.wintool("send", cls.tray, WM_HISTORY_BYTES, "0", "0")
            memory = re.fullmatch(r"heap (\d+) journal (\d+)\s*", scanctl("memory")[1])
        except subprocess.TimeoutExpired:
            return None
        if rc != 0 or not memory:
            return None
        return figures + (int(memory[1]), int(memory[2]), int(history))

    def delivered(self):
        return [(kind, payload) for kind, sym, payload in self.decodes if sym != "barcode"]

    def test_the_program_lives_and_answers_every_decode(self):
        self.assertTrue(self.finished_in_time, "the batch hung after %d of %d decodes"
                        % (len(self.replies), len(self.decodes)))
        self.assertTrue(self.alive, "the program ended after %d decodes" % len(self.replies))
        self.assertTrue(self.engine_answers, "the engine pipe no longer answers")
        self.assertTrue(self.window_answers, "the tray window no longer answers")
        self.assertEqual("", self.batch_errors)
        self.assertEqual(len(self.decodes), len(self.replies))
        wrong = [(i, kind, sym, reply) for i, ((kind, sym, _), reply)
                 in enumerate(zip(self.decodes, self.replies))
                 if not (reply == "dropped: barcode disabled" if sym == "barcode"
                         else DELIVERED.match(reply))]
        self.assertEqual([], wrong[:5])
        self.assertEqual(4 if len(self.delivered()) < len(self.decodes) else 0, self.batch_exit)
        # Nothing took the front from the tray window, so nothing was typed.
        self.assertTrue(same_window(self.tray, self.front[0]), self.front)
        self.assertTrue(same_window(self.tray, self.front[-1]), self.front)

        kinds = {}
        for kind, _, _ in self.decodes:
            kinds[kind] = kinds.get(kind, 0) + 1
        times = sorted(int(DELIVERED.match(r)[1]) for r in self.replies if DELIVERED.match(r))
        report("decodes sent %d in %.0f s (%s); delivered %d, dropped as disabled %d; "
               "program time median %d us, slowest %d us"
               % (len(self.decodes), self.elapsed,
                  ", ".join("%s %d" % item for item in sorted(kinds.items())),
                  len(times), len(self.decodes) - len(times), times[len(times) // 2], times[-1]))

    def test_each_delivered_decode_is_logged_once_in_order(self):
        expected = [model.logged_text(payload) for _, payload in self.delivered()]
        entries = log_entries(self.log)
        self.assertEqual(len(expected), len(entries), "entries in the log")
        wrong = [(i, kind, want[:48], got[:48]) for i, ((kind, _), want, got)
                 in enumerate(zip(self.delivered(), expected, entries))
                 if want is not None and want != got]
        self.assertEqual([], wrong[:5])
        compared = sum(1 for e in expected if e is not None)
        report("log entries %d for %d delivered, %d compared byte for byte (%d with text the "
               "code page may turn into look-alikes: counted only), %.1f MB; lost 0"
               % (len(entries), len(expected), compared, len(expected) - compared,
                  len(self.log) / 2 ** 20))

    def test_the_enabled_symbologies_come_back_after_every_decode(self):
        calls = [c for c in self.journal if c != "GetDevice"]
        one = SILENCED + reenabled(self.FLAGS)
        delivered = len(self.delivered())
        self.assertEqual(len(one) * delivered, len(calls), "engine calls for the decodes")
        wrong = [i for i in range(delivered) if calls[i * len(one):(i + 1) * len(one)] != one]
        self.assertEqual([], wrong[:5], "decodes whose engine calls differ")
        report("re-enabled after %d of %d delivered decodes (%d engine calls; %d device polls "
               "between them)" % (delivered - len(wrong), delivered, len(calls),
                                  len(self.journal) - len(calls)))

    def test_memory_and_handles_stay_flat(self):
        self.assertTrue(self.alive)
        self.assertNotIn(None, self.samples, "a sample the program did not answer")
        # Warm-up: the first tenth of the run, at least the first sample.
        warm = next(i for i, s in enumerate(self.samples) if s[0] >= len(self.decodes) // 10)
        warm = max(warm, 1)
        # Taken while the batch ran: once it ends, the engine pipe's thread
        # that served it lets its buffers go.
        running = self.samples[warm:self.during]
        floor = min(FLOOR_SAMPLES, len(running) // 2)
        self.assertGreaterEqual(floor, 2, "too short a run after the warm-up")
        step = max(1, len(self.samples) // 12)
        shown = self.samples[:-1:step] + self.samples[-1:]
        report("memory samples (decodes answered: VmRSS kB / descriptors / threads / heaps kB / "
               "engine journal kB / history kB): " + ", ".join(
                   "%d: %d/%d/%d/%d/%d/%d" % (s[:4] + tuple(b // 1024 for b in s[4:]))
                   for s in shown))

        # What the heaps hold besides the engine's journal and the history,
        # both of which grow by design. A decode under way holds its texts
        # for a moment, so each end of the run counts by its lowest sample.
        def held(s):
            return s[4] - s[5] - s[6]
        first = min(running[:floor], key=held)
        last = min(running[-floor:], key=held)
        heap_growth, heap_decodes = held(last) - held(first), last[0] - first[0]
        heap_bound = 32768 + 64 * heap_decodes
        # The resident size, which a heap returns little of, net of the same.
        base = self.samples[warm]
        later = self.samples[warm:]
        rss_growth = max(s[1] - (s[5] - base[5] + s[6] - base[6]) // 1024 for s in later) - base[1]
        # A sound of a code not typed plays on a thread of the system's, with
        # its file and device open, for a moment, and the run's sounds follow
        # each other closely: the end counts once the program is quiet.
        self.assertTrue(self.quiet, "no figures once the run was over")
        fd_growth = min(q[1] for q in self.quiet) - min(s[2] for s in running[:floor])
        thread_growth = min(q[2] for q in self.quiet) - min(s[3] for s in running[:floor])
        decodes = self.samples[-1][0] - base[0]
        report("growth over the %d decodes between the lowest samples after the warm-up and at "
               "the end: %d bytes on the heaps net of the engine's journal and the history (bound "
               "%d); over the %d decodes after the warm-up: %d kB resident net of the same, %d "
               "descriptors, %d threads; the history held at most %d kB"
               % (heap_decodes, heap_growth, heap_bound, decodes, rss_growth, fd_growth,
                  thread_growth, max(s[6] for s in self.samples) // 1024))
        # Room for the heaps' ups and downs, and 64 bytes a decode: a leak of
        # a few hundred bytes a decode fails a run of 500.
        self.assertLess(heap_growth, heap_bound)
        # Room for the heap's own ups and downs, and 16 bytes a decode.
        self.assertLess(rss_growth, 2048 + decodes * 16 // 1024)
        self.assertLessEqual(fd_growth, 2)
        self.assertLessEqual(thread_growth, 1)


class RandomSettings(norza.NorzaCase):
    """Random typeSet.ini and configDecodeTime.ini files, each pair given to a
    fresh start of the program: the switches and hold-off it hands the engine
    are the ones worked out from the files; the Enter switch, the output
    options (those of the typing target's own section where it has one) and
    the rules show in what two decodes type into a typing target, and the
    log names the rules left out and the one that refuses the code."""

    def place(self, name, data, folder):
        path = os.path.join(self.folder, name)
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif os.path.exists(path):
            os.remove(path)
        if folder:
            os.mkdir(path)
        elif data is not None:
            self.write(name, data)

    def stop(self, proc):
        if proc.poll() is None and scanctl("quit")[0] == 0:
            proc.wait(30)
        if proc.poll() is None:
            proc.kill()
            proc.wait(10)

    def typed(self, target, target_hwnd, flags, code):
        """The key events and the characters with their message times that
        two decodes of the code type, then those of a later "z" from
        elsewhere, which marks that everything before has arrived."""
        if not any(flags[:4]):
            norza.wintool("post", self.tray_hwnd(), WM_COMMAND, ID_TRAY_QR, "0")
            wait_for(lambda: "setQRable 1" in self.journal(), what="QR switched on from the menu")
            flags = (1,) + tuple(flags[1:])
        sym = model.SYMBOLOGIES[list(flags[:4]).index(1)]
        self.assertEqual(0, norza.wintool("foreground", target_hwnd)[0])
        before = len(target.report()["events"])
        line = "decode-hex %s %s\n" % (sym, code.encode().hex())
        rc, out, err = scanctl("batch", input=(line * 2).encode())
        self.assertEqual(2, len([line for line in out.splitlines() if DELIVERED.match(line)]),
                         out + err)
        self.assertEqual(0, harness.run(SENDKEYS, "z")[0])
        try:
            wait_for(lambda: ("up", "5a") in target.report()["events"][before:], timeout=20,
                     what="the z")
        except AssertionError:
            raise AssertionError("no z; the target has had %r" % (target.report()["events"][before:],))
        report_ = target.report()
        events = list(zip(report_["events"], report_["times"]))[before:]
        return ([e for e, _ in events if e[0] in ("down", "up")],
                [(chr(int(e[1], 16)), t) for e, t in events if e[0] == "char"])

    def test_random_settings_files_give_the_documented_values(self):
        rng = model.seeded(SEED + 1)
        target = self.typing_target()
        target_hwnd = wait_for(lambda: [w["hwnd"] for w in norza.windows()
                                        if w["title"] == "Norza Typing Target"],
                               what="the typing target's window")[0]
        seen_flags, seen_times, seen_output, started = set(), set(), set(), time.time()
        shapes = {"huge": 0, "folder or missing": 0, "binary": 0, "BOM": 0, "CR only": 0}
        rules = {"left out": 0, "shaped the code": 0, "refused it": 0, "program section": 0}
        log_path = os.path.join(self.folder, "log.log")
        for i in range(CONFIGS):
            code = rng.choice(model.CODES)
            type_name, type_data, type_folder = model.random_type_set(rng, code, HUGE_MB)
            time_name, time_data, time_folder = model.settle_hold_off(
                rng, lambda r: model.random_decode_time(r, HUGE_MB))
            outcome = model.settings_outcome(None if type_folder else type_data, *code)
            flags, output = outcome["flags"], outcome["options"]
            seen_output.add(repr(output))
            hold_off = model.decode_time(None if time_folder else time_data)
            seen_flags.add(flags)
            seen_times.add(hold_off)
            for shape, hit in [("huge", "MB" in type_name + time_name),
                               ("folder or missing", type_data is None or time_data is None),
                               ("binary", "random bytes" in type_name + time_name),
                               ("BOM", "BOM" in type_name), ("CR only", "CR line" in type_name)]:
                shapes[shape] += hit
            rules["left out"] += len(outcome["left_out"])
            rules["shaped the code"] += outcome["rule"] > 0 and outcome["typed"] is not None
            rules["refused it"] += outcome["typed"] is None
            rules["program section"] += output != model.output_options(
                None if type_folder else type_data)
            with self.subTest(config=i, seed=SEED, code=code[0], typeSet=type_name,
                              decodeTime=time_name):
                self.place("typeSet.ini", type_data, type_folder)
                self.place("configDecodeTime.ini", time_data, time_folder)
                if os.path.exists(self.journal_path):
                    os.remove(self.journal_path)
                log_start = os.path.getsize(log_path) if os.path.exists(log_path) else 0
                proc = self.start(self.exe, cwd=self.folder)
                try:
                    wait_for(lambda: "SetBeep 1" in self.journal(), timeout=30,
                             what="the start-up to end")
                    self.assertEqual(
                        ["GetDevice", "GetAppHandle", "StartDevice"] +
                        ["%s %d" % call for call in zip(SETTERS, flags)] +
                        ["SetBeepTime 200", "SetDecodeTime %d" % hold_off, "SetBeep 1"],
                        names(self.journal())[:10])
                    keys, chars = self.typed(target, target_hwnd, flags, code[0])
                    once = outcome["typed"]
                    # A refused code is not typed, so the next is no repeat.
                    twice = once is None or output["repeat_window"] < 1000   # 0 (off) or 1 ms
                    self.assertEqual((once or "") * (2 if twice else 1) + "z",
                                     "".join(ch for ch, _ in chars))
                    self.assertEqual(once is not None and output["suffix"] is None and
                                     bool(flags[4]), contains(keys, SHIFT_ENTER))
                    if once and output["key_delay"] >= 20 and len(once) > 2:
                        times = [t for _, t in chars[:len(once)]]
                        self.assertTrue(paced(times, output["key_delay"]),
                                        (output["key_delay"], times))
                    with open(log_path, "rb") as f:
                        log = f.read()[log_start:]
                    self.assertEqual(outcome["left_out"],
                                     [int(n) for n in RULE_LEFT_OUT.findall(log)])
                    self.assertEqual([outcome["rule"]] * 2 if once is None else [],
                                     [int(n) for n in RULE_REFUSES.findall(log)])
                finally:
                    self.stop(proc)
        report("settings pairs tried %d in %.0f s (%s); %d different switch sets, %d different "
               "hold-offs, %d different output options; rules %s; all as worked out" % (
                   CONFIGS, time.time() - started, ", ".join("%s %d" % s for s in shapes.items()),
                   len(seen_flags), len(seen_times), len(seen_output),
                   ", ".join("%s %d" % r for r in rules.items())))


class OddEngineResults(norza.NorzaCase):
    """GetDevice means "no scanner" only by -1, whatever else it says; at
    start-up only a StartDevice of exactly 1 goes on to configure the
    engine, while the device watch takes any result but 0 as started."""

    def barrier(self):
        """Returns once the tray window has finished what it was doing."""
        self.assertTrue(responds(self.tray_hwnd()), "the tray window no longer answers")

    def next_poll(self, commands=()):
        """Sets the engine up with scanctl commands, then returns the engine
        calls of the next device poll, once it is over."""
        if commands:
            rc, out, err = scanctl("batch", input="".join(c + "\n" for c in commands).encode())
            self.assertEqual((0, ["ok"] * len(commands)), (rc, out.splitlines()), err)
        mark = len(self.journal())
        self.poll_device(only=True)
        self.polls = getattr(self, "polls", 0) + 1
        return self.journal()[mark:]

    def test_watch_takes_only_minus_one_as_gone_and_any_nonzero_start_as_started(self):
        self.write("typeSet.ini", "[TYPE]\nQR=1\nDM=0\nBarcode=1\nPDF417=0\n")
        proc = self.start_norza()
        tray.wait_icon("mixed")
        self.next_poll()   # from here on the device is looked at only when asked
        steps = [  # engine set-up, the next poll's calls, the icon after it
            (["device-result 5"], ["GetDevice"], None),
            (["device-result -2"], ["GetDevice"], None),
            (["device-result 2147483647"], ["GetDevice"], "mixed"),
            (["device-result -1"], ["GetDevice", "ReleaseLostDevice"], "no_device"),
            (["start-result -1", "device-result -2147483648"],
             ["GetDevice", "StartDevice", "SetBeep 1"], "mixed"),
            (["device-result 7"], ["GetDevice"], None),
            (["device-result -1"], ["GetDevice", "ReleaseLostDevice"], None),
            (["start-result 2147483647", "device-result auto"],
             ["GetDevice", "StartDevice", "SetBeep 1"], None),
            ([], ["GetDevice"], None),
        ]
        for commands, calls, icon in steps:
            with self.subTest(commands=commands):
                self.assertEqual(calls, self.next_poll(commands))
                if icon:
                    tray.wait_icon(icon, timeout=3)
        before = len(self.journal())
        rc, out, _ = scanctl("decode", "qr", "still decoding")
        self.assertRegex(out, DELIVERED)
        self.assertEqual(SILENCED + reenabled((1, 0, 1, 0)),
                         self.engine_calls(before))
        self.quit(proc)
        self.assertEqual("ReleaseDevice", self.journal()[-1])
        report("engine results injected: GetDevice 5, -2, 2147483647, -2147483648, 7 taken as "
               "attached, -1 as gone; StartDevice -1 and 2147483647 in the watch taken as "
               "started; %d polls gone through" % self.polls)

    def test_start_up_configures_the_engine_only_after_a_start_of_exactly_1(self):
        cases = [(-2, -1, "app"), (-1, 2147483647, "no_device"), (2147483647, 2, "app")]
        for device, start, icon in cases:
            with self.subTest(device_result=device, start_result=start):
                self.write("vistrel.ini", "[device]\ndevice-result=%d\nstart-result=%d\n"
                           % (device, start))
                if os.path.exists(self.journal_path):
                    os.remove(self.journal_path)
                proc = self.start_norza(until="StartDevice")
                self.barrier()
                tray.wait_icon(icon)
                self.poll_device()   # it tries the start again, to no avail
                retry = ["GetDevice"] if device == -1 else ["GetDevice", "StartDevice"]
                expected = ["GetDevice", "GetAppHandle", "StartDevice"] + retry
                # The watch's own tick may have looked as well, the same way.
                self.assertEqual(expected, names(self.journal())[:len(expected)])
                self.assertEqual(icon, tray.shown_icon())
                self.assertEqual((4, "dropped: qr disabled\n"), scanctl("decode", "qr", "x")[:2])
                self.quit(proc)
                self.assertEqual("ReleaseDevice", self.journal()[-1])
        report("start-ups with odd engine results: %s; none configured the engine"
               % ", ".join("GetDevice %d/StartDevice %d" % c[:2] for c in cases))


class LogFaults(norza.NorzaCase):
    """A log that cannot be written, or is held by another program, or whose
    lock a writer holds while it hangs or after it was killed: every decode
    is still delivered and the symbologies come back, within the bounds the
    log keeps; what cannot be written is lost, and nothing else."""

    def setUp(self):
        super().setUp()
        self.write("typeSet.ini", "[TYPE]\nQR=1\nDM=1\nBarcode=1\nPDF417=1\n")
        self.write("configDecodeTime.ini", "50")
        self.proc = self.start_norza()
        norza.wintool("foreground", self.tray_hwnd())   # nothing is typed
        self.log_path = os.path.join(self.folder, "log.log")

    def decode(self, text):
        """Decodes the text; returns how long the program took, in seconds."""
        before = len(self.journal())
        rc, out, err = scanctl("decode", "qr", text, timeout=LOCK_WAIT * 4 + 30)
        self.assertRegex(out, DELIVERED, err)
        self.assertEqual(SILENCED + reenabled((1, 1, 1, 1)),
                         self.engine_calls(before))
        return int(DELIVERED.match(out.strip())[1]) / 1e6

    def logged(self):
        with open(self.log_path, "rb") as f:
            return [e.decode() for e in log_entries(f.read())]

    def test_a_log_that_cannot_be_opened_loses_only_its_own_entries(self):
        # Under Wine a read-only file stays writable for root, which runs the
        # tests; a folder in the log's place denies writing to anyone.
        self.decode("before")
        self.assertEqual(["before"], self.logged())
        os.remove(self.log_path)
        os.mkdir(self.log_path)
        took = [self.decode("lost %d" % i) for i in range(5)]
        self.assertLess(max(took), OPEN_RETRY + 1, "waited for a fault that will not pass")
        os.rmdir(self.log_path)
        self.decode("after")
        self.assertEqual(["after"], self.logged())
        self.assertIsNone(self.proc.poll())
        report("log in the way of a folder: 5 entries lost, 2 written; decodes took at most "
               "%.2f s while it was" % max(took))

    def test_a_log_held_by_another_program_loses_only_what_it_kept_out(self):
        self.decode("before")
        viewer = self.start(LOGSTRESS, "hold-file", winpath(self.log_path), "read")
        self.assertEqual(b"holding", first_line(viewer))
        self.decode("while viewed")
        self.assertEqual(["before", "while viewed"], self.logged())
        viewer.kill()
        viewer.wait(10)

        holder = self.start(LOGSTRESS, "hold-file", winpath(self.log_path))
        self.assertEqual(b"holding", first_line(holder))
        took = [self.decode("held %d" % i) for i in range(3)]
        self.assertGreater(min(took), OPEN_RETRY - 0.05, "the held file was not retried")
        self.assertLess(max(took), LOCK_WAIT, "the held file kept the decode waiting")
        self.assertEqual(["before", "while viewed"], self.logged())
        holder.kill()
        holder.wait(10)
        self.decode("after")
        self.assertEqual(["before", "while viewed", "after"], self.logged())
        report("log open in a viewer: 0 entries lost; held open without sharing: 3 entries "
               "lost, then written again; each decode took %.2f-%.2f s while held (the retry "
               "is %.1f s)" % (min(took), max(took), OPEN_RETRY))

    def test_a_writer_hanging_or_killed_with_the_lock_costs_one_wait(self):
        self.decode("first")   # the program now keeps the lock open
        hanging = self.start(LOGSTRESS, "hold-lock")
        self.assertEqual(b"holding", first_line(hanging))
        # Written after one wait, the lock left to its live holder; the next
        # entry only looks again.
        took = [self.decode("while it hangs"), self.decode("after the wait")]
        hanging.kill()
        hanging.wait(10)
        took.append(self.decode("after it hung"))   # its abandoned lock taken over

        killed = self.start(LOGSTRESS, "hold-lock")   # takes the lock the program gave back
        self.assertEqual(b"holding", first_line(killed))
        killed.kill()
        killed.wait(10)
        took += [self.decode("after it was killed"), self.decode("last")]

        self.assertEqual(["first", "while it hangs", "after the wait", "after it hung",
                          "after it was killed", "last"], self.logged())
        for i in (0, 3):
            self.assertGreater(took[i], LOCK_WAIT - 0.1, "the held lock was not met")
            self.assertLess(took[i], LOCK_WAIT + 5, "the held lock kept the decode waiting")
        for i in (1, 2, 4):
            self.assertLess(took[i], LOCK_WAIT - 0.5, "a decode waited the whole bound again")
        report("log lock held by a hanging and by a killed writer: 0 entries lost, 6 written; "
               "decodes took %s s" % ", ".join("%.2f" % t for t in took))


if __name__ == "__main__":
    unittest.main(verbosity=2)
