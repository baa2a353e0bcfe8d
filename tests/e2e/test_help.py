#!/usr/bin/env python3
"""Help: F1 in each window, the settings window's Help button and the tray
menu's Help open the user guide in the program's language at the section of
the window in front, through the browser registered for .html files: here a
stand-in that writes down the command line it was started with. Policy
HelpUrl sends Help to the organisation's page instead."""
import os
import re
import unittest
import urllib.parse

import harness
import norza
from harness import wait_for

WM_COMMAND, BM_CLICK = "0x111", "0xF5"
ID_TRAY_SETTINGS, ID_TRAY_HISTORY, ID_TRAY_HELP = "32780", "32781", "32790"
IDC_SET_RULES, IDC_SET_HELP, IDC_SET_TABS = 1121, 1190, 1700
TCM_SETCURFOCUS = "0x1330"
OUTPUT_PAGE = 1
ORG_PAGE = "https://intranet.example.com/norza/help?desk=1#start"
POLICY_KEY = r"HKCU\Software\Policies\Norza"


ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


class Pages(unittest.TestCase):
    def test_each_guide_has_its_contents_and_every_section_the_program_opens(self):
        with open(os.path.join(ROOT, "ui", "help.cpp"), encoding="utf-8") as f:
            block = re.search(r"kAnchors\[\] = \{(.*?)\};", f.read(), re.S).group(1)
        anchors = [a for a in re.findall(r'L"([^"]*)"', block) if a]
        self.assertIn("settings-window", anchors)
        for name in ("USER-GUIDE.html", "USER-GUIDE-zh.html"):
            with open(os.path.join(harness.BIN_DIR, name), encoding="utf-8") as f:
                page = f.read()
            ids = re.findall(r'<h[1-6] id="([^"]+)"', page)
            contents = re.search(r'<nav class="toc" id="contents">(.*?)</nav>', page, re.S).group(1)
            links = re.findall(r'href="#([^"]+)"', contents)
            with self.subTest(page=name):
                self.assertEqual([], [a for a in anchors if a not in ids])
                self.assertEqual(len(ids), len(set(ids)))
                self.assertEqual(ids[1:], links)   # every heading but the title, in order
                self.assertNotIn("{#", page)


