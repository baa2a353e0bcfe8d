#!/usr/bin/env python3
"""What the organisation sets. The administrative templates are complete in
both languages; every policy they define, set with reg add, is honoured by
the program over the settings files, the machine's value over the user's;
the settings window shows it as set by the organisation and never writes
it; the shared settings file a policy names comes first, is read again when
it changes, and keeps its last good rules when its share cannot be reached;
nothing on the share takes a desk down or presses keys the organisation did
not pin."""
import hashlib
import os
import re
import time
import unittest
import xml.etree.ElementTree as ET

import harness
import norza
from harness import scanctl, wait_for

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
POLICIES = os.path.join(ROOT, "policies")
NS = "{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}"
KEY = r"Software\Policies\Norza"
# Policies that stand for no key of typeSet.ini.
OWN_NAMES = {"DecodeTime", "StartAtSignIn", "SettingsLocked", "SharedSettingsFile", "SharedSettingsSha256", "HelpUrl"}
# Proven where Help is (test_help.py), with the browser it starts.
NOT_WALKED = {"HelpUrl"}
# Policies named otherwise than the key they stand for.
KEYS = {"Sounds": "Mode"}


def admx():
    return ET.parse(os.path.join(POLICIES, "Norza.admx")).getroot()


def admx_policies():
    """Each policy of the template: its element (None for an on/off policy),
    its value's name and registry type."""
    result = {}
    for policy in admx().iter(NS + "policy"):
        elements = policy.find(NS + "elements")
        element = elements[0] if elements is not None else None
        name = policy.get("valueName") or element.get("valueName")
        text = element is not None and element.tag in (NS + "text", NS + "enum")
        result[policy.get("name")] = (element, name, "REG_SZ" if text else "REG_DWORD")
    return result


def string_ref(value, kind="string"):
    m = re.match(r"\$\(%s\.(\w+)\)$" % kind, value or "")
    return m and m[1]


class Templates(unittest.TestCase):
    def test_every_policy_has_its_texts_and_presentation_in_both_languages(self):
        root = admx()
        with open(os.path.join(ROOT, "settings", "typeSet.ini"), encoding="utf-8") as f:
            file_keys = set(re.findall(r"^;?(\w+)=", f.read(), re.M))
        languages = {}
        for language in ("en-US", "zh-CN"):
            adml = ET.parse(os.path.join(POLICIES, language, "Norza.adml")).getroot()
            languages[language] = ({s.get("id"): s.text for s in adml.iter(NS + "string")},
                                   {p.get("id"): p for p in adml.iter(NS + "presentation")})
        self.assertEqual(*[set(strings) for strings, _ in languages.values()])
        names = []
        for language, (strings, presentations) in languages.items():
            for node in list(root.iter(NS + "category")) + list(root.iter(NS + "definition")):
                self.assertTrue(strings.get(string_ref(node.get("displayName"))), (language, node.get("name")))
            for policy in root.iter(NS + "policy"):
                name = policy.get("name")
                with self.subTest(language=language, policy=name):
                    self.assertEqual((KEY, "Both", "Norza"), (policy.get("key"), policy.get("class"),
                                                              policy.find(NS + "parentCategory").get("ref")))
                    self.assertTrue(strings.get(string_ref(policy.get("displayName"))))
                    help_text = strings.get(string_ref(policy.get("explainText")))
                    elements = policy.find(NS + "elements")
                    element_ids = [] if elements is None else [e.get("id") for e in elements]
                    value = policy.get("valueName") or elements[0].get("valueName")
                    self.assertIn(value, help_text)   # the administrator reads the value's name
                    self.assertIn(KEYS.get(value, value), file_keys | OWN_NAMES)   # named as the files name it
                    names.append(value)
                    if elements is None:
                        self.assertIsNone(policy.get("presentation"))
                        continue
                    presentation = presentations[string_ref(policy.get("presentation"), "presentation")]
                    self.assertEqual(element_ids, [p.get("refId") for p in presentation])
                    for item in policy.iter(NS + "item"):
                        self.assertTrue(strings.get(string_ref(item.get("displayName"))))
        # One policy per option of the settings window, the lock, the shared file and its pin,
        # the Help page.
        self.assertEqual(31, len(set(names)))


