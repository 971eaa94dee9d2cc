"""What the disk audio driver wrote, read back: raw 16-bit little-endian
stereo at 44.1 kHz. Pure python and only over excerpts, so a test stays
fast: the tone in each 50 ms window comes from counting zero crossings of
the left channel, and runs of windows with the same tone are the tracks
that were heard."""

import array
import os
import sys

RATE = 44100
WINDOW = RATE // 20          # 50 ms
SILENCE = 300                # peak below this: silence


def read_left(path):
    samples = array.array("h")
    with open(path, "rb") as f:
        data = f.read()
    samples.frombytes(data[:len(data) // 4 * 4])
    if sys.byteorder != "little":
        samples.byteswap()
    return samples[0::2]


def window_tone(left, start):
    """Dominant frequency of one window (0 for silence)."""
    part = left[start:start + WINDOW]
    if not part or max(abs(min(part)), max(part)) < SILENCE:
        return 0.0
    # Every 4th sample (11 kHz) still sees the library's tones (up to 1.8 kHz).
    part = part[::4]
    crossings = sum(1 for a, b in zip(part, part[1:]) if (a < 0) != (b < 0))
    return crossings * RATE / (2.0 * 4 * len(part))


def tones(path):
    """[(frequency, seconds)] of the runs of one tone, silence left out.
    Runs shorter than 150 ms (the edges of a track) are dropped; runs of
    one tone less than 200 ms apart count as one."""
    left = read_left(path)
    runs = []
    for start in range(0, len(left) - WINDOW, WINDOW):
        f = window_tone(left, start)
        if runs and (abs(runs[-1][0] - f) <= max(15.0, 0.03 * f)):
            runs[-1][1] += 1
            runs[-1][2] = runs[-1][2] * 0.9 + f * 0.1 if f else 0.0
        else:
            runs.append([f, 1, f])
    result = []
    gap = 0.0  # seconds since the last kept run
    for f, count, _ in runs:
        seconds = count * WINDOW / RATE
        if f <= 0 or seconds < 0.15:
            gap += seconds
            continue
        if result and gap < 0.2 and abs(result[-1][0] - f) <= max(15.0, 0.03 * f):
            result[-1] = (result[-1][0], result[-1][1] + seconds)
        else:
            result.append((f, seconds))
        gap = 0.0
    return result


def size_seconds(path):
    return os.path.getsize(path) / (RATE * 4.0) if os.path.exists(path) else 0.0
