#!/usr/bin/env python3
"""Each window's access keys (the letter after "&") are unique in both
languages: the settings window's pages share it with its own buttons. Every
field and list has a text label just before it in tab order, and tab order
follows reading order."""
import collections
import re
import sys
import unittest

RC = sys.argv.pop(1) if len(sys.argv) > 1 else "res/Norza.rc"


def dialogs(text):
    """{(language, dialog): [control texts in tab order]}."""
    found, language, current = {}, None, None
    for line in text.splitlines():
        line = line.strip()
        m = re.match(r"LANGUAGE\s+(\w+)", line)
        if m:
            language = m.group(1)
        elif re.match(r"\w+\s+DIALOG(EX)?\s", line):
            current = found.setdefault((language, line.split()[0]), [])
        elif current is not None and line == "END":
            current = None
        elif current is not None:
            m = re.match(r'[A-Z]+\s+"((?:[^"]|"")*)"', line)
            if m and not line.startswith("CAPTION"):
                current.append(m.group(1))
    return found


def access_key(text):
    text = text.replace("&&", "")
    i = text.find("&")
    return text[i + 1].lower() if 0 <= i < len(text) - 1 else None


class AccessKeys(unittest.TestCase):
    def test_unique_in_each_window(self):
        with open(RC, encoding="utf-8") as f:
            found = dialogs(f.read())
        self.assertGreaterEqual(len(found), 20)
        for (language, name), texts in found.items():
            if name.startswith("IDD_SETPAGE_"):
                texts = texts + found[(language, "IDD_SETTINGS")]
            keys = [k for k in map(access_key, texts) if k]
            with self.subTest(language=language, window=name):
                self.assertEqual([], [k for k, n in collections.Counter(keys).items() if n > 1])

FIELDS = ("EDITTEXT", "COMBOBOX", "LISTBOX", "SysListView32")
LABELS = ("LTEXT", "RTEXT", "CTEXT", "GROUPBOX")


def controls(text):
    """{(language, dialog): [(kind, text, x, y, w, h)] in tab order}."""
    found, language, current = {}, None, None
    for line in re.sub(r"\n[ \t]+(?=[A-Z]+_|\d)", " ", text).splitlines():
        line = line.strip()
        m = re.match(r"LANGUAGE\s+(\w+)", line)
        if m:
            language = m.group(1)
        elif re.match(r"\w+\s+DIALOG(EX)?\s", line):
            current = found.setdefault((language, line.split()[0]), [])
        elif current is not None and line == "END":
            current = None
        elif current is not None and re.match(r"[A-Z]+\s", line) and line.split()[0] not in ("STYLE", "EXSTYLE", "CAPTION", "FONT"):
            kind, rest = line.split(None, 1)
            m = re.match(r'"((?:[^"]|"")*)",\s*(.*)', rest)
            label, rest = (m.group(1), m.group(2)) if m else ("", rest)
            parts = [p.strip() for p in rest.split(",")]
            if kind == "CONTROL":
                kind, parts = parts[1].strip('"'), parts[2:]
            x, y, w, h = map(int, parts[1:5])
            current.append((kind, label, x, y, w, min(h, 14) if kind == "COMBOBOX" else h))  # closed height
    return found


class Layout(unittest.TestCase):
    def setUp(self):
        with open(RC, encoding="utf-8") as f:
            self.found = controls(f.read())

    def test_each_field_follows_its_label(self):
        for (language, name), items in self.found.items():
            items = [c for c in items if c[0] != "ICON"]
            for before, field in zip([None] + items, items):
                if field[0] in FIELDS:
                    with self.subTest(language=language, window=name, field=field):
                        self.assertTrue(before and before[0] in LABELS and before[1])

    def test_tab_order_reads_top_down_left_to_right(self):
        for (language, name), items in self.found.items():
            for a, b in zip(items, items[1:]):
                same_row = b[3] < a[3] + a[5] and a[3] < b[3] + b[5]
                with self.subTest(language=language, window=name, after=a, control=b):
                    self.assertTrue(b[2] >= a[2] if same_row else b[3] >= a[3] + a[5])


if __name__ == "__main__":
    unittest.main()
