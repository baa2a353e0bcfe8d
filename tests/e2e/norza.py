"""Running Norza.exe itself in a test: an installed copy in the test's own
folder, its engine journal, the tray and its windows."""
import os
import re

import harness
from harness import wait_for

TRAY_TITLE = "Wine System Tray"


def tray_visible():
    return bool(harness.xdotool("search", "--onlyvisible", "--name", TRAY_TITLE))


def wintool(*args):
    rc, out, err = harness.run(os.path.join(harness.TOOLS_DIR, "wintool.exe"), *args)
    return rc, out.decode("utf-8", "replace")


def windows():
    """Top-level windows as dicts: hwnd, pid, cls, visible, rect, style, exstyle, title, children."""
    result = []
    for line in wintool("list")[1].splitlines():
        m = re.match(r'window (0x[0-9a-f]+) pid (\d+) (\S+) visible (\d) '
                     r'rect (-?\d+) (-?\d+) (-?\d+) (-?\d+) style (0x[0-9a-f]+) exstyle (0x[0-9a-f]+) "(.*)"$', line)
        if m:
            result.append(dict(hwnd=m[1], pid=int(m[2]), cls=m[3], visible=m[4] == "1",
                               rect=tuple(int(m[i]) for i in range(5, 9)), style=int(m[9], 16),
                               exstyle=int(m[10], 16), title=m[11], children=[]))
            continue
        m = re.match(r'  child (0x[0-9a-f]+) (\S+) (-?\d+) "(.*)"$', line)
        if m and result:
            result[-1]["children"].append(dict(hwnd=m[1], cls=m[2], id=int(m[3]), text=m[4]))
    return result


def balloons():
    """Texts of the balloon notices the system tray shows now: its visible
    tooltip windows, whose text the tooltip control answers to WM_GETTEXT."""
    return [(w["hwnd"], wintool("text", w["hwnd"])[1]) for w in windows()
            if w["cls"] == "tooltips_class32" and w["visible"]]


def wait_balloon(text, timeout=10):
    """Waits for the balloon showing the program's notice text (a resource
    text, as the ANSI code page shows it); returns its window."""
    expected = through_ansi(text)
    return wait_for(lambda: [h for h, t in balloons() if t == expected], timeout=timeout,
                    what="the notice %r (showing %r)" % (expected, balloons()))[0]


def ansi_text(text):
    """What a narrow text of the program, written in code page 936, shows as
    under the code page the test runs in."""
    return text.encode("gbk").decode("cp%d" % harness.CODEPAGE, "replace")


def through_ansi(text):
    """A Unicode text after a round trip through the ANSI code page, as the
    program's ANSI windows show their resource texts."""
    cp = "cp%d" % harness.CODEPAGE
    return text.encode(cp, "replace").decode(cp)


class NorzaCase(harness.WineTestCase):
    def setUp(self):
        super().setUp()
        self.install()
        self.exe = os.path.join(self.folder, "Norza.exe")
        self.journal_path = os.path.join(self.folder, "vistrel.journal")

    def write(self, name, content, folder=None):
        with open(os.path.join(folder or self.folder, name), "wb") as f:
            f.write(content.encode() if isinstance(content, str) else content)

    def provide(self, name, content):
        """Writes the settings file, or removes it when content is None."""
        if content is None:
            os.remove(os.path.join(self.folder, name))
        else:
            self.write(name, content)

    def journal(self):
        return harness.read_lines(self.journal_path)

    def start_norza(self, cwd=None, until="SetBeep 1"):
        """Starts the program and waits until the journal shows `until`."""
        before = len(self.journal())
        proc = self.start(self.exe, cwd=cwd or self.folder)
        wait_for(lambda: until in self.journal()[before:], timeout=30,
                 what="%r in the engine journal" % until)
        return proc

    def tray_hwnd(self):
        handles = [line.split()[1] for line in self.journal() if line.startswith("GetAppHandle")]
        return handles[-1]

    def quit(self, proc):
        self.assertEqual(0, harness.scanctl("quit")[0])
        proc.wait(30)
