#!/usr/bin/env python3
"""Starts and stops the private display and Wine prefix of one test run.

    wineenv.py start <state.json>   virtual X display, fresh prefix, wineserver
    wineenv.py stop <state.json>    ends all of it

The state file tells the tests which display and prefix to use.
"""
import json
import os
import select
import shutil
import signal
import subprocess
import sys


def start_display():
    """Starts Xvfb on a display number it picks itself: it takes the first free
    one and tells which once it listens, so two runs starting at once never
    share a display (a socket seen on disk may be the other run's)."""
    r, w = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
        pass_fds=(w,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL, start_new_session=True)
    os.close(w)
    with os.fdopen(r) as f:
        ready = select.select([f], [], [], 20)[0]
        line = f.readline() if ready else ""
    if not line.strip().isdigit():
        xvfb.kill()
        raise RuntimeError("Xvfb did not start")
    return int(line), xvfb


def base_env(prefix, display):
    env = dict(os.environ)
    env.update(
        WINEPREFIX=prefix,
        DISPLAY=f":{display}",
        WINEDEBUG="-all",
        # No Mono or Gecko installer dialogs in a fresh prefix.
        WINEDLLOVERRIDES="mscoree=;mshtml=",
    )
    return env


def start(state_path):
    display, xvfb = start_display()

    prefix = os.path.join(os.path.dirname(os.path.abspath(state_path)), "wineprefix")
    shutil.rmtree(prefix, ignore_errors=True)
    env = base_env(prefix, display)
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300, **quiet)
    # Unmanaged windows: without a window manager Wine would otherwise wait
    # two seconds for every window it hides.
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver",
                    "/v", "Managed", "/d", "N", "/f"], env=env, check=True, timeout=120, **quiet)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120, **quiet)
    # A persistent server saves its start-up on every program the tests run.
    subprocess.Popen(["wineserver", "-p"], env=env, start_new_session=True, **quiet).wait(30)
    # The first program starts Wine's own background processes, which inherit
    # its output handles and outlive it: let them inherit nothing a test waits on.
    subprocess.run(["wine", "cmd", "/c", "exit"], env=env, timeout=120, **quiet)

    with open(state_path, "w") as f:
        json.dump({"display": display, "prefix": prefix, "xvfb_pid": xvfb.pid}, f)
    print(f"display :{display}, prefix {prefix}")


def stop(state_path):
    try:
        with open(state_path) as f:
            state = json.load(f)
    except FileNotFoundError:
        return
    env = base_env(state["prefix"], state["display"])
    subprocess.run(["wineserver", "-k"], env=env, timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        os.kill(state["xvfb_pid"], signal.SIGTERM)
    except ProcessLookupError:
        pass
    os.remove(state_path)


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop"):
        sys.exit(__doc__)
    {"start": start, "stop": stop}[sys.argv[1]](sys.argv[2])
