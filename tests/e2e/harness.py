"""What every end-to-end test needs: the run's display and Wine prefix, a
fresh install folder, starting Windows programs, the engine control tool,
the typing target, and waiting for things to happen.

Environment (set by CTest): NORZA_BUILD_DIR, NORZA_E2E_STATE and
NORZA_CODEPAGE (1252 or 936, the ANSI code page the programs run under).
"""
import atexit
import glob
import json
import os
import re
import select
import shutil
import subprocess
import tempfile
import time
import unittest

BUILD_DIR = os.environ.get("NORZA_BUILD_DIR",
                           os.path.join(os.path.dirname(__file__), "..", "..", "build"))
BIN_DIR = os.path.join(BUILD_DIR, "bin")
TOOLS_DIR = os.path.join(BUILD_DIR, "tests", "bin")
CODEPAGE = int(os.environ.get("NORZA_CODEPAGE", "1252"))
# By default the lane CTest runs this code page in (65001 shares 1252's).
STATE = os.environ.get("NORZA_E2E_STATE", os.path.join(
    BUILD_DIR, "e2e", "cp%d" % (936 if CODEPAGE == 936 else 1252), "state.json"))
LOCALES = {1252: "en_US.UTF-8", 936: "zh_CN.UTF-8", 65001: "hi_IN.UTF-8"}
SOURCE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def read_ids():
    """The program's resource ids and the tray window's own messages, by
    name, as its headers define them."""
    ids = {"WM_USER": 0x400, "WM_APP": 0x8000}
    headers = [os.path.join(SOURCE_DIR, "res", "resource.h")] + sorted(
        glob.glob(os.path.join(SOURCE_DIR, "app", "*.h")) + glob.glob(os.path.join(SOURCE_DIR, "ui", "*.h")))
    for name in headers:
        with open(name, encoding="utf-8") as f:
            for m in re.finditer(r"^#define (\w+) +\(?(\w+)(?: *\+ *(\w+))?\)?[ \t]*(?://.*)?$",
                                 f.read(), re.M):
                terms = [ids.get(t) if t in ids else int(t, 0) if re.fullmatch(r"0x[0-9a-fA-F]+|[0-9]+", t)
                         else None for t in m.groups()[1:] if t]
                if None not in terms:
                    ids[m[1]] = sum(terms)
    return ids


IDS = read_ids()


def ids(names):
    """The ids of the names, separated by blanks."""
    return tuple(IDS[name] for name in names.split())


def ID(name):
    """A resource's or message's id as a program's argument takes it."""
    return str(IDS[name])


def wine_env():
    with open(STATE) as f:
        state = json.load(f)
    env = dict(os.environ)
    env.update(
        WINEPREFIX=state["prefix"],
        DISPLAY=":%d" % state["display"],
        WINEDEBUG="-all",
        WINEDLLOVERRIDES="mscoree=;mshtml=",
        LC_ALL=LOCALES[CODEPAGE],
    )
    return env


