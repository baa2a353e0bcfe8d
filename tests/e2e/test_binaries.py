#!/usr/bin/env python3
"""The built files as the loader and the shell see them: the program binds to
the engine through its import table, the engine exports exactly its twelve
functions, the instance flag sits in a shared section, and the resources
carry their identifiers, templates, version and manifest, the texts in
Chinese and English; the sounds are short PCM WAV files that tell their
outcomes apart."""
import os
import struct
import subprocess
import tempfile
import unittest
import wave
import xml.etree.ElementTree as ET

BIN = os.path.join(os.environ.get("NORZA_BUILD_DIR", "build"), "bin")
EXE = os.path.join(BIN, "Norza.exe")
DLL = os.path.join(BIN, "vistrel.dll")
SAVER = os.path.join(BIN, "NorzaClip.exe")
ENGINE = {"GetAppHandle", "GetDevice", "StartDevice", "ReleaseDevice", "ReleaseLostDevice",
          "SetBeep", "SetBeepTime", "SetDecodeTime", "setQRable", "setDMable", "setBarcode",
          "setPDF417"}
CHINESE, ENGLISH = 2052, 1033
# The texts the user reads: the About menu entry, the notices, the message box,
# the settings window's choices and messages, the history window.
STRING_IDS = (101, 200, 201, 202, 203, 204, 205, 206, 210, 211) + tuple(range(230, 242)) + \
    tuple(range(256, 267)) + tuple(range(280, 303)) + (700, 701) + tuple(range(600, 609))
ICON_IDS = (153, 155, 157, 158, 159, 167, 168, 190, 191, 192)


def objdump(path):
    return subprocess.run(["i686-w64-mingw32-objdump", "-p", path], check=True,
                          stdout=subprocess.PIPE, text=True).stdout


def resource(type_id, name, language=CHINESE, path=EXE):
    with tempfile.TemporaryDirectory() as d:
        subprocess.run(["wrestool", "-x", "--raw", "-t", str(type_id), "-n", str(name),
                        "-L", str(language), "-o", d, path], check=True)
        files = os.listdir(d)
        with open(os.path.join(d, files[0]), "rb") as f:
            return f.read()