# The local file: a value for every key, each different from the policy's.
LOCAL = (b"[TYPE]\r\nQR=0\r\nDM=1\r\nBarcode=1\r\nPDF417=1\r\nEnter=1\r\n[OUTPUT]\r\nPrefix=F:\r\nSuffix=#\r\n"
         b"KeyDelay=0\r\nRepeatWindow=0\r\nGS=\r\nRS=r\r\nEOT=\r\nMethod=paste\r\nDigitalLink=asis\r\nNotices=0\r\n"
         b"[UI]\r\nLanguage=auto\r\n[SOUND]\r\nMode=off\r\n[RULE1]\r\nMatch=GS1\r\nOutput=local\r\n")
SHARED = b"[RULE1]\r\nMatch=GS1\r\nOutput={AI:01}-{AI:10}\r\n"
CHANGED = b"; changed\r\n[RULE1]\r\nMatch=GS1\r\nOutput=lot {AI:10}\r\n"
# Not the language the system gives by itself.
LANGUAGE = "en" if harness.CODEPAGE == 936 else "zh"

(IDC_QR, IDC_DM, IDC_BARCODE, IDC_PDF417, IDC_ENTER, IDC_PREFIX, IDC_SUFFIX, IDC_KEYDELAY, IDC_REPEAT,
 IDC_GS_MODE, IDC_GS_TEXT, IDC_RS_MODE, IDC_RS_TEXT, IDC_EOT_MODE, IDC_EOT_TEXT, IDC_HOLDOFF, IDC_NOTICES,
 IDC_AUTOSTART, IDC_LANGUAGE, IDC_RELOAD, IDC_APPLY, IDC_RULES, IDC_ORG) = harness.ids(
    "IDC_SET_QR IDC_SET_DM IDC_SET_BARCODE IDC_SET_PDF417 IDC_SET_ENTER IDC_SET_PREFIX IDC_SET_SUFFIX "
    "IDC_SET_KEYDELAY IDC_SET_REPEAT IDC_SET_GS_MODE IDC_SET_GS_TEXT IDC_SET_RS_MODE IDC_SET_RS_TEXT "
    "IDC_SET_EOT_MODE IDC_SET_EOT_TEXT IDC_SET_HOLDOFF IDC_SET_NOTICES IDC_SET_AUTOSTART "
    "IDC_SET_LANGUAGE IDC_SET_RELOAD IDC_SET_APPLY IDC_SET_RULES IDC_SET_ORG")
IDC_DIGITALLINK = harness.IDS["IDC_SET_DIGITALLINK"]
IDOK, IDCANCEL = 1, 2
IDC_SND_MODE = harness.IDS["IDC_SND_MODE"]
IDC_RULES_LIST, IDC_RULES_EDIT, IDC_PROGRAMS_ADD, IDC_RULES_ORG = harness.ids(
    "IDC_RULES_LIST IDC_RULES_EDIT IDC_PROGRAMS_ADD IDC_RULES_ORG")
IDC_PROG_NAME, IDC_PROG_SET_PREFIX, IDC_PROG_ORG = harness.ids("IDC_PROG_NAME IDC_PROG_SET_PREFIX IDC_PROG_ORG")
IDC_PROG_SET_MORE = list(harness.ids(   # Digital Link, scanned before: where, then what
    "IDC_PROG_SET_DIGITALLINK IDC_PROG_SET_DUP_SCOPE IDC_PROG_SET_DUP_ACTION"))
DROP, REPLACE = 1, 2
IDC_SET_HISTORY_DISK, IDC_SET_HISTORY_DAYS, IDC_SET_DUP_SCOPE, IDC_SET_DUP_ACTION = harness.ids(
    "IDC_SET_HISTORY_DISK IDC_SET_HISTORY_DAYS IDC_SET_DUP_SCOPE IDC_SET_DUP_ACTION")
IDC_SET_TARGET_MODE, IDC_SET_TARGET_PROGRAM, IDC_SET_RETURN_FOCUS, IDC_SET_TARGET_WAIT_CODES, \
    IDC_SET_TARGET_WAIT_SECONDS = harness.ids(
        "IDC_SET_TARGET_MODE IDC_SET_TARGET_PROGRAM IDC_SET_RETURN_FOCUS IDC_SET_TARGET_WAIT_CODES "
        "IDC_SET_TARGET_WAIT_SECONDS")

