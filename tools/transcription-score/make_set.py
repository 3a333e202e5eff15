#!/usr/bin/env python3
"""Makes the transcription test set: melodies with their true notes, as WAV files.

Kinds of sound: FluidSynth renderings of the GM SoundFont (voice oohs, flute, clarinet,
whistle; with vibrato from the modulation wheel, detuned by the pitch wheel, and with
background noise) and synthetic tones (sox sawtooth notes; voice-like harmonic tones with
vibrato, with detuning, with background noise). Each item NAME.wav comes with NAME.truth,
one "onset-seconds midi-note offset-seconds" line per note.

Usage: make_set.py OUTPUT_DIR [--soundfont PATH]
Needs the fluidsynth and sox programs.
"""

import argparse
import math
import os
import random
import struct
import subprocess
import wave

import midifile

RATE = 22050
MELODIES_PER_KIND = 3
MAJOR = [0, 2, 4, 5, 7, 9, 11]

# GM programs (0-based)
OOHS, FLUTE, CLARINET, WHISTLE = 53, 73, 71, 78


def melody(seed, low=57, high=79):
    """About 14 notes of a major scale: (onset, duration, note, velocity)."""
    rng = random.Random(seed)
    tonic = rng.choice([0, 2, 5, 7, 9])
    pitches = [p for p in range(low, high + 1) if (p - tonic) % 12 in MAJOR]
    notes = []
    t = 0.3
    index = rng.randrange(len(pitches))
    for _ in range(14):
        index = max(0, min(len(pitches) - 1, index + rng.choice([-3, -2, -1, 1, 1, 2, 3])))
        duration = rng.uniform(0.25, 0.7)
        notes.append((round(t, 4), round(duration, 4), pitches[index], rng.randint(70, 110)))
        t += duration + rng.choice([0.0, 0.05, 0.1, 0.15])
    return notes


def write_wav(path, samples, rate=RATE):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32767))
                               for s in samples))


def write_truth(path, notes):
    with open(path, "w") as f:
        for onset, duration, note, _ in notes:
            f.write(f"{onset:.4f} {note} {onset + duration:.4f}\n")


def voice(notes, vibrato=0.0, detune=0.0, jitter=0.0, seed=0):
    """Harmonic tones (8 harmonics, 6 dB per octave) with 15 ms fades, optional vibrato
    (semitones at 5.5 Hz), global detune and per-note random detune (semitones)."""
    rng = random.Random(seed)
    end = notes[-1][0] + notes[-1][1] + 0.5
    out = [0.0] * int(end * RATE)
    for onset, duration, note, velocity in notes:
        pitch = note + detune + rng.uniform(-jitter, jitter)
        amplitude = 0.25 * velocity / 127.0
        start = int(onset * RATE)
        count = int(duration * RATE)
        phase = 0.0
        rate = rng.uniform(5.0, 6.0)
        for i in range(count):
            t = i / RATE
            f = 440.0 * 2 ** ((pitch + vibrato * math.sin(2 * math.pi * rate * t) - 69) / 12)
            fade = min(1.0, t / 0.015, (duration - t) / 0.015)
            s = 0.0
            for h in range(1, 9):
                if h * f < RATE / 2:
                    s += math.sin(h * phase) / h
            out[start + i] += amplitude * fade * s / 2.7
            phase += 2 * math.pi * f / RATE
    return out


def add_noise(path, level):
    """Mixes pink noise `level` (linear) into a WAV file with sox."""
    noisy = path + ".noisy.wav"
    noise = path + ".noise.wav"
    duration = subprocess.run(["soxi", "-D", path], capture_output=True, text=True,
                              check=True).stdout.strip()
    subprocess.run(["sox", "-n", "-r", str(RATE), "-c", "1", noise, "synth", duration,
                    "pinknoise", "vol", str(level)], check=True)
    subprocess.run(["sox", "-m", path, noise, noisy], check=True)
    os.replace(noisy, path)
    os.remove(noise)


