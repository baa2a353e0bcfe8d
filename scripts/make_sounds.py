#!/usr/bin/env python3
"""Generate Norza's three sounds as WAV files.

Usage:
    make_sounds.py OUTDIR    write typed.wav, not_typed.wav and duplicate.wav

Standard library only; the output is byte-identical on every run. Each sound
is 16-bit mono PCM at 22050 Hz, well under half a second, made of sine
pulses whose ends are faded over a few milliseconds so they do not click:

    typed       one short high tone: a good read
    not_typed   three low pulses: something went wrong
    duplicate   two quick mid tones, the second lower: seen before
"""

import math
import os
import struct
import sys
import wave

RATE = 22050
PEAK = 0.6 * 32767   # loud enough on a shop floor, with headroom
FADE = 0.004         # seconds faded in and out at each pulse's ends

# Each sound: (frequency in Hz or 0 for silence, seconds) in order.
SOUNDS = {
    "typed": [(1800, 0.08)],
    "not_typed": [(330, 0.09), (0, 0.05), (330, 0.09), (0, 0.05), (330, 0.09)],
    "duplicate": [(1200, 0.07), (0, 0.04), (880, 0.09)],
}


def samples(parts):
    out = []
    for freq, seconds in parts:
        n = int(round(seconds * RATE))
        fade = int(FADE * RATE)
        for i in range(n):
            if not freq:
                out.append(0)
                continue
            envelope = min(1.0, i / fade, (n - 1 - i) / fade)
            out.append(int(round(PEAK * envelope * math.sin(2 * math.pi * freq * i / RATE))))
    return out


def write(path, parts):
    data = samples(parts)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(data), *data))


def main(argv):
    if len(argv) != 1:
        sys.stderr.write(__doc__)
        return 2
    os.makedirs(argv[0], exist_ok=True)
    for name, parts in SOUNDS.items():
        write(os.path.join(argv[0], name + ".wav"), parts)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
