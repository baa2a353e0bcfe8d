#!/usr/bin/env python3
"""Help opens the guide at the window's section through the browser registered
for .html, here a stand-in that writes down its command line; or the policy's page."""
import os
import re
import unittest
import urllib.parse

import harness
import norza
from harness import wait_for

WM_COMMAND, BM_CLICK, TCM_SETCURFOCUS = "0x111", "0xF5", "0x1330"
ID_TRAY_SETTINGS, ID_TRAY_HISTORY, ID_TRAY_HELP = (harness.ID(n) for n in (
    "ID_TRAY_SETTINGS", "ID_TRAY_HISTORY", "ID_TRAY_HELP"))
IDC_SET_RULES, IDC_SET_HELP, IDC_SET_TABS = harness.ids("IDC_SET_RULES IDC_SET_HELP IDC_SET_TABS")
ORG_PAGE = "https://intranet.example.com/norza/help?desk=1#start"
POLICY_KEY = r"HKCU\Software\Policies\Norza"
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


class Pages(unittest.TestCase):
    def test_each_guide_has_its_contents_and_every_section_the_program_opens(self):
        with open(os.path.join(ROOT, "ui", "help.cpp"), encoding="utf-8") as f:
            block = re.search(r"kAnchors\[\] = \{(.*?)\};", f.read(), re.S).group(1)
        anchors = [a for a in re.findall(r'L"([^"]*)"', block) if a]
        self.assertEqual(5, len(anchors))
        for name in ("USER-GUIDE.html", "USER-GUIDE-zh.html"):
            with open(os.path.join(harness.BIN_DIR, name), encoding="utf-8") as f:
                page = f.read()
            ids = re.findall(r'<h[1-6] id="([^"]+)"', page)
            contents = re.search(r'<nav class="toc" id="contents">(.*?)</nav>', page, re.S).group(1)
            self.assertEqual([], [a for a in anchors if a not in ids], name)
            self.assertEqual(ids[1:], re.findall(r'href="#([^"]+)"', contents))   # all but the title
            self.assertNotIn("{#", page)


class Help(norza.NorzaCase):
    def setUp(self):
        super().setUp()
        self.calls = os.path.join(self.folder, "browser.txt")
        stub = harness.winpath(os.path.join(harness.TOOLS_DIR, "browserstub.exe"))
        command = '"%s" "%s" "%%1"' % (stub, harness.winpath(self.calls))
        # The organisation's page is an https address: the stand-in opens that too.
        self.saved = harness.winpath(os.path.join(self.folder, "https.reg"))
        harness.run("reg", "export", r"HKCR\https", self.saved, "/y")
        harness.run("reg", "delete", r"HKCR\https\shell\open\ddeexec", "/f")
        for key, value in ((".html", "NorzaTestPage"), (r"NorzaTestPage\shell\open\command", command),
                           (r"https\shell\open\command", command)):
            self.assertEqual(0, harness.run("reg", "add", "HKCR\\" + key, "/ve", "/d", value, "/f")[0])
        self.proc = self.start_norza()

    def tearDown(self):
        for key in (r"HKCR\.html", r"HKCR\NorzaTestPage", r"HKCR\https", POLICY_KEY):
            harness.run("reg", "delete", key, "/f")
        harness.run("reg", "import", self.saved)
        super().tearDown()

    def opened(self):
        """The address of each start of the browser, in order."""
        return [line.rsplit(" ", 1)[-1].strip('"') for line in harness.read_lines(self.calls)]

    def guide(self, section=""):
        name = "USER-GUIDE-zh.html" if harness.CODEPAGE == 936 else "USER-GUIDE.html"
        path = harness.winpath(os.path.join(self.folder, name)).replace("\\", "/")
        return "file:///" + urllib.parse.quote(path.encode("utf-8"), safe="/:-._~") + (section and "#" + section)

    def post(self, hwnd, message, wparam="0"):
        norza.wintool("post", hwnd, message, wparam, "0")

    def in_front(self, title):
        window = wait_for(lambda: [w for w in norza.windows() if w["title"] == norza.text(title) and w["visible"]],
                          what=title)[0]
        wait_for(lambda: norza.wintool("foreground")[1].strip() == window["hwnd"], what="%s in front" % title)
        self.hwnd = {c["id"]: c["hwnd"] for c in window["children"]}

    def test_each_window_opens_its_section_and_the_policy_the_organisations_page(self):
        steps = [
            (lambda: self.post(self.tray_hwnd(), WM_COMMAND, ID_TRAY_HELP), self.guide()),
            (lambda: (self.post(self.tray_hwnd(), WM_COMMAND, ID_TRAY_SETTINGS), self.in_front("settings_title"),
                      self.post(self.hwnd[IDC_SET_HELP], BM_CLICK)), self.guide("settings-window")),
            (lambda: (norza.wintool("send", self.hwnd[IDC_SET_TABS], TCM_SETCURFOCUS, "1", "0"),
                      harness.xdotool("key", "F1")), self.guide("output-options")),
            (lambda: (self.post(self.hwnd[IDC_SET_RULES], BM_CLICK), self.in_front("rules_title"),
                      harness.xdotool("key", "F1")), self.guide("rules")),
            (lambda: (harness.xdotool("key", "Escape"), self.in_front("settings_title"),
                      harness.xdotool("key", "Escape"), self.post(self.tray_hwnd(), WM_COMMAND, ID_TRAY_HISTORY),
                      self.in_front("history_title"), harness.xdotool("key", "F1")), self.guide("scan-history")),
            # Read when Help is asked for.
            (lambda: (harness.run("reg", "add", POLICY_KEY, "/v", "HelpUrl", "/d", ORG_PAGE, "/f"),
                      self.post(self.tray_hwnd(), WM_COMMAND, ID_TRAY_HELP)), ORG_PAGE),
        ]
        for count, (action, address) in enumerate(steps, 1):
            action()
            wait_for(lambda: len(self.opened()) >= count, timeout=20, what="the browser started for %s" % address)
            self.assertEqual(address, self.opened()[-1])
        self.assertEqual(len(steps), len(self.opened()))
        self.quit(self.proc)


if __name__ == "__main__":
    unittest.main(verbosity=2)