class Binding(unittest.TestCase):
    def test_program_imports_engine_functions_by_name(self):
        dump = objdump(EXE)
        block = dump.split("DLL Name: vistrel.dll", 1)[1].split("\n\n", 1)[0]
        imported = {line.split()[-1] for line in block.splitlines()[2:] if line.strip()}
        self.assertTrue(imported <= ENGINE, imported - ENGINE)
        self.assertIn("GetAppHandle", imported)

    def test_clipboard_saver_loads_no_engine_and_the_program_is_no_saver(self):
        dlls = {line.split(":", 1)[1].strip().lower() for line in objdump(SAVER).splitlines()
                if line.strip().startswith("DLL Name:")}
        self.assertIn("user32.dll", dlls)
        self.assertEqual(set(), dlls - {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"})
        with open(EXE, "rb") as f:
            self.assertNotIn("clipboard-saver".encode("utf-16-le"), f.read())
        # The program's product and version: a publisher rule for one is one for both.
        version = resource(16, 1, path=SAVER)
        for text in ("Norza\0", "4, 3, 0, 0", "NorzaClip.exe"):
            self.assertIn(text.encode("utf-16-le"), version)

    def test_engine_exports_exactly_its_twelve_names(self):
        dump = objdump(DLL)
        table = dump.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
        names = {line.split()[-1] for line in table.splitlines() if line.strip()}
        self.assertEqual(ENGINE, names)

    def test_instance_flag_section_is_shared(self):
        with open(EXE, "rb") as f:
            data = f.read()
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        count, = struct.unpack_from("<H", data, pe + 6)
        optional, = struct.unpack_from("<H", data, pe + 20)
        sections = {}
        for i in range(count):
            entry = struct.unpack_from("<8s28xI", data, pe + 24 + optional + 40 * i)
            sections[entry[0].rstrip(b"\0")] = entry[1]
        self.assertEqual(0xD0000040, sections.get(b"Shared"))


def dialog_layout(data):
    """A dialog template's size and its controls as (id, class, style, (x, y, cx, cy));
    a class given by number is its atom (0x80 a button)."""
    extended = struct.unpack_from("<HH", data, 0) == (1, 0xFFFF)
    if extended:
        _, _, _, _, style, count, _, _, cx, cy = struct.unpack_from("<HHIIIHhhhh", data, 0)
        offset = 26
    else:
        style, _, count, _, _, cx, cy = struct.unpack_from("<IIHhhhh", data, 0)
        offset = 18

    def field(offset):   # a number or a text; returns (value, next offset)
        if struct.unpack_from("<H", data, offset)[0] == 0xFFFF:
            return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
        end = offset
        while data[end:end + 2] != b"\0\0":
            end += 2
        return data[offset:end].decode("utf-16-le"), end + 2
    for _ in range(3):   # the menu, the class, the title
        _, offset = field(offset)
    if style & 0x40:     # DS_SETFONT: size (weight, italic, charset), face
        offset += 6 if extended else 2
        _, offset = field(offset)
    controls = []
    for _ in range(count):
        offset = (offset + 3) & ~3
        if extended:
            _, _, cstyle, x, y, w, h, cid = struct.unpack_from("<IIIhhhhI", data, offset)
            offset += 24
        else:
            cstyle, _, x, y, w, h, cid = struct.unpack_from("<IIhhhhH", data, offset)
            offset += 18
        cls, offset = field(offset)
        _, offset = field(offset)
        extra, = struct.unpack_from("<H", data, offset)
        offset += 2 + extra
        if cls == 0x85:   # a combo box's height takes in its drop-down list
            h = min(h, 14)
        controls.append((cid, cls, cstyle, (x, y, w, h)))
    return (cx, cy), controls


def overlap(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def menu_items(data):
    """The first popup's items of a menu template: (id, text), id None for a separator."""
    def text(offset):
        end = offset
        while data[end:end + 2] != b"\0\0":
            end += 2
        return data[offset:end].decode("utf-16-le"), end + 2
    _, offset = text(4 + 2)   # the header, the popup's flags and name
    items = []
    while True:
        flags, item_id = struct.unpack_from("<HH", data, offset)
        name, offset = text(offset + 4)
        items.append((item_id or None, name))
        if flags & 0x80:   # MF_END
            return items


class Resources(unittest.TestCase):
    def test_every_resource_has_its_id(self):
        listing = subprocess.run(["wrestool", "-l", EXE], check=True, stdout=subprocess.PIPE,
                                 text=True).stdout
        found = {tuple(line.split()[:3]) for line in listing.splitlines()}
        blocks = sorted({i // 16 + 1 for i in STRING_IDS})
        for type_id, names, languages in (
                (14, ICON_IDS, (CHINESE,)), (5, (102,), (CHINESE,)),
                (5, (100, 110, 140, 150, 151, 152, 170, 175, 176), (CHINESE, ENGLISH)),
                (4, (135,), (CHINESE, ENGLISH)),
                (6, blocks, (CHINESE, ENGLISH)), (16, (1,), (CHINESE,)), (24, (1,), (0,))):
            for name in names:
                for language in languages:
                    self.assertIn(("--type=%d" % type_id, "--name=%d" % name,
                                   "--language=%d" % language), found)

    def test_every_text_is_in_both_languages(self):
        for language in (CHINESE, ENGLISH):
            texts = {}
            for block in sorted({i // 16 + 1 for i in STRING_IDS}):
                data, offset = resource(6, block, language), 0
                for i in range(16):
                    length, = struct.unpack_from("<H", data, offset)
                    texts[(block - 1) * 16 + i] = data[offset + 2:offset + 2 + 2 * length].decode("utf-16-le")
                    offset += 2 + 2 * length
            for i in STRING_IDS:
                self.assertTrue(texts[i], (language, i))
                self.assertEqual(language == ENGLISH, texts[i].isascii(), texts[i])

    def test_tray_menu_names_its_windows_in_each_language(self):
        for language, names in ((CHINESE, ("设置…", "扫描记录…")), (ENGLISH, ("Settings…", "Scan history…"))):
            items = menu_items(resource(4, 135, language))
            self.assertEqual(names, (items[4][1], items[5][1]))

    def test_each_icon_has_four_sizes(self):
        for name in ICON_IDS:
            group = resource(14, name)
            count, = struct.unpack_from("<H", group, 4)
            sizes = sorted(group[6 + 14 * i] or 256 for i in range(count))
            self.assertEqual([16, 24, 32, 48], sizes, name)

    def test_dialog_templates(self):
        # The history window: the same controls in both languages, a window of
        # its own with a taskbar button.
        history = [resource(5, 140, language) for language in (CHINESE, ENGLISH)]
        layouts = [struct.unpack_from("<HHIIIHhhhh", h, 0) for h in history]
        self.assertEqual(layouts[0], layouts[1])
        self.assertEqual(0x00040000, layouts[0][3])

        main = resource(5, 102)
        ver, sig, _, exstyle, style, items = struct.unpack_from("<HHIIIH", main, 0)
        # A hidden tool window: no taskbar button, no Alt+Tab entry.
        self.assertEqual((1, 0xFFFF, 0x00000080, 0x800000C0, 0), (ver, sig, exstyle, style, items))
        self.assertIn("宋体".encode("utf-16-le"), main)

    def test_dialog_controls_lie_inside_their_window_apart(self):
        # Group boxes hold other controls by design.
        for name in (100, 140, 110, 170, 175, 176):
            for language in (CHINESE, ENGLISH):
                size, controls = dialog_layout(resource(5, name, language))
                boxes = [(cid, r) for cid, cls, style, r in controls
                         if not (cls == 0x80 and style & 0xF == 7)]
                for cid, (x, y, cx, cy) in boxes:
                    self.assertTrue(x >= 0 and y >= 0 and x + cx <= size[0] and y + cy <= size[1],
                                    (name, language, cid, (x, y, cx, cy), size))
                overlaps = [(a[0], b[0]) for i, a in enumerate(boxes) for b in boxes[i + 1:]
                            if overlap(a[1], b[1])]
                self.assertEqual([], overlaps, (name, language))

    def test_settings_window_is_the_same_window_in_both_languages(self):
        def header(name):
            headers = {struct.unpack_from("<HHIIIHhhhh", resource(5, name, language), 0)[:6]
                       for language in (CHINESE, ENGLISH)}
            self.assertEqual(1, len(headers), name)
            ver, sig, _, exstyle, style, items = headers.pop()
            self.assertEqual((1, 0xFFFF), (ver, sig))
            return exstyle, style, items

        exstyle, style, items = header(110)
        self.assertEqual(0x40000, exstyle)               # WS_EX_APPWINDOW: a taskbar button
        self.assertEqual(0x00C80000, style & 0x00C80000)  # a caption with a system menu
        self.assertEqual(8, items)                       # the tabs, the organisation's line, Help, the buttons
        # The pages: children the dialog keys pass through (DS_CONTROL, WS_EX_CONTROLPARENT).
        # Their controls are the same in both languages (header() compares the counts).
        for name in (175, 176, 170):
            exstyle, style, _ = header(name)
            self.assertEqual((0x10000, 0x40000400), (exstyle, style & 0xC0000400), name)

    def test_tray_menu_layout(self):
        # The toggles first (checked by position), then the windows and Help, then Restart and Exit.
        expected = [32771, 32772, 32773, None, 32780, 32781, 32790, None, 32774, 32775]
        for language in (CHINESE, ENGLISH):
            self.assertEqual(expected, [i for i, _ in menu_items(resource(4, 135, language))], language)

    def test_version_block(self):
        version = resource(16, 1)
        for text in ("4, 3, 0, 0", "Norza", "080404b0"):
            self.assertIn(text.encode("utf-16-le"), version)
        self.assertIn(struct.pack("<HH", 0x804, 1200), version)

    def test_manifest(self):
        root = ET.fromstring(resource(24, 1, language=0))
        ns = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3",
              "c": "urn:schemas-microsoft-com:compatibility.v1",
              "ws": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
              "ws16": "http://schemas.microsoft.com/SMI/2016/WindowsSettings"}
        level = root.find("v3:trustInfo/v3:security/v3:requestedPrivileges/"
                          "v3:requestedExecutionLevel", ns)
        self.assertEqual(("asInvoker", "false"), (level.get("level"), level.get("uiAccess")))
        settings = root.find("v3:application/v3:windowsSettings", ns)
        self.assertEqual(("true/pm", "PerMonitorV2, PerMonitor"),
                         (settings.find("ws:dpiAware", ns).text, settings.find("ws16:dpiAwareness", ns).text))
        controls = root.find("v1:dependency/v1:dependentAssembly/v1:assemblyIdentity", ns)
        self.assertEqual(("Microsoft.Windows.Common-Controls", "6.0.0.0", "x86"),
                         (controls.get("name"), controls.get("version"),
                          controls.get("processorArchitecture")))
        systems = {e.get("Id") for e in root.findall("c:compatibility/c:application/c:supportedOS", ns)}
        self.assertEqual({"{e2011457-1546-43c5-a5fe-008deee3d3f0}",    # Vista
                          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",    # 7
                          "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",    # 8
                          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",    # 8.1
                          "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"},   # 10 and 11
                         systems)


class Sounds(unittest.TestCase):
    def shape(self, name):
        """The sound's pulses (runs of sound apart by 20 ms of silence or
        more) and its pitch in Hz, by zero crossings."""
        with wave.open(os.path.join(BIN, name)) as w:
            self.assertEqual((1, 2, "NONE"), (w.getnchannels(), w.getsampwidth(), w.getcomptype()), name)
            rate = w.getframerate()
            frames = w.readframes(w.getnframes())
        samples = struct.unpack("<%dh" % (len(frames) // 2), frames)
        self.assertLess(len(samples) / rate, 0.5, name)
        self.assertGreater(max(abs(v) for v in samples), 8000, name)   # heard on a floor
        pulses, last = 0, None
        for i, v in enumerate(samples):
            if abs(v) > 200:
                if last is None or i - last > rate // 50:
                    pulses += 1
                last = i
        crossings = sum(1 for a, b in zip(samples, samples[1:]) if (a < 0) != (b < 0))
        sounding = sum(1 for v in samples if v) / rate
        return pulses, crossings / 2 / sounding

    def test_a_high_tone_for_typed_low_pulses_for_not_typed_another_for_scanned_before(self):
        typed, not_typed, duplicate = (self.shape(n + ".wav") for n in ("typed", "not_typed", "duplicate"))
        self.assertEqual(1, typed[0])
        self.assertGreater(typed[1], 1000)
        self.assertIn(not_typed[0], (2, 3))
        self.assertLess(not_typed[1], 600)
        self.assertNotIn(duplicate[0], (1, not_typed[0]))


if __name__ == "__main__":
    unittest.main(verbosity=2)
