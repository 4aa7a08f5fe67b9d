#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Synthesise the sound effects used by Tarnibe.

Writes trash.wav, new.wav and clock.wav next to this script. The output is
byte-for-byte reproducible: the noise comes from a fixed-seed generator and
nothing depends on the clock or the platform.

Format: RIFF WAVE, 16-bit signed PCM, mono, 22050 Hz. Every file ends in
exactly 0.3 s of digital silence because the audio backend drops roughly the
last 0.1 s of a file; without the pad the tail of each sound would be cut.
"""

import math
import os
import struct
import wave

RATE = 22050
PEAK = 10 ** (-6 / 20)          # -6 dBFS leaves headroom and is not harsh
TAIL_SECONDS = 0.3
TAIL_SAMPLES = round(RATE * TAIL_SECONDS)
EDGE_SECONDS = 0.004            # shortest fade at either end; avoids clicks

HERE = os.path.dirname(os.path.abspath(__file__))


class Noise:
    """Small xorshift generator so the noise is identical on every run."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x / 0x7FFFFFFF - 1.0     # roughly uniform in [-1, 1)


def silence(seconds):
    return [0.0] * round(RATE * seconds)


def mix_into(buf, start, samples):
    """Add samples into buf beginning at index start, growing buf as needed."""
    end = start + len(samples)
    if end > len(buf):
        buf.extend([0.0] * (end - len(buf)))
    for i, s in enumerate(samples):
        buf[start + i] += s


def raised_cosine(n):
    """n-point ramp from 0 to 1 with zero slope at both ends."""
    if n <= 1:
        return [1.0] * n
    return [0.5 - 0.5 * math.cos(math.pi * i / (n - 1)) for i in range(n)]


def shape_edges(buf, fade_in, fade_out):
    """Force the buffer to start and end at exactly zero without a step."""
    a = raised_cosine(max(1, round(RATE * fade_in)))
    for i, g in enumerate(a):
        buf[i] *= g
    b = raised_cosine(max(1, round(RATE * fade_out)))
    n = len(buf)
    for i, g in enumerate(b):
        buf[n - 1 - i] *= g
    buf[0] = 0.0
    buf[-1] = 0.0
    return buf


def normalise(buf, peak=PEAK):
    top = max(abs(s) for s in buf)
    if top == 0:
        return buf
    k = peak / top
    return [s * k for s in buf]


def struck_tone(freq, seconds, partials, decay, attack=0.003):
    """A struck, bell/chime-like tone.

    partials is a list of (frequency ratio, relative level, decay factor);
    higher partials normally die faster, which is what makes a strike sound
    metallic rather than like an organ.
    """
    n = round(RATE * seconds)
    att = max(2, round(RATE * attack))
    ramp = raised_cosine(att)
    out = []
    for i in range(n):
        t = i / RATE
        s = 0.0
        for ratio, level, speed in partials:
            f = freq * ratio
            if f >= RATE / 2:
                continue        # never write anything that would alias
            s += level * math.exp(-t * speed / decay) * math.sin(2 * math.pi * f * t)
        if i < att:
            s *= ramp[i]
        out.append(s)
    # Whatever is left of the ring is faded out, not chopped off.
    for i, g in enumerate(raised_cosine(round(RATE * 0.02))):
        out[n - 1 - i] *= g
    return out


def make_trash():
    """A crumple falling away: band-passed noise whose centre slides down,
    with a grainy amplitude flutter so it reads as paper, not wind."""
    seconds = 0.6
    n = round(RATE * seconds)
    noise = Noise(0x7A5B1)
    flutter = Noise(0x31C07)
    x1 = x2 = y1 = y2 = 0.0
    grain = level = 1.0
    grain_left = 0
    out = []
    for i in range(n):
        t = i / RATE
        p = i / n
        # Exponential glide from 3.2 kHz to 260 Hz sounds like an even fall.
        fc = 3200.0 * (260.0 / 3200.0) ** p
        q = 3.0
        # RBJ band-pass with constant 0 dB peak gain, recomputed per sample
        # so the centre can glide.
        w = 2 * math.pi * fc / RATE
        alpha = math.sin(w) / (2 * q)
        a0 = 1 + alpha
        b0 = alpha / a0
        a1 = -2 * math.cos(w) / a0
        a2 = (1 - alpha) / a0
        x = noise.next()
        y = b0 * (x - x2) - a1 * y1 - a2 * y2
        x2, x1 = x1, x
        y2, y1 = y1, y

        # Crumple: short random-length grains at random levels. The level
        # is glided (about 1.5 ms) rather than stepped so grains never click.
        if grain_left <= 0:
            grain = 0.3 + 0.7 * abs(flutter.next())
            grain_left = 60 + int(abs(flutter.next()) * 260)
        grain_left -= 1
        level += (grain - level) * 0.03

        # A narrower band passes less noise power; make up for it so the
        # fall stays audible to the end instead of vanishing halfway.
        makeup = math.sqrt(3200.0 / fc)
        env = min(1.0, t / 0.015) * math.exp(-t / 0.25)
        out.append(y * env * level * makeup)
    return normalise(shape_edges(out, EDGE_SECONDS, 0.08))


CHIME_PARTIALS = [
    (1.0, 1.00, 1.0),
    (2.0, 0.35, 1.8),
    (3.0, 0.12, 2.6),
    (4.2, 0.05, 4.0),
]


def make_new():
    """Two bright notes a fifth apart, the second one higher: "something new"."""
    buf = []
    mix_into(buf, 0, struck_tone(1046.50, 0.45, CHIME_PARTIALS, 0.16))   # C6
    mix_into(buf, round(RATE * 0.14),
             struck_tone(1567.98, 0.62, CHIME_PARTIALS, 0.20))           # G6
    return normalise(shape_edges(buf, EDGE_SECONDS, 0.06))


BELL_PARTIALS = [
    (1.0, 1.00, 1.0),
    (2.76, 0.45, 1.7),
    (5.40, 0.20, 2.8),
    (0.5, 0.15, 0.6),
]


def make_clock():
    """An alarm clock: three pairs of fast strikes on a small bell."""
    buf = []
    strike = struck_tone(1760.0, 0.30, BELL_PARTIALS, 0.075)
    for pair in range(3):
        base = pair * 0.30
        mix_into(buf, round(RATE * base), strike)
        mix_into(buf, round(RATE * (base + 0.075)), strike)
    return normalise(shape_edges(buf, EDGE_SECONDS, 0.05))


def write_wav(name, samples):
    pcm = [max(-32768, min(32767, int(round(s * 32767)))) for s in samples]
    # The fade-out rounds to a few zero samples; drop them so the silent
    # tail is exactly TAIL_SAMPLES long and not a few samples more.
    while pcm and pcm[-1] == 0:
        pcm.pop()
    pcm.extend([0] * TAIL_SAMPLES)
    data = struct.pack('<%dh' % len(pcm), *pcm)
    path = os.path.join(HERE, name)
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(data)
    return path


def main():
    for name, make in (('trash.wav', make_trash),
                       ('new.wav', make_new),
                       ('clock.wav', make_clock)):
        path = write_wav(name, make())
        print(path)


if __name__ == '__main__':
    main()
