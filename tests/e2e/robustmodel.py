"""What Norza must make of any input, worked out apart from the program:
random decode texts and settings files, and the text each decode logs, the
switches and output options typeSet.ini gives and the hold-off
configDecodeTime.ini gives.

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
import random
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


def decode_payload(rng, kind):
    """Random bytes of one kind of decode; None for a NULL pointer."""
    if kind == "NULL pointer":
        return None
    if kind == "empty":
        return b""
    if kind == "64 KB":
        shape = rng.randrange(3)
        if shape == 0:
            return bytes(rng.randrange(0x20, 0x7F) for _ in range(65536))
        if shape == 1:
            return bytes(rng.randrange(1, 256) for _ in range(65536))
        return ("".join(rng.choice(HANZI) for _ in range(21845)) + "a").encode("utf-8")
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
    sections = parse_profile(profile_units(data))
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
# value leaves the key at its default.
OUTPUT_KEYS = ("Prefix", "Suffix", "KeyDelay", "RepeatWindow", "GS", "RS", "EOT")
CONTROLS = {"GS": "\x1d", "RS": "\x1e", "EOT": "\x04"}
ESCAPES = {"{TAB}": "\t", "{ENTER}": "\r", "{GS}": "\x1d", "{RS}": "\x1e", "{EOT}": "\x04",
           "{{": "{", "}}": "}"}
OUTPUT_VALUES = {
    "text": ["", "a", "x1", "{TAB}", "{enter}", "{Tab}{ENTER}", "{{", "}}", "-{TAB}-", "{gs}",
             "\" b \"", "'q'", "{X}", "{", "}", "a{TAB", "{ TAB}", "{}", "b\0{X}"],
    "KeyDelay": ["0", "5", "20", "40", "200", "201", "-1", "x", "1.5", "", "+3", "07",
                 "99999999999"],
    # Far from the gap between two decodes either way: 1 ms always passed,
    # 30 s never.
    "RepeatWindow": ["0", "1", "30000", "60000", "60001", "-5", "x", "", "2e3", "\"60000\""],
}


def expand_escapes(value):
    out, i = "", 0
    while i < len(value):
        if value[i] not in "{}":
            out += value[i]
            i += 1
            continue
        name = next((n for n in ESCAPES if value[i:i + len(n)].upper() == n), None)
        if name is None:
            return None
        out += ESCAPES[name]
        i += len(name)
    return out


def output_number(value, top):
    if value is None or not 1 <= len(value) <= 9 or any(c not in "0123456789" for c in value):
        return 0
    return int(value) if int(value) <= top else 0


def output_options(data):
    """The output options the program takes from typeSet.ini: prefix, suffix
    (None: not set), key_delay, repeat_window and controls (character: None
    to keep it, else what replaces it). None when a value holds a character
    outside ASCII, whose typing cannot be told here."""
    values = {key: None for key in OUTPUT_KEYS}
    if data is not None:
        sections = parse_profile(profile_units(data))
        for key in OUTPUT_KEYS:
            units = profile_lookup(sections, "OUTPUT", key, 1024)
            if units is not None and any(u >= 0x80 for u in units):
                return None
            values[key] = None if units is None else "".join(map(chr, units))
    texts = {key: None if values[key] is None else expand_escapes(values[key])
             for key in ("Prefix", "Suffix") + tuple(CONTROLS)}
    return {"prefix": texts["Prefix"] or "", "suffix": texts["Suffix"],
            "key_delay": output_number(values["KeyDelay"], 200),
            "repeat_window": output_number(values["RepeatWindow"], 60000),
            "controls": {ch: texts[key] for key, ch in CONTROLS.items()}}


def typed_text(options, enter, text):
    """The characters a decode of the text (ASCII) types: Tab and Enter keys
    as their characters."""
    text = "".join(ch if options["controls"].get(ch) is None else options["controls"][ch]
                   for ch in text)
    suffix = options["suffix"]
    return options["prefix"] + text + (("\r" if enter else "") if suffix is None else suffix)


def output_lines(rng):
    ascii_blanks = [b for b in BLANKS if b.isascii()]
    lines = [rng.choice(ascii_blanks) + rng.choice(["[OUTPUT]", "[output]", "[ Output ]"])]
    for key in OUTPUT_KEYS:
        if rng.random() < 0.6:
            pool = OUTPUT_VALUES.get(key, OUTPUT_VALUES["text"])
            name = rng.choice([key, key, key.lower(), key + "\0x", key[0] + " " + key[1:]])
            lines.append(rng.choice(ascii_blanks) + name + "=" + rng.choice(pool) +
                         rng.choice(ascii_blanks))
    return lines


def random_type_set(rng, huge_mb=2):
    """(description, bytes or None for no file, True to make it a folder),
    drawn again until what it gives can be told."""
    while True:
        description, data, folder = any_type_set(rng, huge_mb)
        if folder or (type_flags(data) is not None and output_options(data) is not None):
            return description, data, folder


def any_type_set(rng, huge_mb):
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
    if rng.random() < 0.6:
        at = rng.randrange(len(lines) + 1) if rng.random() < 0.3 else len(lines)
        lines[at:at] = output_lines(rng)
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
    description = "%s, %s line ends, %d lines%s" % (
        encoding, {"\n": "LF", "\r\n": "CR LF", "\r": "CR", None: "mixed"}[eol], len(lines),
        ", %d MB" % (len(data) // 2 ** 20) if huge else "")
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
