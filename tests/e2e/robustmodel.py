"""What Norza must make of any input, worked out apart from the program:
random decode texts and settings files, and the text each decode logs, the
switches, output options and rules typeSet.ini gives and the hold-off
configDecodeTime.ini gives. Rules are drawn from a small grammar of patterns
that Python's re and ECMAScript read alike, so that re.fullmatch tells.

The settings rules are the ones the program relies on from Windows, as Wine
applies them (each checked against Wine's own calls):

- GetPrivateProfileString reads a UTF-8 file after its BOM, UTF-16 after a
  little- or big-endian BOM, anything else in the ANSI code page, where in a
  double-byte code page a lead byte always takes the next byte with it, even
  a line end. CR and LF each end a line. Lines, names and values lose tabs,
  vertical tabs, form feeds, Ctrl-Z and spaces at both ends, nothing else.
  A line starting with '[' and holding a ']' is a section header (the name up
  to the last ']'); a key is found only in the first section of that name,
  and the first key of that name there wins; names are compared without case
  and up to a NUL. A value loses a matching pair of enclosing quotes and is
  cut to the caller's buffer (the program's holds 9 characters).
- configDecodeTime.ini is read as a text-mode C file (Ctrl-Z ends it) up to
  the first NUL and taken by atoi: blanks, one sign, digits, wrapping around
  in 32 bits.
"""
import functools
import random
import re
import struct

import harness

SYMBOLOGIES = ("qr", "dm", "barcode", "pdf417")
TYPE_KEYS = ("QR", "DM", "Barcode", "PDF417", "Enter")

ANSI_CODEC = {1252: "cp1252", 936: "gbk"}[harness.CODEPAGE]

# Blocks of which the ANSI code pages (apart from 936 for the ideographs)
# hold no character and no look-alike either: each character becomes "?".
NO_LOOKALIKE = [(0x4E00, 0x9FA5), (0xAC00, 0xD7A3), (0x0E01, 0x0E5B), (0x0900, 0x097F)]

HANZI = [bytes((hi, lo)).decode("gb2312") for hi in range(0xB0, 0xD8) for lo in range(0xA1, 0xFF)
         if (hi, lo) < (0xD7, 0xFA)]
HANGUL = [chr(c) for c in range(0xAC00, 0xD7A4, 37)]
EMOJI = ["\U0001F600", "\U0001F4E6", "\U0001F9FE"]


def encodable_everywhere(ch):
    try:
        ch.encode("cp1252")
        ch.encode("gbk")
        return True
    except UnicodeEncodeError:
        return False


LATIN = [chr(c) for c in range(0xA0, 0x100) if encodable_everywhere(chr(c))]
WORDS = ["ABC123", "norza", "Lot 4711", "SN:00-1F", "x", "https://e.example/q?a=1&b=%20",
         "GS1(01)0950", "~!@#$%^&*()_+{}|:\"<>?", "\\\\srv\\share", "'quoted'"]


def to_ansi(text):
    """The text in the ANSI code page, or None where the code page may put a
    look-alike in that cannot be told here."""
    out = bytearray()
    for ch in text:
        try:
            out += ch.encode(ANSI_CODEC)
            continue
        except UnicodeEncodeError:
            pass
        c = ord(ch)
        if c > 0xFFFF:
            out += b"??"   # the two halves of its UTF-16 pair
        elif any(lo <= c <= hi for lo, hi in NO_LOOKALIKE):
            out += b"?"
        else:
            return None
    return bytes(out)


def valid_cp936(data):
    """Whether Windows reads the bytes as code page 936 without a fault: 0x80
    alone is the euro sign, and every lead byte with a trail byte of its range
    is a character (user-defined ones as private-use characters), where
    Python's gbk codec knows neither."""
    i = 0
    while i < len(data):
        if data[i] <= 0x80:
            i += 1
        elif data[i] < 0xFF and i + 1 < len(data) and 0x40 <= data[i + 1] <= 0xFE \
                and data[i + 1] != 0x7F:
            i += 2
        else:
            return False
    return True


def logged_text(payload):
    """The text of a decode's log entry: the bytes up to the first NUL (none
    for a NULL pointer), converted from UTF-8 only when they are well-formed
    UTF-8 (without a byte-order mark), each line feed written as CR LF. None
    when the conversion cannot be told here: where look-alikes may come in,
    and under 936 where the bytes are valid GBK as well."""
    text = (payload or b"").split(b"\0")[0]
    try:
        wide = text.decode("utf-8")
    except UnicodeDecodeError:
        wide = None
    if wide is not None and harness.CODEPAGE == 936 and not text.isascii() and valid_cp936(text):
        return None   # valid both ways: which reading wins is the unit tests' business
    ansi = text if wide is None else to_ansi(wide.removeprefix("\ufeff"))
    return None if ansi is None else ansi.replace(b"\n", b"\r\n")


# --- random decodes -----------------------------------------------------------

