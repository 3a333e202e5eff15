#!/usr/bin/env python3
"""Makes the sample melodies in samples/: public-domain tunes sung on "ooh".

Each tune below is written out as notes. It is rendered with FluidSynth through the General MIDI
"Voice Oohs" (program 53) of the FluidR3 GM SoundFont, with a singer's vibrato (5-6 Hz, about
±25 cents, starting a moment into each long note by the pitch wheel), small timing, tuning and
loudness variations from a fixed seed per tune, and then made mono, band-limited to 6 kHz (an
"ooh" has little above it, and the files shrink by a third), given a small room and normalised
to -1 dBFS by SoX. The results are 16-bit FLAC files at 22050 Hz.

Everything is fixed (seeds, SoundFont, no dither, FluidSynth's own reverb and chorus off), so the
same tool versions give the same bytes. Made with FluidSynth 2.3.1, SoX 14.4.2 and the
FluidR3_GM.sf2 of Debian 12's fluid-soundfont-gm; other versions give slightly different audio.

With --check CANTOVA each sample is transcribed by `CANTOVA transcribe` and compared with the
notes written here: notes found, notes matched (same MIDI note, onset within ±50 ms, as the
transcription scorer counts them), and how close the sequence of pitches comes to the tune.

Usage: make_samples.py [--out DIR] [--soundfont PATH] [--check CANTOVA]
Needs python3, the fluidsynth and sox programs and fluid-soundfont-gm.
"""

import argparse
import math
import os
import random
import struct
import subprocess
import sys
import tempfile
import zlib
from fractions import Fraction

HERE = os.path.dirname(os.path.abspath(__file__))
RATE = 22050
VOICE_OOHS = 53  # General MIDI program, counted from 0
LEAD_IN = 0.5  # seconds of silence before the first note
TAIL = 1.2  # seconds kept after the last note for the room to die away
MIDI_DIVISION = 960  # ticks per quarter note at the MIDI file's fixed 120 bpm: 1920 per second


class Tune:
    """A tune as notes: "NOTE:BEATS" words (NOTE like C4, F#4, Bb4, or r for a rest; BEATS a
    number of beats such as 1, 0.5, 1.5) in bars separated by "|". The first bar may be a
    pickup; every other bar holds the meter's beats."""

    def __init__(self, name, title, origin, key, meter, bpm, notes):
        self.name, self.title, self.origin = name, title, origin
        self.key, self.meter, self.bpm = key, meter, bpm
        self.bars = [bar.split() for bar in notes.split("|")]
        for i, bar in enumerate(self.bars[1:], start=2):
            beats = sum(Fraction(word.split(":")[1]) for word in bar)
            if beats != meter[0]:
                raise ValueError(f"{name}: bar {i} holds {beats} beats, not {meter[0]}")

    def notes(self):
        """(onset s, duration s, MIDI note) of every note, rests left out."""
        beat = 60.0 / self.bpm
        t = LEAD_IN
        out = []
        for bar in self.bars:
            for word in bar:
                pitch, beats = word.split(":")
                length = float(Fraction(beats)) * beat
                if pitch != "r":
                    out.append((t, length, midi_note(pitch)))
                t += length
        return out