# Each policy: the machine's value, the user's (which the machine's must
# beat) or None, and the settings window's fields that show it, each with
# what it shows (a text, or a check or choice).
WALK = {
    "QR": (1, None, {IDC_QR: 1}),
    "DM": (0, None, {IDC_DM: 0}),
    "Barcode": (0, None, {IDC_BARCODE: 0}),
    "PDF417": (0, None, {IDC_PDF417: 0}),
    "Enter": (0, None, {IDC_ENTER: 0}),
    "Prefix": ("P:", "U:", {IDC_PREFIX: "P:"}),
    "Suffix": ("<M", "<U", {IDC_SUFFIX: "<M"}),
    "KeyDelay": (7, None, {IDC_KEYDELAY: "7"}),
    "RepeatWindow": (60000, None, {IDC_REPEAT: "60000"}),
    "GS": ("<GS>", None, {IDC_GS_MODE: REPLACE, IDC_GS_TEXT: "<GS>"}),
    "RS": ("", None, {IDC_RS_MODE: DROP}),
    "EOT": ("{EOT}", None, {IDC_EOT_MODE: REPLACE, IDC_EOT_TEXT: "{EOT}"}),
    "Method": ("type", "paste", {}),
    "DigitalLink": ("hri", "element", {IDC_DIGITALLINK: 2}),
    "DecodeTime": (777, None, {IDC_HOLDOFF: "777"}),
    "Notices": (1, 0, {IDC_NOTICES: 1}),
    "Language": (LANGUAGE, None, {IDC_LANGUAGE: ["auto", "zh", "en"].index(LANGUAGE)}),
    "Sounds": ("always", "off", {IDC_SND_MODE: 1}),
    "StartAtSignIn": (1, None, {IDC_AUTOSTART: 1}),
    "SettingsLocked": (0, 1, {}),
    "SharedSettingsFile": (None, None, {}),   # a file of the test's own
    "SharedSettingsSha256": (hashlib.sha256(SHARED).hexdigest().upper(), None, {}),
    "DuplicateScope": ("run", "off", {IDC_SET_DUP_SCOPE: 1}),
    "DuplicateAction": ("skip", "type", {IDC_SET_DUP_ACTION: 1}),
    "HistoryOnDisk": (0, 1, {IDC_SET_HISTORY_DISK: 0}),
    "HistoryDays": (5, None, {IDC_SET_HISTORY_DAYS: "5"}),
    # The typing target itself: the user's program, not running, would hold every code back.
    "Target": ("typetarget.exe", "notepad.exe", {IDC_SET_TARGET_MODE: 1, IDC_SET_TARGET_PROGRAM: "typetarget.exe"}),
    "ReturnFocus": (0, 1, {IDC_SET_RETURN_FOCUS: 0}),
    "TargetWaitCodes": (5, None, {IDC_SET_TARGET_WAIT_CODES: "5"}),
    "TargetWaitSeconds": (60, None, {IDC_SET_TARGET_WAIT_SECONDS: "60"}),
}