INVALID_UTF8 = [b"\xc0\x80", b"\xc1\xbf", b"\xe0\x80\x80", b"\xed\xa0\x80", b"\xed\xbf\xbf",
                b"\xf4\x90\x80\x80", b"\xf5\x80\x80\x80", b"\xf8\x88\x80\x80\x80", b"\xff",
                b"\xfe", b"\x80", b"\xbf", b"\xe4\xb8", b"\xc3", b"\xf0\x9f\x98", b"\xe4\xb8A",
                b"\xc3\xa9\xa9", b"\xb3\xcc\xb0\xa1"]


def valid_utf8_text(rng, length):
    pools = [WORDS, HANZI, HANGUL, LATIN, EMOJI, [" ", "\t", "\r\n", "\n"]]
    return "".join(rng.choice(rng.choice(pools)) for _ in range(length))


LARGE_SHAPES = 3


def large_payload(rng, shape):
    """64 KB of printable ASCII (shape 0), of any bytes but NUL (1), or of
    ideographs in UTF-8 (2)."""
    if shape == 0:
        return bytes(rng.randrange(0x20, 0x7F) for _ in range(65536))
    if shape == 1:
        return bytes(rng.randrange(1, 256) for _ in range(65536))
    return ("".join(rng.choice(HANZI) for _ in range(21845)) + "a").encode("utf-8")


def decode_payload(rng, kind):
    """Random bytes of one kind of decode; None for a NULL pointer."""
    if kind == "NULL pointer":
        return None
    if kind == "empty":
        return b""
    if kind == "64 KB":
        return large_payload(rng, rng.randrange(LARGE_SHAPES))
    if kind == "invalid UTF-8":
        parts = [valid_utf8_text(rng, rng.randrange(0, 6)).encode("utf-8")
                 for _ in range(rng.randrange(1, 4))]
        for _ in range(rng.randrange(1, 3)):
            parts.insert(rng.randrange(len(parts) + 1), rng.choice(INVALID_UTF8))
        return b"".join(parts)
    if kind == "valid UTF-8":
        return valid_utf8_text(rng, rng.randrange(1, 40)).encode("utf-8")
    if kind == "control characters":
        pool = list(range(1, 0x20)) + [0x7F] + list(b"AZaz09 ")
        return bytes(rng.choice(pool) for _ in range(rng.randrange(1, 64)))
    if kind == "every byte":
        every = list(range(1, 256))
        if rng.randrange(2):
            rng.shuffle(every)
        return bytes(every)
    if kind == "GBK":
        return "".join(rng.choice(HANZI + WORDS) for _ in range(rng.randrange(1, 30))).encode("gbk")
    if kind == "random bytes":
        return bytes(rng.randrange(256) for _ in range(rng.randrange(0, 400)))
    raise ValueError(kind)


DECODE_KINDS = {   # kind: weight
    "NULL pointer": 4, "empty": 4, "64 KB": 2, "invalid UTF-8": 15, "valid UTF-8": 20,
    "control characters": 10, "every byte": 3, "GBK": 8, "random bytes": 34,
}


def random_decodes(rng, count, symbologies, disabled):
    """count decodes as (kind, symbology, payload); about one in thirty goes
    to the disabled symbology."""
    kinds, weights = zip(*DECODE_KINDS.items())
    decodes = []
    for _ in range(count):
        kind = rng.choices(kinds, weights)[0]
        sym = disabled if rng.random() < 1 / 30 else rng.choice(symbologies)
        decodes.append((kind, sym, decode_payload(rng, kind)))
    return decodes


def batch_line(sym, payload):
    if payload is None:
        return "decode-null %s\n" % sym
    return "decode-hex %s %s\n" % (sym, payload.hex())


# --- typeSet.ini --------------------------------------------------------------

PROFILE_BLANKS = {0x09, 0x0B, 0x0C, 0x1A, 0x20}
LINE_ENDS = {0x0A, 0x0D}
OTHER_CHARACTER = 0x110000   # stands for any character that is none of the above


@functools.lru_cache(maxsize=4)
def read_profile(data):
    """The sections of a file's bytes: the same file is looked at several
    times, and a huge one takes seconds."""
    return parse_profile(profile_units(data))