def winpath(path):
    """The Windows name of a Linux path, through Wine's Z: drive."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(exe, *args, cwd=None, input=None, timeout=60):
    """Runs a Windows program to its end; returns (exit code, stdout, stderr) as bytes."""
    p = subprocess.run(["wine", exe, *args], cwd=cwd, input=input, env=wine_env(),
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
    return p.returncode, p.stdout, p.stderr


class Probe:
    """One test tool process that runs command after command ("wintool serve"):
    a Wine process takes long to start, a probe is asked often."""

    def __init__(self, exe):
        self.exe, self.proc = exe, None

    def ask(self, *args, timeout=60):
        """Runs a command; returns (exit code, output bytes)."""
        if self.proc is None or self.proc.poll() is not None:
            self.proc = subprocess.Popen(["wine", self.exe, "serve"], env=wine_env(), stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        assert not any(c in arg for arg in args for c in "\t\n"), args
        self.proc.stdin.write(("\t".join(args) + "\n").encode("utf-8"))
        self.proc.stdin.flush()
        out, deadline, fd = b"", time.time() + timeout, self.proc.stdout.fileno()
        while True:
            end = re.search(rb"\x1e(-?\d+)\n$", out)
            if end:
                return int(end[1]), out[:end.start()]
            left = deadline - time.time()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                self.end()
                raise subprocess.TimeoutExpired(args, timeout)
            chunk = os.read(fd, 65536)
            if not chunk:
                self.end()
                raise RuntimeError("the probe ended during %r" % (args,))
            out += chunk

    def end(self):
        if self.proc is not None:
            if self.proc.poll() is None:
                self.proc.kill()
            self.proc.wait(10)
            self.proc.stdin.close()
            self.proc.stdout.close()
            self.proc = None


probe = Probe(os.path.join(TOOLS_DIR, "wintool.exe"))
atexit.register(probe.end)


def start(exe, *args, cwd=None, trace=None):
    """trace: (Wine debug channels, file the program's stderr goes to), as
    ("trace+winmm", path): the trace goes to a file, a pipe nobody reads
    would fill and stop the program."""
    env, stderr = wine_env(), subprocess.PIPE
    if trace:
        env["WINEDEBUG"] = "-all," + trace[0]
        stderr = open(trace[1], "wb")
    try:
        return subprocess.Popen(["wine", exe, *args], cwd=cwd, env=env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=stderr)
    finally:
        if trace:
            stderr.close()


def wait_for(predicate, timeout=10.0, interval=0.1, what="condition"):
    deadline = time.time() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.time() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(interval)


def paced(times, delay):
    """Whether the message times of characters typed delay ms apart show the
    pacing: first to last at least all the delays but one, which leaves room
    for the target taking one character late, however it was spread."""
    return len(times) >= 3 and times[-1] - times[0] >= (len(times) - 2) * delay


def link(source, path):
    """A hard link to the file, or a copy of it where a link cannot be or
    would let a write reach the original (a settings file)."""
    if os.path.exists(path):
        os.remove(path)
    if source.endswith(".ini"):
        shutil.copy2(source, path)
        return
    try:
        os.link(source, path)
    except OSError:
        shutil.copy2(source, path)


def read_lines(path):
    """A text file's lines, or none when it does not exist (yet)."""
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return f.read().splitlines()


def scanctl(*args, input=None, timeout=60):
    """Runs the engine control tool; returns (exit code, stdout text, stderr text)."""
    rc, out, err = run(os.path.join(BIN_DIR, "scanctl.exe"), *args, input=input, timeout=timeout)
    return rc, out.decode("utf-8", "replace"), err.decode("utf-8", "replace")


def engine_running():
    return scanctl("state")[0] == 0


def xdotool(*args):
    p = subprocess.run(["xdotool", *args], env=wine_env(), stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL, timeout=30)
    return p.stdout.decode().split()


class TypingTarget:
    """The typing target program and what it reports having received."""

    def __init__(self, folder, fields=1, name="target-report.txt"):
        self.report_path = os.path.join(folder, name)
        self.proc = start(os.path.join(TOOLS_DIR, "typetarget.exe"),
                          winpath(self.report_path), str(fields))
        wait_for(lambda: os.path.exists(self.report_path), what="the typing target")

    def report(self):
        """fields: the fields' bytes; events: (kind, code) in order; scans: the
        key events as (kind, key, scan code); times: each event's message time
        (ms); caps: Caps Lock on; focus: the focused field."""
        fields, events, scans, times, acp, caps, focus = {}, [], [], [], None, False, None
        with open(self.report_path) as f:
            lines = f.read().splitlines()
        for i, line in enumerate(lines):
            if line == "events":
                for e in lines[i + 1:]:
                    words = tuple(e.split())
                    events.append(words[:2])
                    if len(words) == 3:
                        scans.append((words[0], words[1], int(words[2], 16)))
                break
            key, _, value = line.partition(" ")
            if key == "acp":
                acp = int(value)
            elif key == "caps":
                caps = value == "1"
            elif key == "focus":
                focus = int(value)
            elif key == "times":
                times = [int(t) for t in value.split()]
            elif key.startswith("field"):
                fields[key] = bytes.fromhex(value)
        return {"acp": acp, "fields": fields, "events": events, "scans": scans,
                "times": times, "caps": caps, "focus": focus}

    def ansi(self, field=0):
        return self.report()["fields"]["field%d.ansi" % field]

    def text(self, field=0):
        return self.report()["fields"]["field%d.utf16" % field].decode("utf-16-le")

    def wait_text(self, expected, field=0, timeout=10):
        try:
            wait_for(lambda: self.text(field) == expected, timeout=timeout, what=repr(expected))
        except AssertionError:
            raise AssertionError("target holds %r, expected %r" % (self.text(field), expected))

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)


class WineTestCase(unittest.TestCase):
    """Gives each test a fresh folder and ends every program it started."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="norza-e2e-")
        self.procs = []

    def tearDown(self):
        probe.end()
        for p in self.procs:
            if p.poll() is None:
                p.kill()
                p.wait(10)
            for stream in (p.stdin, p.stdout, p.stderr):
                if stream:
                    stream.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def start(self, exe, *args, cwd=None, trace=None):
        p = start(exe, *args, cwd=cwd, trace=trace)
        self.procs.append(p)
        return p

    def install(self):
        """Puts the installed programs into a folder of this test's own: the
        programs and sounds linked, the settings files, which the program
        writes in place, copied."""
        for name in os.listdir(BIN_DIR):
            link(os.path.join(BIN_DIR, name), os.path.join(self.folder, name))
        return self.folder

    def typing_target(self, fields=1, name="target-report.txt"):
        """fields: 0, 1, 2 or a mode (typetarget.c); name: the report's file."""
        target = TypingTarget(self.folder, fields, name)
        self.procs.append(target.proc)
        return target


class EngineHostCase(WineTestCase):
    """Runs the engine host, a framework program that starts the engine and
    records every decode it receives as a hex line ("quit" on the quit message)."""

    def start_host(self, switches="1111", device=None):
        """switches: QR, DM, Barcode and PDF417 on or off; device: the
        [device] settings the engine starts with, as a dict (None keeps the
        folder's vistrel.ini as it is). Starting again ends the host started
        before and clears its record and journal."""
        folder = self.folder
        if hasattr(self, "host"):
            self.stop_host()
        else:
            self.install()
            link(os.path.join(TOOLS_DIR, "enginehost.exe"), os.path.join(folder, "enginehost.exe"))
        if device is not None:
            with open(os.path.join(folder, "vistrel.ini"), "w") as f:
                f.write("[device]\n" + "".join("%s=%s\n" % item for item in device.items()))
        self.record = os.path.join(folder, "received.txt")
        # A host left over from an earlier test keeps the pipe and would
        # answer in place of this one.
        wait_for(lambda: not engine_running(), what="the previous engine to end")
        self.host = self.start(os.path.join(folder, "enginehost.exe"),
                               winpath(self.record), switches)
        wait_for(engine_running, timeout=20, what="the engine's control pipe")

    def stop_host(self):
        if self.host.poll() is None:
            self.host.kill()
            self.host.wait(10)
        for name in ("received.txt", "vistrel.journal"):
            if os.path.exists(os.path.join(self.folder, name)):
                os.remove(os.path.join(self.folder, name))

    def received(self):
        return read_lines(self.record)