class Walk(norza.NorzaCase):
    def reg(self, *commands):
        """Runs reg commands in one go: (hive, name, type, data) adds a value,
        (hive, name) deletes it, (hive,) the whole key."""
        lines = []
        for command in commands:
            target = '"%s\\%s"' % (command[0], KEY)
            if len(command) == 4:
                lines.append('reg add %s /v %s /t %s /d "%s" /f /reg:64' % (target, *command[1:]))
            else:
                lines.append("reg delete %s %s /f /reg:64" % (target, "/v " + command[1] if len(command) == 2 else ""))
        self.write("reg.cmd", "\r\n".join(["@echo off"] + lines) + "\r\n")
        harness.run("cmd", "/c", harness.winpath(os.path.join(self.folder, "reg.cmd")))

    def tearDown(self):
        # Nothing may reach the tests that share the prefix after this one.
        self.reg(("HKLM",), ("HKCU",))
        for link in norza.startup_shortcuts():
            os.remove(link)
        super().tearDown()

    def log(self):
        """The log's lines; the system's messages in it are in the code page."""
        path = os.path.join(self.folder, "log.log")
        if not os.path.exists(path):
            return []
        with open(path, "rb") as f:
            return f.read().decode("cp%d" % harness.CODEPAGE, "replace").splitlines()

    def decode(self, lot):
        rc, out, err = scanctl("decode-hex", "qr", (b"]Q3" b"0109506000134352" b"10" + lot.encode()).hex())
        self.assertEqual(0, rc, out + err)

    def open_window(self):
        norza.wintool("post", self.tray_hwnd(), "0x111", "32780", "0")
        title = norza.text("settings_title", LANGUAGE)
        window = wait_for(lambda: [w for w in norza.windows() if w["title"] == title and w["visible"]
                                   and any(c["id"] == IDC_APPLY for c in w["children"])], what="the settings window")[0]
        return window["hwnd"]

    def close_window(self, hwnd, button):
        norza.wintool("post", hwnd, "0x111", str(button), "0")
        wait_for(lambda: hwnd not in [w["hwnd"] for w in norza.windows()], what="the window to close")

    def test_every_policy_is_honoured_over_the_files(self):
        policies = {name: p for name, p in admx_policies().items() if name not in NOT_WALKED}
        self.assertEqual(sorted(WALK), sorted(policies))
        share = os.path.join(self.folder, "share")
        os.mkdir(share)
        self.write("norza.ini", SHARED, share)
        machine, user = [], []
        for name, (element, value_name, kind) in policies.items():
            value, user_value, _ = WALK[name]
            if name == "SharedSettingsFile":
                value = harness.winpath(os.path.join(share, "norza.ini"))
            machine.append(("HKLM", value_name, kind, value))
            if user_value is not None:
                user.append(("HKCU", value_name, kind, user_value))
        self.reg(("HKLM",), ("HKCU",), *user, *machine)
        self.write("typeSet.ini", LOCAL)
        self.write("configDecodeTime.ini", "300")
        history = os.path.join(norza.history_folder(), "history.dat")
        os.makedirs(os.path.dirname(history), exist_ok=True)
        self.write("history.dat", b"kept before", os.path.dirname(history))
        honoured = set()

        trace = os.path.join(self.folder, "winmm-trace.txt")
        self.proc = self.start_norza(trace=("trace+winmm", trace))
        start = self.journal()
        for call, name in [("setQRable 1", "QR"), ("setDMable 0", "DM"), ("setBarcode 0", "Barcode"),
                           ("setPDF417 0", "PDF417"), ("SetDecodeTime 777", "DecodeTime")]:
            self.assertIn(call, start)
        policy_lines = [line for line in self.log() if "[Policy]" in line]
        self.assertEqual(1, len(policy_lines), self.log())
        for name, (element, value_name, kind) in policies.items():
            self.assertIn(value_name + "=", policy_lines[0])
        self.assertTrue(norza.startup_shortcuts())
        honoured.add("StartAtSignIn")
        # No history on disk: what was kept goes.
        wait_for(lambda: not os.path.exists(history), what="the history file deleted")
        self.assertIn("[History]kept for this run only, for 5 days", "".join(self.log()))
        honoured |= {"HistoryOnDisk", "HistoryDays"}

        # The shared file's GS1 rule before the local one; the machine's
        # prefix and suffix; typed, not pasted.
        wait_for(lambda: any("[Shared]" in line and line.endswith(" read") for line in self.log()),
                 what="the shared file read")
        target = self.typing_target()
        self.decode("ABC123")
        typed = "P:09506000134352-ABC123<M"
        target.wait_text(typed)
        self.assertNotIn(("down", "11"), target.report()["events"])   # no Ctrl+V
        # The program's own sound for a code typed, played directly.
        def played():
            with open(trace, errors="replace") as f:
                return re.search(r'proc_PlaySound SoundName=L"[^"]*\\typed\.wav"', f.read())
        wait_for(played, what="the sound of a code typed")
        honoured |= {"SharedSettingsFile", "Prefix", "Suffix", "Method", "Sounds"}

        # Changed, its pin not yet: refused, the last good rules go on; with
        # its pin, in force from the device watch's next look on.
        self.write("norza.ini", CHANGED, share)
        wait_for(lambda: any("refused: its SHA-256 is " + hashlib.sha256(CHANGED).hexdigest() in line
                             for line in self.log()), what="the changed file refused")
        self.decode("ABC130")
        typed += "P:09506000134352-ABC130<M"
        target.wait_text(typed)
        self.reg(("HKLM", "SharedSettingsSha256", "REG_SZ", hashlib.sha256(CHANGED).hexdigest()))
        wait_for(lambda: sum("[Shared]" in line and line.endswith(" read") for line in self.log()) == 2,
                 what="the changed file read")
        self.decode("ABC124")
        typed += "P:lot ABC124<M"
        target.wait_text(typed)
        honoured.add("SharedSettingsSha256")

        # Out of reach: one notice, one log line, the last good rules.
        os.rename(share, share + ".gone")
        norza.wait_balloon("notice_shared", language=LANGUAGE)
        honoured |= {"Notices", "Language"}
        self.decode("ABC125")
        typed += "P:lot ABC125<M"
        target.wait_text(typed)
        # Scanned before in this run: not typed.
        self.decode("ABC124")
        wait_for(lambda: any("scanned before: not typed" in line for line in self.log()), what="the duplicate")
        time.sleep(0.5)
        self.assertEqual(typed, target.text())
        honoured |= {"DuplicateScope", "DuplicateAction"}
        ticks = self.journal().count("GetDevice")

        # The window shows what is set by the organisation, in grey, and
        # writes none of it.
        window = self.open_window()
        controls = norza.controls(window)
        for name, (_, _, fields) in WALK.items():
            for control_id, shown in fields.items():
                enabled, state, text = controls[control_id]
                self.assertFalse(enabled, name)
                self.assertEqual(shown, text if isinstance(shown, str) else state, name)
            if fields:
                honoured.add(name)
        org = controls[IDC_ORG][2]
        self.assertTrue(org.startswith(norza.text("org_fields", LANGUAGE)), org)
        self.assertIn(norza.text("org_separator", LANGUAGE) + ("前缀" if LANGUAGE == "zh" else "Prefix"), org)
        self.assertTrue(controls[IDC_APPLY][0])   # not locked: the machine's 0 over the user's 1
        # The shared rule is shown first, as it is in force first, and cannot be edited.
        norza.wintool("post", [c["hwnd"] for w in norza.windows() if w["hwnd"] == window
                               for c in w["children"] if c["id"] == IDC_RULES][0], "0xf5", "0", "0")
        title = norza.text("rules_title", LANGUAGE)
        rules = wait_for(lambda: [w for w in norza.windows() if w["title"] == title and w["visible"]],
                         what="the rules window")[0]
        rules_list = [c["hwnd"] for c in rules["children"] if c["id"] == IDC_RULES_LIST][0]
        rows = [r.split("\t") for r in norza.wintool("rows", rules_list, "0")[1].splitlines()]
        self.assertEqual([("RULE101 *", "GS1", "lot {AI:10}"), ("RULE1", "GS1", "local")],
                         [(r[0], r[1], r[4]) for r in rows])
        wait_for(lambda: not norza.controls(rules["hwnd"])[IDC_RULES_EDIT][0], what="Edit greyed on RULE101")
        self.assertEqual(norza.text("rules_shared", LANGUAGE), norza.controls(rules["hwnd"])[IDC_RULES_ORG][2])
        # A program section cannot set a key the policy sets for every program.
        norza.wintool("post", [c["hwnd"] for c in rules["children"] if c["id"] == IDC_PROGRAMS_ADD][0],
                      "0xf5", "0", "0")
        title = norza.text("program_title", LANGUAGE)
        program = wait_for(lambda: [w["hwnd"] for w in norza.windows() if w["title"] == title and w["visible"]],
                           what="the program section")[0]
        controls = norza.controls(program)
        keys = list(range(IDC_PROG_SET_PREFIX, IDC_PROG_SET_PREFIX + 8)) + IDC_PROG_SET_MORE
        self.assertEqual([], [i for i in keys if controls[i][0]])
        self.assertTrue(controls[IDC_PROG_NAME][0])
        self.assertEqual(norza.text("program_policy", LANGUAGE), controls[IDC_PROG_ORG][2])
        self.close_window(program, IDCANCEL)
        self.close_window(rules["hwnd"], IDCANCEL)
        self.close_window(window, IDOK)
        self.assertEqual(LOCAL, self.read("typeSet.ini"))

        # A field the policy leaves is the user's again, and saved alone,
        # though a value set by hand out of the template's range stands in
        # another field.
        self.reg(("HKLM", "Prefix"), ("HKCU", "Prefix"), ("HKLM", "KeyDelay", "REG_DWORD", 500))
        window = self.open_window()
        self.assertTrue(norza.controls(window)[IDC_PREFIX][0])
        self.assertEqual(0, norza.wintool("settext", [c["hwnd"] for w in norza.windows() if w["hwnd"] == window
                                                      for c in w["children"] if c["id"] == IDC_PREFIX][0], "N:")[0])
        self.close_window(window, IDOK)
        self.assertEqual(LOCAL.replace(b"Prefix=F:", b"Prefix=N:"), self.read("typeSet.ini"))
        self.assertEqual(0, norza.wintool("foreground", [w["hwnd"] for w in norza.windows()
                                                         if w["cls"] == "NorzaTypingTarget"][0])[0])
        self.decode("ABC126")
        target.wait_text(typed + "N:lot ABC126<M")

        # Locked by the user's value once the machine's is gone: nothing can be changed.
        self.reg(("HKLM", "SettingsLocked"))
        window = self.open_window()
        controls = norza.controls(window)
        self.assertEqual(norza.text("org_locked", LANGUAGE), controls[IDC_ORG][2])
        self.assertEqual([], [i for i in list(range(IDC_QR, IDC_LANGUAGE + 1)) + [IDC_SND_MODE] if controls[i][0]])
        self.assertFalse(controls[IDC_APPLY][0])
        honoured.add("SettingsLocked")
        self.close_window(window, IDCANCEL)

        self.assertEqual(sorted(policies), sorted(honoured))
        # Said once, however many looks found the share out of reach since.
        wait_for(lambda: self.journal().count("GetDevice") > ticks + 1, what="two more looks")
        self.assertEqual(1, sum("cannot be read" in line for line in self.log()), self.log())
        self.quit(self.proc)

    def test_nothing_on_the_share_takes_the_desks(self):
        """A file far too large, then one the pin does not match: the program
        lives on and types with the user's own settings; then the pinned
        file, whose [OUTPUT] ranks above the user's program section."""
        share = os.path.join(self.folder, "share")
        os.mkdir(share)
        org = b"[OUTPUT]\r\nPrefix=ORG:\r\n"
        evil = b"[OUTPUT]\r\nPrefix={ALT+F4}\r\n"
        with open(os.path.join(share, "norza.ini"), "wb") as f:
            f.truncate(600 * 1024 * 1024)   # sparse
        self.reg(("HKLM",), ("HKCU",),
                 ("HKLM", "SharedSettingsFile", "REG_SZ", harness.winpath(os.path.join(share, "norza.ini"))),
                 ("HKLM", "SharedSettingsSha256", "REG_SZ", hashlib.sha256(org).hexdigest()))
        self.write("typeSet.ini", b"[TYPE]\r\nEnter=0\r\n[OUTPUT]\r\nPrefix=U:\r\n"
                                  b"[OUTPUT:typetarget.exe]\r\nPrefix=UP:\r\n")
        self.proc = self.start_norza()
        target = self.typing_target()
        typed = ""
        steps = [(None, "holds 614400 KB, more than the 1024 KB a settings file may: refused unread",
                  "notice_shared_too_large", "UP:"),
                 (evil, "refused: its SHA-256 is %s, not the %s" % (hashlib.sha256(evil).hexdigest(),
                                                                    hashlib.sha256(org).hexdigest()),
                  "notice_shared_refused", "UP:"),
                 (org, "norza.ini read", None, "ORG:")]
        for i, (content, line, notice, prefix) in enumerate(steps):
            if content is not None:
                self.write("norza.ini", content, share)
            wait_for(lambda: any("[Shared]" in logged and line in logged for logged in self.log()),
                     what=repr(line))
            if notice:
                norza.wait_balloon(notice)
            code = "A%d" % i
            self.assertEqual(0, scanctl("decode", "qr", code)[0])
            typed += prefix + code
            target.wait_text(typed)
        self.assertIsNone(self.proc.poll())
        self.quit(self.proc)

    def read(self, name):
        with open(os.path.join(self.folder, name), "rb") as f:
            return f.read()


if __name__ == "__main__":
    unittest.main(verbosity=2)
