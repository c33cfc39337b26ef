#!/usr/bin/env python3
"""Writes the example recordings. Deterministic: the same bytes on every run.

    scripts/make-example-wav.py [PATH]            examples/drift.wav, or PATH
    scripts/make-example-wav.py --test-tape PATH  a test tape as a deck plays it
    scripts/make-example-wav.py --turntable PATH  a test record as a turntable plays it

drift.wav: 3 s of a 1 kHz tone at 22050 Hz, mono, 16-bit, played as a worn tape would play it:
the speed sags slowly (-0.5 % over the file) and wobbles 0.8 times a second (wow of +-0.4 %).

The test tape: 44100 Hz, mono, 16-bit, 40 s: a 1 kHz reference tone (8 s), the 3150 Hz wow and
flutter tone (20 s) and a 10 kHz tone (8 s), with 1 s of silence before, between and after,
played on a deck that runs 0.6 % fast, speeds up by 0.1 % over the tape, and has 0.03 % of wow
at 0.55 Hz (the capstan), 0.02 % of flutter at 12.5 Hz (a roller) and some random flutter, with
hiss 50 dB below the tones and a dropout of 20 dB for 150 ms in the 3150 Hz tone.

The test record: 48000 Hz, mono, 16-bit, 40 s of the 3150 Hz band of a 33 1/3 rpm test record
(a turn holds 5670 of its cycles), on a turntable that runs 0.2 % fast, from a pressing whose hole
is off centre (0.04 % of wow once a turn) and which is warped (0.015 % twice a turn), with a belt's
flutter of 0.008 % at 9.6 Hz, some random flutter and surface noise 55 dB below the tone."""
import math
import os
import random
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


def drift_example(path):
    phase = 0.0
    samples = []
    for i in range(RATE * SECONDS):
        samples.append(int(round(12000 * math.sin(phase))))
        phase += 2 * math.pi * frequency(i / RATE) / RATE
    wavfile.write(path, RATE, 16, samples)


def test_tape(path):
    rate = 44100
    noise = random.Random(3150)
    # Random flutter: a few dozen slow sinusoids of random phase between 1 and 40 Hz.
    parts = [(math.exp(noise.uniform(0.0, math.log(40.0))), noise.uniform(0, 2 * math.pi))
             for _ in range(24)]
    length = 40.0
    tones = [(1.0, 9.0, 1000.0), (10.0, 30.0, 3150.0), (31.0, 39.0, 10000.0)]
    samples = []
    phase = 0.0
    for i in range(int(length * rate)):
        t = i / rate
        speed = (1.006 + 0.001 * t / length + 0.0003 * math.sin(2 * math.pi * 0.55 * t)
                 + 0.0002 * math.sin(2 * math.pi * 12.5 * t)
                 + 0.00004 * sum(math.sin(2 * math.pi * f * t + p) for f, p in parts))
        tone = next((f for start, end, f in tones if start <= t < end), None)
        value = noise.gauss(0.0, 0.5 / math.sqrt(2) * 10 ** (-50 / 20))
        if tone is not None:
            phase += 2 * math.pi * tone * speed / rate
            level = 0.1 if 18.0 <= t < 18.15 else 1.0
            value += 0.5 * level * math.sin(phase)
        samples.append(max(-32768, min(32767, int(round(32767 * value)))))
    wavfile.write(path, rate, 16, samples)


def turntable(path):
    rate = 48000
    noise = random.Random(3333)
    parts = [(math.exp(noise.uniform(math.log(2.0), math.log(40.0))), noise.uniform(0, 2 * math.pi))
             for _ in range(16)]
    samples = []
    phase = 0.0
    turns = 0.0
    for i in range(40 * rate):
        t = i / rate
        # The wow of the off-centre hole and of the warp goes with the platter's angle.
        angle = 2 * math.pi * turns
        speed = (1.002 + 0.0004 * math.sin(angle) + 0.00015 * math.sin(2 * angle + 1.0)
                 + 0.00008 * math.sin(2 * math.pi * 9.6 * t)
                 + 0.00003 * sum(math.sin(2 * math.pi * f * t + p) for f, p in parts))
        phase += 2 * math.pi * 3150.0 * speed / rate
        turns += speed * (100.0 / 3.0 / 60.0) / rate
        value = 0.5 * math.sin(phase) + noise.gauss(0.0, 0.5 / math.sqrt(2) * 10 ** (-55 / 20))
        samples.append(max(-32768, min(32767, int(round(32767 * value)))))
    wavfile.write(path, rate, 16, samples)


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--test-tape":
        test_tape(sys.argv[2])
    elif len(sys.argv) == 3 and sys.argv[1] == "--turntable":
        turntable(sys.argv[2])
    else:
        drift_example(sys.argv[1] if len(sys.argv) > 1 else "examples/drift.wav")
