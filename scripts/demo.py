#!/usr/bin/env python3
"""Shows Norza doing its job under Wine: the tray program runs with the
stand-in engine, Wine's notepad is the application in front, and a few
decodes arrive there as typed text. Prints what notepad received, the log
and the engine's call journal, and saves a screenshot."""
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
DEMO = os.path.join(BUILD, "demo")
os.environ.update(NORZA_BUILD_DIR=BUILD, NORZA_CODEPAGE="936",
                  NORZA_E2E_STATE=os.path.join(DEMO, "state.json"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import harness  # noqa: E402
import norza  # noqa: E402

DECODES = [("qr", "ABC123"), ("dm", "中文扫码 Norza"), ("barcode", "4006381333931")]


def section(title):
    print("\n== %s ==" % title)


def main():
    os.makedirs(DEMO, exist_ok=True)
    state = os.environ["NORZA_E2E_STATE"]
    subprocess.run([sys.executable, os.path.join(ROOT, "tests", "e2e", "wineenv.py"), "start",
                    state], check=True)
    try:
        run_demo()
    finally:
        subprocess.run([sys.executable, os.path.join(ROOT, "tests", "e2e", "wineenv.py"),
                        "stop", state])


def run_demo():
    folder = os.path.join(DEMO, "Norza")
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(harness.BIN_DIR, folder)
    journal = os.path.join(folder, "vistrel.journal")

    program = harness.start(os.path.join(folder, "Norza.exe"), cwd=folder)
    harness.wait_for(lambda: os.path.exists(journal) and "SetBeep 1" in open(journal).read(),
                     timeout=30, what="Norza to start")
    notepad = harness.start("notepad")
    edit = harness.wait_for(lambda: [c["hwnd"] for w in norza.windows() if w["cls"] == "Notepad"
                                     for c in w["children"] if c["cls"].lower() == "edit"],
                            timeout=30, what="notepad")[0]
    time.sleep(1)

    section("decodes sent by the engine")
    for sym, text in DECODES:
        rc, out, err = harness.scanctl("decode", sym, text)
        print("%-8s %-20s -> %s" % (sym, text, (out or err).strip()))
    time.sleep(1)

    section("what arrived in notepad")
    print(norza.wintool("text", edit)[1].replace("\r\n", "\n"))
    section("log.log")
    with open(os.path.join(folder, "log.log"), "rb") as f:
        print(f.read().decode("gbk").replace("\r\n", "\n").lstrip("\n"))
    section("engine call journal")
    with open(journal) as f:
        print(f.read().rstrip())

    shot = os.path.join(DEMO, "screenshot.png")
    subprocess.run(["import", "-window", "root", shot], env=harness.wine_env(), check=True)
    section("screenshot")
    print(shot)

    harness.scanctl("quit")
    program.wait(30)
    notepad.kill()


if __name__ == "__main__":
    main()
