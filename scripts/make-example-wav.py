#!/usr/bin/env python3
"""Writes examples/drift.wav: 3 s of a 1 kHz tone at 22050 Hz, mono, 16-bit, played as a worn
tape would play it: the speed sags slowly (-0.5 % over the file) and wobbles 0.8 times a second
(wow of +-0.4 %). Deterministic: the same bytes on every run."""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wavfile  # noqa: E402

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
    wavfile.write(path, RATE, 16, samples)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "examples/drift.wav")