TUNES = [
    Tune("ode-to-joy", "Ode to Joy", "Ludwig van Beethoven, Symphony No. 9, 1824",
         "D major", (4, 4), 126,
         "F#4:1 F#4:1 G4:1 A4:1 | A4:1 G4:1 F#4:1 E4:1 | D4:1 D4:1 E4:1 F#4:1 |"
         "F#4:1.5 E4:0.5 E4:2 | F#4:1 F#4:1 G4:1 A4:1 | A4:1 G4:1 F#4:1 E4:1 |"
         "D4:1 D4:1 E4:1 F#4:1 | E4:1.5 D4:0.5 D4:2"),
    Tune("twinkle-twinkle", "Twinkle, Twinkle, Little Star", "French melody, 1761",
         "F major", (4, 4), 120,
         "F4:1 F4:1 C5:1 C5:1 | D5:1 D5:1 C5:2 | Bb4:1 Bb4:1 A4:1 A4:1 | G4:1 G4:1 F4:2 |"
         "C5:1 C5:1 Bb4:1 Bb4:1 | A4:1 A4:1 G4:2 | C5:1 C5:1 Bb4:1 Bb4:1 | A4:1 A4:1 G4:2"),
    Tune("frere-jacques", "Frère Jacques", "French round, 18th century",
         "G major", (4, 4), 120,
         "G4:1 A4:1 B4:1 G4:1 | G4:1 A4:1 B4:1 G4:1 | B4:1 C5:1 D5:2 | B4:1 C5:1 D5:2 |"
         "D5:0.5 E5:0.5 D5:0.5 C5:0.5 B4:1 G4:1 | D5:0.5 E5:0.5 D5:0.5 C5:0.5 B4:1 G4:1 |"
         "G4:1 D4:1 G4:2 | G4:1 D4:1 G4:2"),
    Tune("amazing-grace", "Amazing Grace", "hymn tune \"New Britain\", 1829",
         "G major", (3, 4), 84,
         "D4:1 | G4:2 B4:0.5 G4:0.5 | B4:2 A4:1 | G4:2 E4:1 | D4:2 D4:1 |"
         "G4:2 B4:0.5 G4:0.5 | B4:2 A4:1 | D5:3"),
    Tune("greensleeves", "Greensleeves", "English ballad, 16th century",
         "A minor", (3, 4), 112,
         "A4:1 | C5:2 D5:1 | E5:1.5 F5:0.5 E5:1 | D5:2 B4:1 | G4:1.5 A4:0.5 B4:1 |"
         "C5:1.5 B4:0.5 A4:1 | G#4:1.5 F#4:0.5 G#4:1 | A4:3"),
]


def midi_note(name):
    """"C4" is 60; "F#4", "Bb3" and the like."""
    letter, rest = name[0], name[1:]
    pitch = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}[letter]
    while rest and rest[0] in "#b":
        pitch += 1 if rest[0] == "#" else -1
        rest = rest[1:]
    return pitch + 12 * (int(rest) + 1)


