#!/usr/bin/env python3
"""How fast Norza types, against the least any program must do to type the
same text, and what one decode costs the program apart from the hold-off.

    python3 bench/typing_bench.py [--build DIR] [--reps N] [--edit-reps N]
                                  [--decodes N] [--cases key,char] [--keep]

DIR is the build folder (default: $NORZA_BENCH_BUILD or "build"). Runs in a
private virtual display and Wine prefix of its own under DIR/typing-bench,
with the Chinese ANSI code page (936), and prints three tables:

1. Typing throughput: 4,096 ASCII characters in key mode and 2,048 Chinese
   characters in character mode (sent as UTF-8, typed as GBK). Norza's time
   runs from the moment the decode request leaves the sender to the moment the
   typing target has taken in the last character; the floor's from just
   before the first key (sendkeys.exe) or first post (postchars.exe) to the
   same moment. Both floors are kept running and fed a text a round. Norza and
   the floor take turns; best, median and worst of --reps rounds (three
   times as many in character mode) into the target's sink (characters kept
   aside) and --edit-reps rounds into its edit field
   (characters taken in and drawn one by one, as a real application does).
   All clocks are the one performance counter the Wine processes share.
2. Handler time per decode: what the engine measures from the decode to the
   moment it is switched on again ("delivered") less the 50 ms hold-off, for
   100-byte and 4 KB texts, with the tray window in front (nothing is typed)
   and with the typing target (its sink) in front; median and 90th
   percentile of --decodes decodes; and how long the engine's thread waited
   in its SendMessage of the decode ("answered"), median.
3. The pieces of that handling timed on their own (handlerparts.exe).
4. Paste output against character mode: 4 KB of Chinese (1,366 characters)
   into the typing target's edit field, from the decode request to the whole
   text in the field, and how long the handler was busy (a paste includes
   the wait for the target to be done and PasteRestoreDelay before the
   user's clipboard comes back).

--cases runs only the typing cases named (key, char), --edit-reps 0 only the
sink rounds and --decodes 0 neither table 2 nor 3: a quicker look at one case.

Takes some ten to twenty minutes, most of it in the edit-field rounds.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
HOLD_OFF_MS = 50


def parse_args():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--build", default=os.environ.get("NORZA_BENCH_BUILD", "build"),
                    help="build folder (default: $NORZA_BENCH_BUILD or build)")
    ap.add_argument("--reps", type=int, default=15,
                    help="typing rounds a side into the sink (default 15; three times as many "
                         "in character mode, whose rounds are short and easily disturbed)")
    ap.add_argument("--edit-reps", type=int, default=5,
                    help="typing rounds a side into the edit field (default 5; 0 skips them)")
    ap.add_argument("--decodes", type=int, default=30,
                    help="decodes per handler-time case (default 30; 0 skips tables 2 and 3)")
    ap.add_argument("--paste-reps", type=int, default=5,
                    help="paste and character-mode rounds a side (default 5)")
    ap.add_argument("--paste-only", action="store_true", help="run table 4 only")
    ap.add_argument("--cases", default="key,char",
                    help="typing cases to run, comma-separated: key, char (default both)")
    ap.add_argument("--keep", action="store_true", help="keep the work folder afterwards")
    return ap.parse_args()


ARGS = parse_args()
BUILD = os.path.abspath(os.path.join(ROOT, ARGS.build) if not os.path.isabs(ARGS.build)
                        else ARGS.build)
WORK = os.path.join(BUILD, "typing-bench")
BENCH_BIN = os.path.join(BUILD, "bench")
os.environ.update(NORZA_BUILD_DIR=BUILD, NORZA_CODEPAGE="936",
                  NORZA_E2E_STATE=os.path.join(WORK, "state.json"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import harness  # noqa: E402
import norza  # noqa: E402
from harness import wait_for, winpath  # noqa: E402


# ---------------------------------------------------------------- texts

ASCII_CHARS = ("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
               " -./:+=_!?,;#*%$&@")


def ascii_text(n, seed=1):
    rnd = random.Random(seed)
    return "".join(rnd.choice(ASCII_CHARS) for _ in range(n))


def chinese_text(n, seed=2):
    """n characters from the most common level of GB2312, so that every one
    has a two-byte GBK form."""
    pool = []
    for lead in range(0xB0, 0xD8):
        for trail in range(0xA1, 0xFF):
            if lead == 0xD7 and trail > 0xF9:
                break
            pool.append(bytes((lead, trail)).decode("gb2312"))
    rnd = random.Random(seed)
    return "".join(rnd.choice(pool) for _ in range(n))


def write_file(name, data):
    path = os.path.join(WORK, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


# ------------------------------------------------------------ the target

class Target:
    """The typing target in its timed-rounds mode: each time `count`
    characters have arrived it writes its report with the round's number and
    the counter values of the first and the last character."""

    def __init__(self, count, name, sink=False, exe=None):
        self.count = count
        self.path = os.path.join(WORK, name + "-report.txt")
        if os.path.exists(self.path):
            os.remove(self.path)
        self.proc = harness.start(exe or os.path.join(harness.TOOLS_DIR, "typetarget.exe"),
                                  winpath(self.path), "1", str(count),
                                  *(["sink"] if sink else []))
        self.round = 0
        wait_for(lambda: os.path.exists(self.path), timeout=30, what="the typing target")
        self.hwnd = wait_for(lambda: [w["hwnd"] for w in norza.windows()
                                      if w["cls"] == "NorzaTypingTarget" and w["visible"]],
                             timeout=30, what="the typing target's window")[0]
        time.sleep(0.3)

    def read(self):
        values = {}
        with open(self.path) as f:
            for line in f:
                key, _, value = line.rstrip("\n").partition(" ")
                if key == "events":
                    break
                values[key] = value
        return values

    def next_round(self, timeout=120):
        """Waits for the next round; returns (first, last, freq, ANSI text)."""
        want = self.round + 1
        deadline = time.time() + timeout
        while True:
            try:
                r = self.read()
                if int(r.get("round", "0")) >= want:
                    break
            except (OSError, ValueError):
                pass
            if time.time() > deadline:
                raise AssertionError("the typing target never completed round %d" % want)
            time.sleep(0.002)
        self.round = int(r["round"])
        if self.round != want:
            raise AssertionError("the typing target skipped to round %d" % self.round)
        return (int(r["first"]), int(r["last"]), int(r["freq"]),
                bytes.fromhex(r["field0.ansi"]))

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)
        for s in (self.proc.stdout, self.proc.stderr):
            s.close()


# ----------------------------------------------------------- the senders

class LineTool:
    """A Windows console program kept running, fed one line at a time."""

    def __init__(self, exe, *args):
        self.stderr = open(os.path.join(WORK, os.path.basename(exe) + ".stderr"), "wb")
        self.proc = subprocess.Popen(["wine", exe, *args], env=harness.wine_env(),
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=self.stderr)

    def ask(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()
        reply = self.proc.stdout.readline().decode().strip()
        if not reply:
            self.stderr.flush()
            with open(self.stderr.name, "rb") as f:
                err = f.read().decode(errors="replace").strip()
            raise AssertionError("%s ended (exit %s): %s"
                                 % (self.proc.args[1], self.proc.wait(10), err))
        return reply

    def close(self):
        self.proc.stdin.close()
        self.proc.wait(30)
        self.proc.stdout.close()
        self.stderr.close()


def counters(text):
    """start/end/freq lines (or one line of such pairs) as a dict of ints."""
    words = text.split()
    values = {}
    for i in range(0, len(words) - 1):
        if words[i] in ("start", "end", "freq", "delivered", "answered"):
            values[words[i]] = int(words[i + 1])
    return values


# ------------------------------------------------------ typing throughput

def typing_round(target, send, expected):
    """Times one text from its sender to the target. Returns milliseconds to
    the last and to the first character, and how long the sender was busy."""
    start, busy = send()
    first, last, freq, ansi = target.next_round()
    if ansi != expected:
        raise AssertionError("the target holds %d bytes, not the %d expected (first "
                             "difference at %d)" % (len(ansi), len(expected),
                                                    next((i for i, (a, b) in enumerate(
                                                        zip(ansi, expected)) if a != b),
                                                        min(len(ansi), len(expected)))))
    return (last - start) / freq * 1000.0, (first - start) / freq * 1000.0, busy


def throughput(label, count, norza_send, floor_send, expected, sink, reps):
    target = Target(count, "sink" if sink else "edit", sink)
    label += ", sink" if sink else ", edit field"
    try:
        if sink:
            # One untimed round each: first calls in a process cost extra.
            typing_round(target, norza_send, expected)
            typing_round(target, floor_send, expected)
        norza_ms, floor_ms, norza_first, floor_first = [], [], [], []
        norza_busy, floor_busy = [], []
        for rep in range(reps if sink else ARGS.edit_reps):
            order = [("norza", norza_send), ("floor", floor_send)]
            if rep % 2:
                order.reverse()
            got = {}
            for side, send in order:
                got[side] = typing_round(target, send, expected)
            norza_ms.append(got["norza"][0])
            floor_ms.append(got["floor"][0])
            norza_first.append(got["norza"][1])
            floor_first.append(got["floor"][1])
            norza_busy.append(got["norza"][2])
            floor_busy.append(got["floor"][2])
            print("  %-38s round %d: Norza %8.1f ms, floor %8.1f ms"
                  % (label, rep + 1, got["norza"][0], got["floor"][0]), flush=True)
    finally:
        target.close()
    return dict(label=label, count=count, rounds=len(norza_ms), norza=spread(norza_ms),
                floor=spread(floor_ms), norza_first=statistics.median(norza_first),
                floor_first=statistics.median(floor_first),
                norza_busy=statistics.median(norza_busy), floor_busy=statistics.median(floor_busy))


def spread(values):
    """Best, median and worst of a case's rounds: a median far from the best
    with the worst near it means two kinds of round, not one slow one."""
    return min(values), statistics.median(values), max(values)


def norza_sender(scanclock, path):
    """Sends the file as a decode; the program is busy for what the engine
    measures around its SendMessage, less the hold-off."""
    def send():
        c = counters(scanclock.ask("qr " + winpath(path)))
        return c["start"], c["delivered"] / 1000.0 - HOLD_OFF_MS
    return send


def floor_sender(tool, line):
    def send():
        c = counters(tool.ask(line))
        return c["start"], (c["end"] - c["start"]) / c["freq"] * 1000.0
    return send


def typing_throughput(scanclock, sendkeys, postchars):
    rows = []
    text = ascii_text(4096).encode("ascii")
    norza_ascii = norza_sender(scanclock, write_file("ascii-4096.txt", text))
    floor_ascii = floor_sender(sendkeys, text.decode())

    sides = (True, False)[:2 if ARGS.edit_reps > 0 else 1]
    cases = ARGS.cases.split(",")
    for sink in sides if "key" in cases else ():
        rows.append(throughput("key mode, ASCII", 4096, norza_ascii, floor_ascii, text, sink,
                               ARGS.reps))

    zh = chinese_text(2048)
    norza_chinese = norza_sender(scanclock, write_file("chinese-2048.utf8", zh.encode("utf-8")))
    floor_chinese = floor_sender(postchars, winpath(write_file("chinese-2048.gbk",
                                                               zh.encode("gbk"))))

    for sink in sides if "char" in cases else ():
        rows.append(throughput("char mode, Chinese", 2048, norza_chinese, floor_chinese,
                               zh.encode("gbk"), sink, 3 * ARGS.reps))
    return rows


# ----------------------------------------------------------- handler time

def handler_times(batch, path, n, target=None, expected=None):
    """`delivered` less the hold-off, in microseconds, of n decodes of the
    file, and the median of `answered`; with a target, each decode's text
    has arrived, as expected, before the next is sent."""
    times, answered = [], []
    for _ in range(n):
        reply = batch.ask("decode-file qr " + winpath(path))
        if not reply.startswith("delivered "):
            raise AssertionError("decode not delivered: " + reply)
        times.append(int(reply.split()[1]) - HOLD_OFF_MS * 1000)
        answered.append(counters(reply).get("answered", times[-1]))
        if target and target.next_round()[3] != expected:
            raise AssertionError("the target did not receive the text of " + path)
    return times, statistics.median(answered)


def p90(values):
    s = sorted(values)
    return s[min(len(s) - 1, (len(s) * 9) // 10)]


def handler_time(batch, tray_hwnd):
    texts = [
        ("ascii-100B", ascii_text(100, seed=3), 100),
        ("ascii-4KB", ascii_text(4096, seed=4), 4096),
        ("chinese-100B", "A" + chinese_text(33, seed=5), 34),
        ("chinese-4KB", "A" + chinese_text(1365, seed=6), 1366),
    ]
    rows = []
    paths = []
    for label, text, chars in texts:
        path = write_file(label + ".txt", text.encode("utf-8"))
        paths.append(path)
        size = len(text.encode("utf-8"))
        target = Target(chars, label, sink=True)
        try:
            typed = handler_times(batch, path, ARGS.decodes, target, text.encode("gbk"))
            if norza.wintool("foreground", tray_hwnd)[0] != 0:
                raise AssertionError("the tray window did not come to the front")
            time.sleep(0.2)
            untyped = handler_times(batch, path, ARGS.decodes)
            if target.read().get("round") != str(target.round):
                raise AssertionError("text was typed while the tray window was in front")
        finally:
            target.close()
        rows.append((label, size, "tray window", untyped))
        rows.append((label, size, "typing target", typed))
        print("  %-14s done" % label, flush=True)
    return rows, paths


# ------------------------------------------------------- paste or type

def paste_against_chars(scanclock):
    """Rows of (label, ms to the text in the field, ms busy) per round."""
    text = "A" + chinese_text(1365, seed=6)
    path = write_file("chinese-4KB-paste.txt", text.encode("utf-8"))
    send = norza_sender(scanclock, path)
    # The copy's name has a program section of its own: Method=paste.
    paster = os.path.join(WORK, "pastetarget.exe")
    shutil.copy2(os.path.join(harness.TOOLS_DIR, "typetarget.exe"), paster)
    rows = []
    for label, exe in (("pasted", paster), ("posted characters", None)):
        target = Target(len(text), "paste-" + label.split()[0], exe=exe)
        try:
            times = []
            for rep in range(ARGS.paste_reps):
                ms, _, busy = typing_round(target, send, text.encode("gbk"))
                times.append((ms, busy))
                print("  %-18s round %d: %8.1f ms, busy %8.1f ms" % (label, rep + 1, ms, busy),
                      flush=True)
        finally:
            target.close()
        rows.append((label, times))
    return rows


# ----------------------------------------------------------------- main

def install():
    folder = os.path.join(WORK, "Norza")
    shutil.copytree(harness.BIN_DIR, folder)
    with open(os.path.join(folder, "configDecodeTime.ini"), "w") as f:
        f.write(str(HOLD_OFF_MS))
    with open(os.path.join(folder, "typeSet.ini"), "w") as f:
        f.write("[TYPE]\nQR=1\nDM=1\nBarcode=1\nPDF417=1\nEnter=0\n"
                "[OUTPUT:pastetarget.exe]\nMethod=paste\n")
    return folder


def main():
    for exe in (os.path.join(BENCH_BIN, "scanclock.exe"), os.path.join(BENCH_BIN, "postchars.exe"),
                os.path.join(BENCH_BIN, "handlerparts.exe"),
                os.path.join(harness.BIN_DIR, "Norza.exe")):
        if not os.path.exists(exe):
            sys.exit("%s is missing: build first (ninja -C %s)" % (exe, BUILD))
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    state = os.environ["NORZA_E2E_STATE"]
    wineenv = os.path.join(ROOT, "tests", "e2e", "wineenv.py")
    try:
        subprocess.run([sys.executable, wineenv, "start", state], check=True,
                       stdout=subprocess.DEVNULL)
        run()
    finally:
        subprocess.run([sys.executable, wineenv, "stop", state])
        if not ARGS.keep:
            shutil.rmtree(WORK, ignore_errors=True)


def run():
    folder = install()
    journal = os.path.join(folder, "vistrel.journal")
    # Wine's error messages go to a file, to tell what happened should the
    # program end before its time.
    env = dict(harness.wine_env(), WINEDEBUG="err+all")
    wine_log = open(os.path.join(WORK, "norza.out"), "wb")
    program = subprocess.Popen(["wine", os.path.join(folder, "Norza.exe")], cwd=folder, env=env,
                               stdin=subprocess.DEVNULL, stdout=wine_log, stderr=wine_log)
    wait_for(lambda: os.path.exists(journal) and "SetBeep 1" in open(journal).read(),
             timeout=30, what="Norza to start")
    tray_hwnd = [line.split()[1] for line in open(journal) if line.startswith("GetAppHandle")][-1]
    tools = [LineTool(os.path.join(BENCH_BIN, "scanclock.exe")),
             LineTool(os.path.join(harness.TOOLS_DIR, "sendkeys.exe"), "-t"),
             LineTool(os.path.join(BENCH_BIN, "postchars.exe")),
             LineTool(os.path.join(harness.BIN_DIR, "scanctl.exe"), "batch")]
    rows1 = rows2 = paths = None
    try:
        rows2, paths = [], []
        if not ARGS.paste_only:
            print("typing throughput (Norza and the floor taking turns):", flush=True)
            rows1 = typing_throughput(*tools[:3])
            if ARGS.decodes > 0:
                print("handler time (%d decodes a case):" % ARGS.decodes, flush=True)
                rows2, paths = handler_time(tools[3], tray_hwnd)
        print("paste against character mode:", flush=True)
        rows4 = paste_against_chars(tools[0])
    except AssertionError:
        if program.poll() is not None:
            print("Norza ended with exit code %#x; Wine said:" % (program.returncode & 0xFFFFFFFF))
            with open(wine_log.name, "rb") as f:
                print(f.read().decode(errors="replace")[-3000:])
        raise
    finally:
        wine_log.close()
        for tool in tools:
            tool.close()
    harness.scanctl("quit")
    program.wait(30)

    if ARGS.paste_only:
        report_paste(rows4)
        return
    parts = b""
    if paths:
        rc, parts, err = harness.run(os.path.join(BENCH_BIN, "handlerparts.exe"),
                                     winpath(os.path.join(WORK, "parts.log")),
                                     *[winpath(p) for p in paths])
        if rc != 0:
            raise AssertionError("handlerparts failed: " + err.decode(errors="replace"))
    report(rows1, rows2, parts.decode())
    report_paste(rows4)


def report_paste(rows):
    print("\n4. Paste against character mode, 4 KB of Chinese (1,366 characters) into the edit "
          "field (ms)")
    print("%-18s %6s %10s %10s %10s" % ("", "rounds", "in field", "best", "busy"))
    for label, times in rows:
        print("%-18s %6d %10.1f %10.1f %10.1f" % (
            label, len(times), statistics.median(t[0] for t in times), min(t[0] for t in times),
            statistics.median(t[1] for t in times)))
    print("in field: from the decode request to the whole text in the field (median); busy: the")
    print("  handler's time less the hold-off, a paste's including PasteRestoreDelay (500 ms).")


def report(rows1, rows2, parts):
    print("\n1. Typing throughput, from sending to the last character in the target "
          "(ms; hold-off %d ms, code page 936)" % HOLD_OFF_MS)
    print("%-30s %5s %6s  %-21s  %-21s %6s %8s %12s %11s" % (
        "", "chars", "rounds", "Norza", "floor", "ratio", "Norza", "1st char", "busy"))
    print("%-30s %5s %6s  %-21s  %-21s %6s %8s %12s %11s" % (
        "", "", "a side", "best  median   worst", "best  median   worst", "", "chars/s", "N/F",
        "N/F"))
    for r in rows1:
        print(("%-30s %5d %6d  %6.1f %6.1f %7.1f  %6.1f %6.1f %7.1f %6.2f %8.0f"
               " %6.1f/%-5.1f %5.0f/%-5.0f") % (
            r["label"], r["count"], r["rounds"], r["norza"][0], r["norza"][1], r["norza"][2],
            r["floor"][0], r["floor"][1], r["floor"][2], r["floor"][1] / r["norza"][1],
            r["count"] / r["norza"][1] * 1000, r["norza_first"], r["floor_first"],
            r["norza_busy"], r["floor_busy"]))
    print("ratio: floor median / Norza median, i.e. Norza's speed as a share of the floor's.")
    print("best, median, worst: of the side's rounds; a median far from the best marks rounds of")
    print("  two kinds (some lose time the others do not).")
    print("floor: sendkeys.exe -t (key mode), postchars.exe (character mode), each kept running")
    print("  and fed a text a round, taking turns with Norza.")
    print("1st char: ms to the first character; busy: ms the sender was at it (Norza: delivered")
    print("  less the hold-off); both medians.")
    print("sink: the target keeps the characters aside; edit field: its edit control takes each")
    print("  in as it comes and draws it, as a real application's field does.")

    if not rows2:
        return
    print("\n2. Handler time per decode (µs): from the decode to the engine switched on again, "
          "less the %d ms hold-off" % HOLD_OFF_MS)
    print("%-14s %6s %-14s %8s %8s %8s %8s %9s" % ("text", "bytes", "in front", "median", "p90",
                                                   "min", "decodes", "answered"))
    for label, size, front, (times, answered) in rows2:
        print("%-14s %6d %-14s %8.0f %8.0f %8.0f %8d %9.0f" % (
            label, size, front, statistics.median(times), p90(times), min(times), len(times),
            answered))
    print("answered: how long the engine's thread waited in its SendMessage of the decode (median).")

    print("\n3. The pieces, timed on their own in one process (µs)")
    print(parts.rstrip().replace(".txt", "    "))


if __name__ == "__main__":
    main()