def render(out, name, notes, program, soundfont, bend=0.0, vibrato=0):
    mid = os.path.join(out, name + ".mid")
    wav = os.path.join(out, name + ".wav")
    midifile.write_melody(mid, notes, program=program, bend_cents=bend, vibrato=vibrato)
    subprocess.run(["fluidsynth", "-ni", "-q", "-F", wav + ".44k.wav", "-r", "44100", soundfont,
                    mid], check=True, stdout=subprocess.DEVNULL)
    # Mono at the set's rate, so every item reads alike.
    subprocess.run(["sox", wav + ".44k.wav", "-r", str(RATE), "-c", "1", wav], check=True)
    os.remove(wav + ".44k.wav")
    os.remove(mid)
    return wav


def sox_tones(out, name, notes):
    """Sawtooth notes made by sox, each with the silence before it, joined end to end."""
    wav = os.path.join(out, name + ".wav")
    parts = []
    t = 0.0
    for i, (onset, duration, note, _) in enumerate(notes):
        part = os.path.join(out, f"{name}.part{i:02d}.wav")
        f = 440.0 * 2 ** ((note - 69) / 12)
        gap = max(0.0, onset - t)
        subprocess.run(["sox", "-n", "-r", str(RATE), "-c", "1", part, "synth", f"{duration:.4f}",
                        "sawtooth", f"{f:.3f}", "fade", "h", "0.01", f"{duration:.4f}", "0.01",
                        "pad", f"{gap:.4f}", "0", "vol", "0.3"], check=True)
        parts.append(part)
        t = onset + duration
    subprocess.run(["sox"] + parts + [wav], check=True)
    for part in parts:
        os.remove(part)
    return wav


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out")
    parser.add_argument("--soundfont", default="/usr/share/sounds/sf2/FluidR3_GM.sf2")
    parser.add_argument("--truth-only", action="store_true",
                        help="rewrite the .truth files of an existing set, leave the audio")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    kinds = {
        "fluid-oohs": lambda n, nm: render(args.out, nm, n, OOHS, args.soundfont),
        "fluid-flute": lambda n, nm: render(args.out, nm, n, FLUTE, args.soundfont),
        "fluid-clarinet": lambda n, nm: render(args.out, nm, n, CLARINET, args.soundfont),
        "fluid-whistle": lambda n, nm: render(args.out, nm, n, WHISTLE, args.soundfont),
        "fluid-vibrato": lambda n, nm: render(args.out, nm, n, FLUTE, args.soundfont, vibrato=90),
        "fluid-detuned": lambda n, nm: render(args.out, nm, n, CLARINET, args.soundfont,
                                              bend=30.0),
        "fluid-noise": lambda n, nm: (render(args.out, nm, n, OOHS, args.soundfont),
                                      add_noise(os.path.join(args.out, nm + ".wav"), 0.02)),
        "sox-tones": lambda n, nm: sox_tones(args.out, nm, n),
        "tone-vibrato": lambda n, nm: write_wav(os.path.join(args.out, nm + ".wav"),
                                                voice(n, vibrato=0.6, seed=hash(nm) & 0xFFFF)),
        "tone-detuned": lambda n, nm: write_wav(os.path.join(args.out, nm + ".wav"),
                                                voice(n, detune=0.35, jitter=0.1, seed=len(nm))),
        "tone-noise": lambda n, nm: (write_wav(os.path.join(args.out, nm + ".wav"), voice(n)),
                                     add_noise(os.path.join(args.out, nm + ".wav"), 0.03)),
    }
    seed = 1
    for kind, make in kinds.items():
        for i in range(MELODIES_PER_KIND):
            name = f"{kind}-{i + 1}"
            notes = melody(seed)
            seed += 1
            if not args.truth_only:
                make(notes, name)
            write_truth(os.path.join(args.out, name + ".truth"), notes)
            print("made", name)


if __name__ == "__main__":
    main()
