#!/usr/bin/env python3
"""Writes examples/drift.wav: 3 s of a 1 kHz tone at 22050 Hz, mono, 16-bit, played as a worn
tape would play it: the speed sags slowly (-0.5 % over the file) and wobbles 0.8 times a second
(wow of +-0.4 %). Deterministic: the same bytes on every run."""
import math
import struct
import sys

RATE = 22050
SECONDS = 3
BASE = 1000.0


def frequency(t):
    drift = 1.0 - 0.005 * t / SECONDS
    wow = 1.0 + 0.004 * math.sin(2 * math.pi * 0.8 * t)
    return BASE * drift * wow


def main(path):
    phase = 0.0
    samples = []
    for i in range(RATE * SECONDS):
        samples.append(int(round(12000 * math.sin(phase))))
        phase += 2 * math.pi * frequency(i / RATE) / RATE
    data = struct.pack("<%dh" % len(samples), *samples)
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(data)) + data
    with open(path, "wb") as out:
        out.write(b"RIFF" + struct.pack("<I", len(body)) + body)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "examples/drift.wav")