def profile_units(data):
    """The characters GetPrivateProfileString reads from the file, as code
    points; non-ASCII characters of an ANSI file as OTHER_CHARACTER."""
    if data[:3] == b"\xef\xbb\xbf":
        return [ord(c) for c in data[3:].decode("utf-8", "replace")]
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        body = data[2:len(data) - len(data) % 2]
        return list(struct.unpack(("<" if data[0] == 0xFF else ">") + "%dH" % (len(body) // 2),
                                  body))
    units, i = [], 0
    while i < len(data):
        b = data[i]
        if harness.CODEPAGE == 936 and 0x81 <= b <= 0xFE and i + 1 < len(data):
            units.append(OTHER_CHARACTER)
            i += 2
            continue
        units.append(b if b < 0x80 else OTHER_CHARACTER)
        i += 1
    return units


def c_string(units):
    return units[:units.index(0)] if 0 in units else units


def strip(units):
    start, end = 0, len(units)
    while start < end and units[start] in PROFILE_BLANKS:
        start += 1
    while end > start and units[end - 1] in PROFILE_BLANKS:
        end -= 1
    return units[start:end]


def same_name(units, name):
    units = c_string(units)
    return len(units) == len(name) and all(
        u < 0x80 and chr(u).lower() == c.lower() for u, c in zip(units, name))


def parse_profile(units):
    """[(section name, [(key name, value or None)])], the keys before any
    header under an unnamed section."""
    sections = [([], [])]
    line = []
    for u in units + [0x0A]:
        if u not in LINE_ENDS:
            line.append(u)
            continue
        text, line = strip(line), []
        if not text:
            continue
        if text[0] == ord("[") and ord("]") in text:
            close = len(text) - 1 - text[::-1].index(ord("]"))
            sections.append((strip(text[1:close]), []))
            continue
        if ord("=") in text:
            eq = text.index(ord("="))
            sections[-1][1].append((strip(text[:eq]), strip(text[eq + 1:])))
        else:
            sections[-1][1].append((text, None))
    return sections


def profile_value(sections, section, key, size=10):
    """What GetPrivateProfileString(section, key, "", buffer, size) puts in
    the buffer, as code points."""
    value = profile_lookup(sections, section, key, size)
    return [] if value is None else value


def profile_lookup(sections, section, key, size):
    """As profile_value, but None when the key is not there."""
    for name, keys in sections:
        if c_string(name) and same_name(name, section):
            for key_name, value in keys:
                if same_name(key_name, key):
                    return copy_value(value or [], size)
            return None
    return None


def copy_value(value, size):
    value = c_string(value)
    if len(value) > 1 and value[0] in (ord('"'), ord("'")) and value[-1] == value[0]:
        inner = value[1:]
        copied = inner[:size - 1]
        return copied[:-1] if size >= len(inner) else copied
    return value[:size - 1]


def type_flags(data):
    """The five switches the program takes from typeSet.ini (data None: the
    file is missing or cannot be read): on when the value is empty or "1".
    None when a value is one character the ANSI code page lacks, which it
    may turn into a look-alike "1" (a full-width one does in 1252); the
    characters of an ANSI file go back to their own bytes."""
    if data is None:
        return (1,) * len(TYPE_KEYS)
    sections = read_profile(data)
    flags = []
    for key in TYPE_KEYS:
        value = profile_value(sections, "TYPE", key)
        if (len(value) == 1 and 0x80 <= value[0] < OTHER_CHARACTER and
                to_ansi(chr(value[0])) is None):
            return None
        flags.append(int(value in ([], [ord("1")])))
    return tuple(flags)


VALUES = ["1", "0", "", "1", "", "10", "01", "11", "1 1", "yes", "true", "on", "+1", "1.0",
          "\"1\"", "'1'", "\"\"", "''", "\"1", "1\"", "\"1'", "'", "\"", "1;x", "1" * 12,
          "\"111111111\"", "\"11111111\"", "\"1111111111\"", "1\0x", "1 \0x", "\0", "0\0" + "1",
          "\u00a01", "\uff11", "\u30001"]
BLANKS = ["", "", " ", "\t", "  \t", "\v", "\f", "\x1a", "\u00a0", "\u3000"]
HEADERS = ["[TYPE]", "[TYPE]", "[type]", "[Type]", "[ TYPE ]", "[\tTYPE]", "[TYPE]]",
           "[TYPE] ; switches", "[TYPE]x]", "[TYPE\0x]", "[TYPE \0x]", "[ \0TYPE]", "[TYPE"]
OTHER_HEADERS = ["[OTHER]", "[TYPE2]", "[TYP]", "[TYPES]", "[]", "TYPE]", "[T YPE]"]


def junk_chars(rng, ansi):
    """A run of random characters with no line end in it."""
    n = rng.randrange(1, 40)
    if ansi:
        return "".join(chr(rng.choice([b for b in range(256) if b not in LINE_ENDS]))
                       for _ in range(n))
    return "".join(chr(rng.choice([rng.randrange(1, 0x80), rng.randrange(0x80, 0xD800),
                                   rng.randrange(0xE000, 0x10000)])) for _ in range(n)
                   ).replace("\n", "").replace("\r", "")


def key_line(rng, key):
    name = rng.choice([key, key, key.lower(), key.upper(), key + "\0x", key + " \0x",
                       key[0] + " " + key[1:]])
    value = rng.choice(VALUES)
    return rng.choice(BLANKS) + name + rng.choice(BLANKS) + "=" + rng.choice(BLANKS) + value + \
        rng.choice(BLANKS)


# Section OUTPUT: what is typed around a decode and in place of its control
# characters, read with a buffer of 1024 characters. A missing or invalid
# value leaves the key at its default; in a section [OUTPUT:<file name>], at
# the value of OUTPUT while that program is in front.
OUTPUT_KEYS = ("Prefix", "Suffix", "KeyDelay", "RepeatWindow", "GS", "RS", "EOT", "Method")
CONTROLS = {"GS": "\x1d", "RS": "\x1e", "EOT": "\x04"}
ESCAPES = {"{TAB}": "\t", "{ENTER}": "\r", "{GS}": "\x1d", "{RS}": "\x1e", "{EOT}": "\x04",
           "{{": "{", "}}": "}"}
NAMED_KEYS = ("HOME", "END", "UP", "DOWN", "LEFT", "RIGHT", "PGUP", "PGDN", "INS", "DEL", "BS",
              "ESC", "TAB", "ENTER", "SPACE")
MODIFIERS = ("CTRL+", "ALT+", "SHIFT+")
KEY = "\ue000"   # a key pressed by name, whose effect on the target is not told here
MAX_PAUSE = 2000
# Keys by name edit the typing target's field: only where they are never typed.
KEY_VALUES = ["{HOME}", "{CTRL+A}", "{F5}", "{ctrl+shift+home}", "{SPACE}", "{ESC}", "{END}"]
OUTPUT_VALUES = {
    "text": ["", "a", "x1", "{TAB}", "{enter}", "{Tab}{ENTER}", "{{", "}}", "-{TAB}-", "{gs}",
             "\" b \"", "'q'", "{X}", "{", "}", "a{TAB", "{ TAB}", "{}", "b\0{X}", "{DELAY 5}#",
             "{U+0041}", "{u+7e}{delay 0}", "{DELAY 2001}", "{U+D800}", "{F25}", "{CTRL+}"],
    "KeyDelay": ["0", "5", "20", "40", "200", "201", "-1", "x", "1.5", "", "+3", "07",
                 "99999999999"],
    # Far from the gap between two decodes either way: 1 ms always passed,
    # 30 s never.
    "RepeatWindow": ["0", "1", "30000", "60000", "60001", "-5", "x", "", "2e3", "\"60000\""],
    "Method": ["type", "TYPE", "", "typing", "1"],
}


def code_point_escape(value, i):
    """(length, character) of a {U+XXXX} at i, or None."""
    m = re.match(r"\{[Uu]\+([0-9A-Fa-f]{1,6})\}", value[i:])
    ch = int(m[1], 16) if m else 0
    if ch == 0 or ch > 0x10FFFF or 0xD800 <= ch <= 0xDFFF or 0xFDD0 <= ch & 0xFFFF <= 0xFDEF:
        return None
    return len(m[0]), chr(ch)


def named_key(name, combined):
    if len(name) > 1 and name[0] in "Ff" and len(name) <= 3 and \
            all(c in "0123456789" for c in name[1:]):
        return name[1] != "0" and 1 <= int(name[1:]) <= 24
    if name.upper() in NAMED_KEYS:
        return True
    return combined and len(name) == 1 and name.isascii() and name.isalnum()


def key_escape(value, i):
    """(length, KEY or "" for a pause) of a key, key combination or pause at
    i, or None."""
    j = i + 1
    while j < len(value) and value[j] not in "{}" and value[j].isascii() and j - i < 32:
        j += 1
    if j == len(value) or value[j] != "}" or j == i + 1:
        return None
    name, length = value[i + 1:j], j + 1 - i
    if name[:6].upper() == "DELAY ":
        digits = name[6:]
        if 1 <= len(digits) <= 4 and all(c in "0123456789" for c in digits) and \
                int(digits) <= MAX_PAUSE:
            return length, ""
        return None
    mods, found = set(), True
    while found:
        found = False
        for mod in MODIFIERS:
            if len(name) > len(mod) and name[:len(mod)].upper() == mod and mod not in mods:
                mods.add(mod)
                name = name[len(mod):]
                found = True
    if not named_key(name, bool(mods)) or (name.upper() in ("TAB", "ENTER") and not mods):
        return None
    return length, KEY


def expand_escapes(value):
    out, i = "", 0
    while i < len(value):
        if value[i] not in "{}":
            out += value[i]
            i += 1
            continue
        found = code_point_escape(value, i)
        if found is None and value[i] == "{" and value[i + 1:i + 2] != "{":
            found = key_escape(value, i)
        if found is None:
            name = next((n for n in ESCAPES if value[i:i + len(n)].upper() == n), None)
            found = None if name is None else (len(name), ESCAPES[name])
        if found is None:
            return None
        out += found[1]
        i += found[0]
    return out


def output_number(value, top):
    """The number, or None when the value is not one the key takes."""
    if not 1 <= len(value) <= 9 or any(c not in "0123456789" for c in value):
        return None
    return int(value) if int(value) <= top else None


def section_names(sections):
    """What GetPrivateProfileSectionNames lists: each named section's name up
    to a NUL; only ASCII ones, as no other can name a rule or a program."""
    names = [c_string(name) for name, _ in sections]
    return ["".join(map(chr, n)) for n in names if n and all(u < 0x80 for u in n)]


def overlay_output(options, sections, section):
    """Puts the valid values of the section's keys in the options; False when
    a value holds a character outside ASCII."""
    for key in OUTPUT_KEYS:
        units = profile_lookup(sections, section, key, 1024)
        if units is None:
            continue
        if any(u >= 0x80 for u in units):
            return False
        value = "".join(map(chr, units))
        if key in ("KeyDelay", "RepeatWindow"):
            number = output_number(value, 200 if key == "KeyDelay" else 60000)
            if number is not None:
                options["key_delay" if key == "KeyDelay" else "repeat_window"] = number
        elif key == "Method":
            if value.lower() in ("type", "paste"):
                options["paste"] = value.lower() == "paste"
        elif expand_escapes(value) is not None:
            text = expand_escapes(value)
            if key in CONTROLS:
                options["controls"][CONTROLS[key]] = text
            else:
                options[key.lower()] = text
    return True


def output_options(data, program=None):
    """The output options the program takes from typeSet.ini with the
    program (file name) in front: prefix, suffix (None: not set), key_delay,
    repeat_window, paste and controls (character: None to keep it, else what
    replaces it). None when a value that counts holds a character outside
    ASCII, whose typing cannot be told here."""
    options = {"prefix": "", "suffix": None, "key_delay": 0, "repeat_window": 0, "paste": False,
               "controls": {ch: None for ch in CONTROLS.values()}}
    if data is None:
        return options
    sections = read_profile(data)
    chosen = ["OUTPUT"] + [name for name in section_names(sections)
                           if program and name[:7].upper() == "OUTPUT:" and
                           name[7:].lower() == program.lower()][:1]
    return options if all(overlay_output(options, sections, s) for s in chosen) else None


def keys_and_characters(text):
    """Line breaks as one Enter each, and no control character but Tab, GS,
    RS and EOT."""
    text = text.replace("\r\n", "\r").replace("\n", "\r")
    return "".join(ch for ch in text if ch in "\t\r\x1d\x1e\x04" or " " <= ch != "\x7f")


def output_lines(rng, header=None, anything=False):
    """Section OUTPUT, or the section of that header; anything: values too
    that would make the typing unpredictable, for a section that never
    applies."""
    ascii_blanks = [b for b in BLANKS if b.isascii()]
    header = header or rng.choice(["[OUTPUT]", "[output]", "[ Output ]"])
    lines = [rng.choice(ascii_blanks) + header]
    for key in OUTPUT_KEYS:
        if rng.random() < 0.6:
            pool = OUTPUT_VALUES.get(key, OUTPUT_VALUES["text"])
            if anything:
                pool = pool + (["paste", "Paste"] if key == "Method" else KEY_VALUES)
            name = rng.choice([key, key, key.lower(), key + "\0x", key[0] + " " + key[1:]])
            lines.append(rng.choice(ascii_blanks) + name + "=" + rng.choice(pool) +
                         rng.choice(ascii_blanks))
    return lines


# --- rules and program sections -------------------------------------------------

TARGET_PROGRAM = "typetarget.exe"
# What the random settings' decodes carry, with the code's GS1 elements (None:
# not GS1). None holds a "z": a "z" typed from elsewhere marks the end.
CODES = [("k\x1d\x1e\x04", None), ("Lot-42\x1dx9", None), ("ID=7;LOT=A12", None),
         ("]d20109506000134352" "1727123110A1\x1d21X",
          {"01": "09506000134352", "17": "271231", "10": "A1", "21": "X"})]
REGEX_SPECIAL = "\\^$.|?*+()[]{}"
TEMPLATE_PIECES = ["$0", "$1", "$2", "$3", "$9", "$$", "$", "x", "-", "#", "<>", " ", "{TAB}",
                   "{enter}", "{GS}", "{rs}", "{EOT}", "{{", "}}", "{DELAY 5}", "{delay 0}",
                   "{U+0041}", "{u+7e}", "{AI:17}", "{AI:10}", "{ai:21}", "{AI:3103}", "'q'"]
BAD_TEMPLATE_PIECES = ["{X}", "{AI:1}", "{AI:12345}", "a{TAB", "}", "{$1}", "{DELAY 2001}",
                       "{CTRL+}", "{U+D800}", "{F25}", "{AI:17"]
ACTIONS = ["", "type", "Type", "reject", "REJECT", "reject", "drop", "0"]
RULE_NUMBERS = ["1", "2", "3", "4", "5", "9", "10", "42", "99"]
NOT_RULE_NUMBERS = ["0", "100", "05", "007", "", " 3", "1a", "-1"]


def random_case(rng, text):
    return "".join(c.upper() if rng.randrange(2) else c for c in text)


def regex_literal(text):
    return "".join("\\x%02X" % ord(c) if c < " " else "\\" + c if c in REGEX_SPECIAL else c
                   for c in text)


def run_pattern(rng, run):
    """A piece of pattern for a run of the code: the run itself, a class its
    characters belong to, repeated, or now and then one they miss."""
    if rng.random() < 0.4:
        return regex_literal(run)
    if run.isdigit():
        fits = [r"\d+", r"\d*", "[0-9]+", r"\w+", r"\d" * len(run)]
    elif run.isalpha():
        fits = ["[A-Z]+" if run.isupper() else "[a-z]+", "[A-Za-z]+", r"\w+", r"\w*"]
    else:
        fits = [r"\W", r"\W+", r"\W?"]
    return rng.choice(["[A-Z]?", r"\d", r"\w", "x"] if rng.random() < 0.1 else fits)


def random_pattern(rng, code):
    """A regular expression of the small grammar on which Python's re and
    ECMAScript agree: literals, \\d \\w \\W, classes, groups (none inside a
    repeated one), + * ?, alternation. Made after the code, so it matches
    it often, or after another code."""
    if rng.random() < 0.15:
        code = rng.choice(CODES)[0]
    parts = []
    for run in re.findall(r"[A-Z]+|[a-z]+|[0-9]+|.", code, re.S):
        part, shape = run_pattern(rng, run), rng.random()
        if shape < 0.25:
            part = "(" + part + ")"
        elif shape < 0.35:
            part = "(" + part + "|" + regex_literal(rng.choice(["A12", "x", "42", "-"])) + ")"
        elif shape < 0.42:
            part = "(" + regex_literal(run) + ")" + rng.choice("+?")
        parts.append(part)
    pattern = "".join(parts)
    if rng.random() < 0.15:
        pattern += "|" + regex_literal(rng.choice(CODES)[0])
    return pattern


def random_match(rng, code):
    shape = rng.random()
    if shape < 0.08:
        return "GS1"
    if shape < 0.1:
        return random_case(rng, "gs1")   # GS1 in any case
    if shape < 0.13:
        return ""
    pattern = random_pattern(rng, code)
    if shape < 0.2:   # does not compile
        return rng.choice(["(" + pattern, pattern + ")", "*" + pattern, pattern + "[",
                           "+" + pattern])
    return pattern


def random_template(rng):
    pieces = [rng.choice(TEMPLATE_PIECES) for _ in range(rng.randrange(5))]
    for pool, chance in [(BAD_TEMPLATE_PIECES, 0.1), (KEY_VALUES, 0.08)]:
        if rng.random() < chance:
            pieces.insert(rng.randrange(len(pieces) + 1), rng.choice(pool))
    value = "".join(pieces)
    return '"%s"' % value if rng.random() < 0.15 else value


def rule_lines(rng, code):
    """One rule section, valid or not, some of the time not a rule at all."""
    number = rng.choice(RULE_NUMBERS if rng.random() < 0.85 else NOT_RULE_NUMBERS)
    target = random_case(rng, TARGET_PROGRAM)
    values = [("Match", random_match(rng, code), 0.95),
              ("Program", rng.choice(["", target, "other.exe", target + "; other.exe",
                                      "other.exe ;\t" + target, ";", "typetarget",
                                      target + ".bak", "x.exe;;" + target]), 0.5),
              ("Output", random_template(rng), 0.75),
              ("Action", rng.choice(ACTIONS), 0.5)]
    lines = [rng.choice([key, key.lower(), key.upper()]) + "=" + value
             for key, value, chance in values if rng.random() < chance]
    rng.shuffle(lines)
    return [rng.choice(["[RULE%s]", "[rule%s]", "[ Rule%s ]"]) % number] + lines


def program_section_lines(rng):
    target = random_case(rng, TARGET_PROGRAM)
    name = rng.choice(["OUTPUT:" + target, "OUTPUT:" + target, "output:" + target,
                       "OUTPUT: " + target, "OUTPUT:typetarget", "OUTPUT:other.exe", "OUTPUT:",
                       "OUTPUT :" + target])
    return output_lines(rng, "[%s]" % name, anything=name.lower() != "output:" + TARGET_PROGRAM)


def parse_template(value):
    """The parts of a rule's output ("text", text), ("group", n), ("ai", AI);
    None when it has an unknown escape."""
    parts, run, i = [], "", 0

    def flush():
        nonlocal run
        text = expand_escapes(run)
        if run and text is not None:
            parts.append(("text", text))
        run = "" if text is not None else run
        return text is not None

    while i < len(value):
        if value[i] == "$" and value[i + 1:i + 2] in tuple("0123456789"):
            if not flush():
                return None
            parts.append(("group", int(value[i + 1])))
            i += 2
        elif value[i:i + 2] == "$$":
            run += "$"
            i += 2
        elif value[i:i + 4].upper() == "{AI:":
            digits = re.match("[0-9]*", value[i + 4:])[0]
            if not 2 <= len(digits) <= 4 or value[i + 4 + len(digits):][:1] != "}" or not flush():
                return None
            parts.append(("ai", digits))
            i += 5 + len(digits)
        elif value[i:i + 2] == "{{":
            run += "{{"
            i += 2
        elif value[i] == "{":
            end = value.find("}", i)
            if end < 0:
                return None
            run += value[i:end + 1]
            i = end + 1
        else:
            run += value[i]
            i += 1
    return parts if flush() else None


def make_rule(number, values):
    """The rule of a section's values (None: the key is missing), or None
    when it has an error."""
    match = values["Match"] or ""
    if (values["Action"] or "").lower() not in ("", "type", "reject") or not match:
        return None
    pattern = None
    if match.upper() != "GS1":
        try:
            pattern = re.compile(match, re.ASCII)
        except re.error:
            return None
    output = None if values["Output"] is None else parse_template(values["Output"])
    if values["Output"] is not None and output is None:
        return None
    programs = [p.strip(" \t").lower() for p in (values["Program"] or "").split(";")]
    return {"number": number, "pattern": pattern, "output": output,
            "programs": [p for p in programs if p],
            "reject": (values["Action"] or "").lower() == "reject"}


def rules(data):
    """([rules in number order], [numbers of the sections left out for an
    error]) of sections [RULE1]..[RULE99]; None when a value holds a
    character outside ASCII."""
    if data is None:
        return [], []
    sections = read_profile(data)
    numbers = sorted({int(name[4:]) for name in section_names(sections)
                      if name[:4].upper() == "RULE" and re.fullmatch("[1-9][0-9]?", name[4:])})
    made, left_out = [], []
    for number in numbers:
        values = {}
        for key in ("Match", "Program", "Output", "Action"):
            units = profile_lookup(sections, "RULE%d" % number, key, 1024)
            if units is not None and any(u >= 0x80 for u in units):
                return None
            values[key] = None if units is None else "".join(map(chr, units))
        rule = make_rule(number, values)
        if rule is None:
            left_out.append(number)
        else:
            made.append(rule)
    return made, left_out


def rule_outcome(made, code, gs1, program):
    """(number of the rule that shapes the code, 0 for none; its pieces as
    (from the code, text), None when it refuses the code). A rule whose
    output names a group or AI the code lacks is passed over."""
    for rule in made:
        if rule["programs"] and program.lower() not in rule["programs"]:
            continue
        if rule["pattern"] is None:
            if gs1 is None:
                continue
            groups = [code]
        else:
            m = rule["pattern"].fullmatch(code)
            if not m:
                continue
            groups = [m[0]] + list(m.groups())   # None: the group took no part
        if rule["reject"]:
            return rule["number"], None
        if rule["output"] is None:
            return rule["number"], [(True, code)]
        pieces = []
        for kind, value in rule["output"]:
            if kind == "text":
                pieces.append((False, value))
            elif kind == "group" and value < len(groups) and groups[value] is not None:
                pieces.append((True, groups[value]))
            elif kind == "ai" and gs1 and value in gs1:
                pieces.append((True, gs1[value]))
            elif kind != "text":
                break
        else:
            return rule["number"], pieces
    return 0, [(True, code)]


def settings_outcome(data, code, gs1, program=TARGET_PROGRAM):
    """What typeSet.ini (None: none) makes of a decode of the code (ASCII,
    with its GS1 elements or None) while the program is in front: flags,
    options, left_out (rules logged as left out), rule (the one that shaped
    the code, 0: none) and typed (the characters, Tab and Enter keys as
    theirs; None when the rule refuses the code). None when that cannot be
    told here."""
    flags, options, made = type_flags(data), output_options(data, program), rules(data)
    if flags is None or options is None or made is None or options["paste"]:
        return None
    number, pieces = rule_outcome(made[0], code, gs1, program)
    typed = None
    if pieces is not None:
        controls = options["controls"]
        text = "".join("".join(c if controls.get(c) is None else controls[c] for c in t)
                       if from_code else t for from_code, t in pieces)
        suffix = options["suffix"]
        typed = keys_and_characters(options["prefix"] + text + (suffix or "")) + \
            ("\r" if flags[4] and suffix is None else "")
        if not typed.isascii():
            return None
    return {"flags": flags, "options": options, "left_out": made[1], "rule": number,
            "typed": typed}


def random_type_set(rng, code, huge_mb=2):
    """(description, bytes or None for no file, True to make it a folder),
    drawn again until what it makes of a decode of the code (an item of
    CODES) can be told."""
    while True:
        description, data, folder = any_type_set(rng, code[0], huge_mb)
        if folder or settings_outcome(data, *code) is not None:
            return description, data, folder


def any_type_set(rng, code, huge_mb):
    shape = rng.choices(["ini", "binary", "missing", "folder"], [88, 6, 3, 3])[0]
    if shape == "missing":
        return "no typeSet.ini", None, False
    if shape == "folder":
        return "typeSet.ini is a folder", None, True
    encoding = rng.choices(["ansi", "utf-8 BOM", "utf-16le BOM", "utf-16be BOM", "utf-16le"],
                           [70, 10, 8, 4, 8])[0]
    ansi = encoding == "ansi"
    if shape == "binary":
        data = bytes(rng.randrange(256) for _ in range(rng.randrange(1, 4000)))
        if data[:2] in (b"\xff\xfe", b"\xfe\xff") or data[:3] == b"\xef\xbb\xbf":
            data = b"#" + data
        return "random bytes", data, False

    lines = []
    if rng.random() < 0.3:
        lines.append(rng.choice(OTHER_HEADERS))
        lines += [key_line(rng, rng.choice(TYPE_KEYS)) for _ in range(rng.randrange(1, 4))]
    if rng.random() < 0.9:
        lines.append(rng.choice(BLANKS) + rng.choice(HEADERS) + rng.choice(BLANKS))
        keys = [k for k in TYPE_KEYS if rng.random() < 0.8]
        keys += [rng.choice(TYPE_KEYS) for _ in range(rng.randrange(3))]   # repeated keys
        rng.shuffle(keys)
        for key in keys:
            if rng.random() < 0.15:
                lines.append("#" + junk_chars(rng, ansi) + "##")
            if rng.random() < 0.1:
                lines.append(";" + key + "=0")
            lines.append(key_line(rng, key))
    if rng.random() < 0.15:
        lines.append(rng.choice(HEADERS))   # a later section of the same name
        lines += [key_line(rng, rng.choice(TYPE_KEYS)) for _ in range(rng.randrange(1, 4))]
    blocks = [output_lines(rng)] if rng.random() < 0.6 else []
    if rng.random() < 0.35:
        blocks.append(program_section_lines(rng))
    rule_count = rng.randrange(1, 5) if rng.random() < 0.7 else 0
    blocks += [rule_lines(rng, code) for _ in range(rule_count)]
    for block in blocks:
        at = rng.randrange(len(lines) + 1) if rng.random() < 0.3 else len(lines)
        lines[at:at] = block
    huge = rng.random() < 0.05
    if huge:
        filler = "#" + "0123456789abcdef=" * 4 + "##"
        block = [filler] * (huge_mb * 1024 * 1024 // len(filler) + 1)
        at = rng.randrange(len(lines) + 1)
        lines[at:at] = block
    eol = rng.choice(["\n", "\r\n", "\r", None])
    text = "".join(line + (eol or rng.choice(["\n", "\r\n", "\r", "\n\r"])) for line in lines)

    if ansi:
        data = encode_ansi_line(text)
    elif encoding == "utf-8 BOM":
        data = b"\xef\xbb\xbf" + text.encode("utf-8", "surrogatepass")
    elif encoding == "utf-16be BOM":
        data = b"\xfe\xff" + text.encode("utf-16-be", "surrogatepass")
    elif encoding == "utf-16le BOM":
        data = b"\xff\xfe" + text.encode("utf-16-le", "surrogatepass")
    else:
        data = text.encode("utf-16-le", "surrogatepass")   # no BOM: read as ANSI
    description = "%s, %s line ends, %d lines, %d rule sections%s" % (
        encoding, {"\n": "LF", "\r\n": "CR LF", "\r": "CR", None: "mixed"}[eol], len(lines),
        rule_count, ", %d MB" % (len(data) // 2 ** 20) if huge else "")
    return description, data, False


def encode_ansi_line(text):
    """Characters below 256 as the bytes of the same value (the junk is made
    of bytes), others in the ANSI code page, or "?" where it has none."""
    out = bytearray()
    for ch in text:
        if ord(ch) < 256:
            out.append(ord(ch))
        else:
            try:
                out += ch.encode(ANSI_CODEC)
            except UnicodeEncodeError:
                out += b"?"
    return bytes(out)


# --- configDecodeTime.ini -----------------------------------------------------

def atoi(data):
    """msvcrt's atoi: leading blanks, one sign, decimal digits, 32-bit wrap."""
    i = 0
    while i < len(data) and data[i] in b" \t\n\v\f\r":
        i += 1
    negative = False
    if i < len(data) and data[i] in b"+-":
        negative = data[i] == ord("-")
        i += 1
    n = 0
    while i < len(data) and 0x30 <= data[i] <= 0x39:
        n = (n * 10 + data[i] - 0x30) & 0xFFFFFFFF
        i += 1
    if negative:
        n = -n & 0xFFFFFFFF
    return n - (1 << 32) if n & 0x80000000 else n


def decode_time(data):
    """The hold-off the program takes from configDecodeTime.ini (None: the
    file is missing or cannot be read)."""
    if data is None:
        return 50
    text = data.split(b"\x1a")[0].split(b"\0")[0]
    return min(max(atoi(text), 50), 5000)


def random_decode_time(rng, huge_mb=2):
    """(description, bytes or None for no file, True to make it a folder).
    Long hold-offs are kept rare: every decode of the test waits for them."""
    shape = rng.choices(["number", "binary", "huge", "missing", "folder"], [85, 5, 4, 3, 3])[0]
    if shape == "missing":
        return "no configDecodeTime.ini", None, False
    if shape == "folder":
        return "configDecodeTime.ini is a folder", None, True
    if shape == "binary":
        return "random bytes", bytes(rng.randrange(256) for _ in range(rng.randrange(1, 200))), False
    if shape == "huge":
        if rng.randrange(2):
            return "MBs of blanks, then a number", b" \r\n\t" * (huge_mb * 2 ** 18) + b"321", False
        return "MBs of digits", b"7" * (huge_mb * 2 ** 20), False

    value = rng.choice([rng.randrange(0, 50), rng.randrange(50, 400), rng.randrange(50, 400),
                        rng.choice([49, 50, 51, 4999, 5000, 5001]), rng.randrange(5001, 10 ** 6),
                        rng.randrange(2 ** 31, 2 ** 33), -rng.randrange(1, 10 ** 5)])
    digits = str(abs(value))
    sign = "-" if value < 0 else rng.choice(["", "", "+"])
    body = (rng.choice(["", " ", "\t", "\r\n", " \v\f", "\n\n"]) + sign +
            "0" * rng.choice([0, 0, 1, 20]) + digits)
    suffix = rng.choice(["", "\n", "\r\n", "ms", " 9", "\r123", "\0" + "9999", "\x1a" + "9999",
                         ".5", "e3"])
    prefix = rng.choice([""] * 6 + ["\ufeff", "\0", "\x1a", "x", "\x1c", "\u00a0"])
    data = (prefix + body + suffix).encode("utf-8")
    return "%r" % data[:40], data, False


def settle_hold_off(rng, make):
    """Draws settings until the hold-off is short, but for one in ten."""
    while True:
        description, data, folder = make(rng)
        if folder or decode_time(data) <= 1000 or rng.random() < 0.1:
            return description, data, folder


def seeded(seed):
    return random.Random(seed)
