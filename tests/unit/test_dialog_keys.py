#!/usr/bin/env python3
"""Each window's access keys (the letter after "&") are unique in both
languages: the settings window's pages share it with its own buttons."""
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


if __name__ == "__main__":
    unittest.main()