def reg_string(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


class Help(norza.NorzaCase):
    def setUp(self):
        super().setUp()
        self.calls = os.path.join(self.folder, "browser.txt")
        stub = harness.winpath(os.path.join(harness.TOOLS_DIR, "browserstub.exe"))
        command = '"%s" "%s" "%%1"' % (stub, harness.winpath(self.calls))
        # The organisation's page is an https address: the same stand-in opens it.
        self.saved = os.path.join(self.folder, "https.reg")
        harness.run("reg", "export", r"HKCR\https", harness.winpath(self.saved), "/y")
        self.reg_import({r"HKEY_CLASSES_ROOT\.html": "NorzaTestPage",
                         r"HKEY_CLASSES_ROOT\NorzaTestPage\shell\open\command": command,
                         r"HKEY_CLASSES_ROOT\https\shell\open\command": command})
        harness.run("reg", "delete", r"HKCR\https\shell\open\ddeexec", "/f")
        self.proc = self.start_norza()

    def tearDown(self):
        for key in (r"HKCR\.html", r"HKCR\NorzaTestPage", r"HKCR\https", POLICY_KEY):
            harness.run("reg", "delete", key, "/f")
        if os.path.exists(self.saved):
            harness.run("reg", "import", harness.winpath(self.saved))
        super().tearDown()

    def reg_import(self, values):
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key, value in values.items():
            lines += ["[%s]" % key, "@=%s" % reg_string(value), ""]
        path = os.path.join(self.folder, "help.reg")
        with open(path, "w", encoding="utf-16") as f:
            f.write("\r\n".join(lines))
        self.assertEqual(0, harness.run("reg", "import", harness.winpath(path))[0])

    def opened(self, count):
        """The addresses the browser was started with, once there are count."""
        def lines():
            if not os.path.exists(self.calls):
                return []
            with open(self.calls, encoding="utf-8") as f:
                return f.read().splitlines()
        wait_for(lambda: len(lines()) >= count, timeout=20, what="the browser started %d times" % count)
        self.assertEqual(count, len(lines()))
        return [line.rsplit(" ", 1)[-1].strip('"') for line in lines()]

    def guide(self, section=""):
        name = "USER-GUIDE-zh.html" if harness.CODEPAGE == 936 else "USER-GUIDE.html"
        path = harness.winpath(os.path.join(self.folder, name)).replace("\\", "/")
        return "file:///" + urllib.parse.quote(path.encode("utf-8"), safe="/:-._~") + (
            "#" + section if section else "")

    def window(self, title, open_command):
        norza.wintool("post", self.tray_hwnd(), WM_COMMAND, open_command, "0")
        window = wait_for(lambda: [w for w in norza.windows() if w["title"] == norza.text(title) and w["visible"]],
                          what=title)[0]
        wait_for(lambda: norza.wintool("foreground")[1].strip() == window["hwnd"], what="%s in front" % title)
        return window

    def control(self, window, control_id):
        return [c["hwnd"] for c in window["children"] if c["id"] == control_id][0]

    def test_each_window_opens_its_section_and_the_policy_the_organisations_page(self):
        expected = []
        # The tray menu: the guide from its start.
        norza.wintool("post", self.tray_hwnd(), WM_COMMAND, ID_TRAY_HELP, "0")
        expected.append(self.guide())
        self.assertEqual(expected, self.opened(1))

        # The settings window: its Help button on the General page, F1 on the Output page.
        settings = self.window("settings_title", ID_TRAY_SETTINGS)
        norza.wintool("post", self.control(settings, IDC_SET_HELP), BM_CLICK, "0", "0")
        expected.append(self.guide("settings-window"))
        self.assertEqual(expected, self.opened(2))
        norza.wintool("send", self.control(settings, IDC_SET_TABS), TCM_SETCURFOCUS, str(OUTPUT_PAGE), "0")
        harness.xdotool("key", "F1")
        expected.append(self.guide("output-options"))
        self.assertEqual(expected, self.opened(3))

        # F1 in the rules window, over the settings window.
        norza.wintool("post", self.control(settings, IDC_SET_RULES), BM_CLICK, "0", "0")
        rules = wait_for(lambda: [w for w in norza.windows() if w["title"] == norza.text("rules_title")
                                  and w["visible"]], what="the rules window")[0]
        wait_for(lambda: norza.wintool("foreground")[1].strip() == rules["hwnd"], what="the rules window in front")
        harness.xdotool("key", "F1")
        expected.append(self.guide("rules"))
        self.assertEqual(expected, self.opened(4))
        harness.xdotool("key", "Escape")
        wait_for(lambda: norza.wintool("foreground")[1].strip() == settings["hwnd"], what="the settings window back")
        harness.xdotool("key", "Escape")

        # F1 in the history window.
        self.window("history_title", ID_TRAY_HISTORY)
        harness.xdotool("key", "F1")
        expected.append(self.guide("scan-history"))
        self.assertEqual(expected, self.opened(5))
        harness.xdotool("key", "Escape")

        # The organisation's page, read when Help is asked for.
        self.assertEqual(0, harness.run("reg", "add", POLICY_KEY, "/v", "HelpUrl", "/t", "REG_SZ",
                                        "/d", ORG_PAGE, "/f")[0])
        norza.wintool("post", self.tray_hwnd(), WM_COMMAND, ID_TRAY_HELP, "0")
        expected.append(ORG_PAGE)
        self.assertEqual(expected, self.opened(6))
        self.quit(self.proc)


if __name__ == "__main__":
    unittest.main(verbosity=2)