def varlen(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def bend_bytes(cents):
    """Pitch wheel message for a bend in cents (the wheel's range is set to ±2 semitones)."""
    value = max(0, min(16383, 8192 + round(cents / 200.0 * 8192)))
    return bytes([0xE0, value & 0x7F, value >> 7])


def sung_events(tune):
    """The MIDI events of a sung tune: (seconds, order, message bytes)."""
    rng = random.Random(zlib.crc32(tune.name.encode()))
    events = [
        (0.0, 0, bytes([0xC0, VOICE_OOHS])),
        # Pitch wheel range: RPN 0 = 2 semitones, then the RPN is closed again.
        (0.0, 1, bytes([0xB0, 101, 0, 0xB0, 100, 0, 0xB0, 6, 2, 0xB0, 38, 0,
                        0xB0, 101, 127, 0xB0, 100, 127])),
        (0.0, 2, bytes([0xB0, 7, 110])),
    ]
    notes = tune.notes()
    for i, (onset, length, note) in enumerate(notes):
        # A singer: onsets a little early or late, notes a little off pitch, a breath between
        # notes, a longer one before the same note again (sung anew, not held on).
        repeated = i + 1 < len(notes) and notes[i + 1][2] == note
        start = onset + rng.uniform(-0.012, 0.012)
        end = onset + length - (0.12 if repeated else 0.07)
        detune = rng.uniform(-8.0, 8.0)
        velocity = rng.randint(84, 104)
        rate = rng.uniform(5.0, 6.0)
        events.append((start, 3, bend_bytes(detune)))
        events.append((start, 5, bytes([0x90, note, velocity])))
        t = start + 0.01
        while t < end:
            # Vibrato grows in from 0.2 s to 0.45 s into the note.
            depth = 25.0 * min(1.0, max(0.0, (t - start - 0.2) / 0.25))
            phase = 2 * math.pi * rate * (t - start)
            events.append((t, 4, bend_bytes(detune + depth * math.sin(phase))))
            t += 0.012
        events.append((end, 2, bytes([0x80, note, 0])))
    return events


def write_midi(path, events, end):
    ticks_per_second = MIDI_DIVISION * 2
    track = bytearray(b"\x00\xff\x51\x03" + struct.pack(">I", 500000)[1:])  # 120 bpm
    now = 0
    for seconds, _, data in sorted(events, key=lambda e: (e[0], e[1])):
        tick = max(now, round(seconds * ticks_per_second))
        # Several messages may share one event time; each is written with its own delta.
        for i in range(0, len(data), 3):
            track += varlen(tick - now if i == 0 else 0) + data[i:i + 3]
        now = tick
    track += varlen(max(0, round(end * ticks_per_second) - now)) + b"\xff\x2f\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, MIDI_DIVISION))
        f.write(b"MTrk" + struct.pack(">I", len(track)) + track)


def render(tune, out_dir, soundfont, work):
    notes = tune.notes()
    end = notes[-1][0] + notes[-1][1]
    mid = os.path.join(work, tune.name + ".mid")
    raw = os.path.join(work, tune.name + ".wav")
    flac = os.path.join(out_dir, tune.name + ".flac")
    write_midi(mid, sung_events(tune), end + TAIL)
    # Float output needs no dither; FluidSynth's reverb and chorus are off, SoX adds the room.
    subprocess.run(["fluidsynth", "-ni", "-q", "-R", "0", "-C", "0", "-g", "0.5",
                    "-o", "audio.file.format=float", "-F", raw, "-r", "44100", soundfont, mid],
                   check=True, stdout=subprocess.DEVNULL)
    length = end + TAIL
    subprocess.run(["sox", "-D", "-V1", raw, "-c", "1", "-r", str(RATE), "-b", "16", "-C", "8",
                    flac, "sinc", "-6000", "reverb", "22", "50", "40", "100", "8", "-4",
                    "trim", "0", f"{length:.3f}", "fade", "t", "0", f"{length:.3f}", "0.5",
                    "gain", "-n", "-1"], check=True)
    return flac


def write_readme(out_dir):
    lines = ["Sample melodies for trying out song making: open one as an audio file, then",
             "Make Song. Public-domain tunes sung on \"ooh\" (a General MIDI voice with",
             "vibrato, in a small room), mono FLAC at 22050 Hz. Made by tools/make-samples.",
             ""]
    for tune in TUNES:
        lines.append(f"{tune.name}.flac: {tune.title} ({tune.origin}); {tune.key}, "
                     f"{tune.meter[0]}/{tune.meter[1]}, {tune.bpm} bpm, "
                     f"{len(tune.notes())} notes")
    with open(os.path.join(out_dir, "README.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


def similarity(a, b):
    """1 - edit distance / longer length of two pitch sequences."""
    previous = list(range(len(b) + 1))
    for i, x in enumerate(a, start=1):
        row = [i]
        for j, y in enumerate(b, start=1):
            row.append(min(previous[j] + 1, row[j - 1] + 1, previous[j - 1] + (x != y)))
        previous = row
    return 1.0 - previous[-1] / max(len(a), len(b), 1)


def check(out_dir, cantova):
    sys.path.insert(0, os.path.join(HERE, "..", "transcription-score"))
    import midifile
    from score import match
    print(f"{'sample':18s} {'notes':>5s} {'found':>5s} {'match':>5s} {'pitch seq':>9s}")
    for tune in TUNES:
        truth = [(onset, note) for onset, _, note in tune.notes()]
        with tempfile.TemporaryDirectory() as work:
            mid = os.path.join(work, "out.mid")
            subprocess.run([cantova, "transcribe", os.path.join(out_dir, tune.name + ".flac"),
                            mid], check=True, stdout=subprocess.DEVNULL)
            found = sorted(midifile.read_notes(mid))
        seq = similarity([n for _, n in truth], [n for _, n in found])
        print(f"{tune.name:18s} {len(truth):5d} {len(found):5d} {match(truth, found):5d} "
              f"{seq:9.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", default=os.path.join(HERE, "..", "..", "samples"))
    parser.add_argument("--soundfont", default="/usr/share/sounds/sf2/FluidR3_GM.sf2")
    parser.add_argument("--check", metavar="CANTOVA",
                        help="transcribe the samples with this program instead of making them")
    args = parser.parse_args()
    if args.check:
        check(args.out, args.check)
        return
    os.makedirs(args.out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        for tune in TUNES:
            flac = render(tune, args.out, args.soundfont, work)
            print(f"made {os.path.relpath(flac)} ({os.path.getsize(flac) // 1024} KB)")
    write_readme(args.out)


if __name__ == "__main__":
    main()
