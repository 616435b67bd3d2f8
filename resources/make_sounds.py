#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Synthesises the program's feedback sounds into sound/ beside this script.

Every sound is 16-bit mono PCM at 22050 Hz, a few tenths of a second long. Each note has a
short fade-in and a longer fade-out so that it starts and stops without a click.
Run again after changing a sound; the output is the same on every run.
"""

import math
import os
import struct
import wave

RATE = 22050
PEAK = 0.55 * 32767  # headroom, so overlapping notes never clip
ATTACK = 0.008  # seconds


def note(start_hz, length, end_hz=None, volume=1.0, overtone=0.25):
    """One note as a list of floats in [-1, 1]: a sine gliding from start_hz to end_hz,
    with a quieter second harmonic for some warmth and a fade-in/fade-out envelope."""
    end_hz = start_hz if end_hz is None else end_hz
    count = int(RATE * length)
    samples = []
    phase = 0.0
    for i in range(count):
        t = i / RATE
        hz = start_hz + (end_hz - start_hz) * (i / count)
        phase += 2 * math.pi * hz / RATE
        attack = min(1.0, t / ATTACK)
        # Exponential-ish decay that reaches exactly zero at the last sample.
        remaining = (count - 1 - i) / (count - 1)
        release = remaining * math.exp(-3.0 * (1 - remaining))
        value = math.sin(phase) + overtone * math.sin(2 * phase)
        samples.append(volume * attack * release * value / (1 + overtone))
    return samples


def sequence(*parts):
    """Notes laid out in time: each part is (offset in seconds, samples); overlaps are mixed."""
    length = max(int(offset * RATE) + len(samples) for offset, samples in parts)
    mix = [0.0] * length
    for offset, samples in parts:
        first = int(offset * RATE)
        for i, value in enumerate(samples):
            mix[first + i] += value
    top = max(1.0, max(abs(v) for v in mix))
    return [v / top for v in mix]


SOUNDS = {
    # A record added: a short bright upward chirp.
    "add.wav": lambda: note(660, 0.16, 990),
    # A record deleted: a short downward chirp.
    "del.wav": lambda: note(700, 0.18, 420),
    # Favourites: two close high notes, a "ding-ding".
    "fav.wav": lambda: sequence((0.0, note(1175, 0.14)), (0.09, note(1568, 0.2))),
    # Restored from the bin: a soft upward fourth.
    "rest.wav": lambda: sequence((0.0, note(523, 0.12)), (0.08, note(698, 0.18))),
    # Search: a quick sweep up and back, like a sonar ping.
    "Search.wav": lambda: sequence((0.0, note(880, 0.1, 1320, overtone=0.1)),
                                   (0.1, note(1320, 0.16, 1100, overtone=0.1))),
    # One download finished: a two-note chime, a major third up.
    "done.wav": lambda: sequence((0.0, note(784, 0.18)), (0.12, note(988, 0.26))),
    # The whole queue finished: a rising three-note chime (C major triad).
    "alldone.wav": lambda: sequence((0.0, note(523, 0.2)), (0.13, note(659, 0.2)),
                                    (0.26, note(784, 0.3))),
    # Stopped or failed: a low descending tone.
    "STOP.wav": lambda: note(330, 0.4, 165, overtone=0.4),
}


def write_wav(path, samples):
    frames = b"".join(struct.pack("<h", round(PEAK * v)) for v in samples)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sound")
    os.makedirs(folder, exist_ok=True)
    for name, make in SOUNDS.items():
        samples = make()
        path = os.path.join(folder, name)
        write_wav(path, samples)
        print(f"{name}: {len(samples) / RATE:.3f} s, {os.path.getsize(path)} bytes")


if __name__ == "__main__":
    main()
