#!/usr/bin/env python3
"""How long a code takes to reach a chosen program (Target=) that sits behind
another window, against the same code into that program already in front.

    python3 bench/target_bench.py [--build DIR] [--reps N]

Runs in typing_bench.py's private display and Wine prefix (code page 936).
The target is the typing target in its timed-rounds mode, named by
Target=typetarget.exe with ReturnFocus=1; notepad is the other window. Each
round sends a 16-character code through the stand-in engine and times, on
the performance counter the Wine processes share, from the decode request to
the target's first character. "Behind" rounds start with notepad in front
(the give-back of the round before puts it there again); "in front" rounds
with the target in front. Best, median and worst of --reps rounds a side,
taking turns; the goal is a median within 50 ms of the front's.
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import typing_bench as tb  # noqa: E402  (parses the same --build and --reps)
from typing_bench import harness, norza, wait_for, winpath  # noqa: E402

TEXT = b"TARGET-0123456789"[:16]


def foreground(hwnd):
    norza.wintool("foreground", hwnd)
    wait_for(lambda: norza.wintool("foreground")[1].strip() == hwnd, timeout=5, what="%s in front" % hwnd)


def run():
    folder = tb.install()
    with open(os.path.join(folder, "typeSet.ini"), "w") as f:
        f.write("[TYPE]\nQR=1\nDM=1\nBarcode=1\nPDF417=1\nEnter=0\n[OUTPUT]\nTarget=typetarget.exe\nReturnFocus=1\n")
    journal = os.path.join(folder, "vistrel.journal")
    program = subprocess.Popen(["wine", os.path.join(folder, "Norza.exe")], cwd=folder, env=harness.wine_env(),
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: os.path.exists(journal) and "SetBeep 1" in open(journal).read(),
             timeout=30, what="Norza to start")
    target = tb.Target(len(TEXT), "target", sink=True)
    notepad = harness.start("notepad")
    notepad_hwnd = wait_for(lambda: [w["hwnd"] for w in norza.windows() if w["cls"] == "Notepad" and w["visible"]],
                            timeout=30, what="notepad")[0]
    scanclock = tb.LineTool(os.path.join(tb.BENCH_BIN, "scanclock.exe"))
    send = tb.norza_sender(scanclock, tb.write_file("target-code.txt", TEXT))
    times = {"behind": [], "front": []}
    try:
        for rep in range(tb.ARGS.reps + 1):
            for side in ("behind", "front") if rep % 2 else ("front", "behind"):
                foreground(notepad_hwnd if side == "behind" else target.hwnd)
                time.sleep(0.2)
                _, first_ms, _ = tb.typing_round(target, send, TEXT)
                if rep:   # the first round of each side is a warm-up
                    times[side].append(first_ms)
                    print("  round %d, %-6s: first character after %6.1f ms" % (rep, side, first_ms), flush=True)
    finally:
        scanclock.close()
        target.close()
        harness.scanctl("quit")
        program.wait(30)
        notepad.kill()
    front, behind = statistics.median(times["front"]), statistics.median(times["behind"])
    print("\nDecode to the first character in the target, %d rounds a side (ms):" % tb.ARGS.reps)
    print("| target | best | median | worst |\n|---|---|---|---|")
    for side, label in (("front", "already in front"), ("behind", "behind another window")):
        values = times[side]
        print("| %s | %.1f | %.1f | %.1f |" % (label, min(values), statistics.median(values), max(values)))
    print("\nbehind costs %.1f ms more at the median (goal: within 50 ms)" % (behind - front))


def main():
    shutil.rmtree(tb.WORK, ignore_errors=True)
    os.makedirs(tb.WORK)
    state = os.environ["NORZA_E2E_STATE"]
    wineenv = os.path.join(tb.ROOT, "tests", "e2e", "wineenv.py")
    try:
        subprocess.run([sys.executable, wineenv, "start", state], check=True, stdout=subprocess.DEVNULL)
        run()
    finally:
        subprocess.run([sys.executable, wineenv, "stop", state])
        shutil.rmtree(tb.WORK, ignore_errors=True)


if __name__ == "__main__":
    main()
