#!/usr/bin/python3
"""Makes the hard transcription test set: sung-like melodies with the faults of real singers.

Every item is a phrase of a synthetic voice: a glottal source (harmonics with a spectral slope
that steepens when soft, jitter and shimmer) shaped by the cascaded formants of a vowel that
changes with every syllable, with aspiration noise, in a small room (sox reverb) over a little pink
noise. On top of that the singer:

- sits 30 to 50 cents off the equal-tempered grid (sharp or flat) on average over the take,
  and drifts up to ±40 cents around that (a slow random walk plus a slow sine);
- misses single notes by up to ±15 cents;
- scoops into many notes from 100 to 200 cents below, reaching the note in 80 to 180 ms;
- sings a vibrato of up to ±50 cents at 4.5 to 6.5 Hz that sets in after the note has started;
- joins notes legato (the pitch glides 30 to 70 ms; the level dips for a voiced consonant
  when a note repeats and at half of the other joins, not at all at the rest), breathes between
  phrases (noise of an in-breath), and starts syllables with consonants: unvoiced ones spoken
  by espeak-ng ([[s]], [[t]], [[k]], [[S]], [[f]], [[h]]) placed before the vowel, voiced ones
  (m, n, l) as a quiet muffled hum at the note's pitch, and some notes fade in without attack.

Groups (the trait each stresses; every item has some of all): drift, scoop, breathy,
legato, low (a low male voice with everything). Each item NAME.wav comes with NAME.truth,
"onset-seconds midi-note offset-seconds" lines; the onset is where voicing of the syllable
starts (the scoop's start, the hum of a voiced consonant), the offset where voicing ends.

Usage: make_hard_set.py OUTPUT_DIR [--per-group N]
Needs python3-numpy, sox and espeak-ng.
"""

import argparse
import os
import random
import subprocess
import wave

import numpy as np

RATE = 22050
MAJOR = [0, 2, 4, 5, 7, 9, 11]

# Formant frequencies and bandwidths (Hz) of sung vowels.
VOWELS = {
    "a": [(800, 80), (1150, 90), (2900, 120), (3900, 130)],
    "e": [(400, 70), (1700, 80), (2600, 100), (3300, 120)],
    "i": [(300, 60), (2200, 90), (2950, 100), (3600, 120)],
    "o": [(450, 70), (800, 80), (2830, 100), (3500, 130)],
    "u": [(325, 60), (700, 70), (2530, 100), (3500, 130)],
}
UNVOICED = ["s", "t", "k", "S", "f", "h"]
VOICED = ["m", "n", "l"]


def espeak_consonant(symbol, cache):
    """An unvoiced consonant spoken by espeak-ng, trimmed of silence, as samples at RATE."""
    if symbol in cache:
        return cache[symbol]
    raw = subprocess.run(["espeak-ng", "--stdout", f"[[{symbol}]]"], check=True,
                         capture_output=True).stdout
    tmp = os.path.join(cache["dir"], f"consonant-{ord(symbol)}.wav")
    trimmed = tmp + ".trim.wav"
    with open(tmp, "wb") as f:
        f.write(raw)
    subprocess.run(["sox", tmp, "-r", str(RATE), "-c", "1", "-b", "16", trimmed, "silence", "1",
                    "0.005", "1%", "reverse", "silence", "1", "0.005", "1%", "reverse"],
                   check=True)
    with wave.open(trimmed) as w:
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(np.float64)
    os.remove(tmp)
    os.remove(trimmed)
    data = data[: int(0.12 * RATE)]  # the consonant, not a whole spoken syllable
    if len(data) < 64:  # nothing above the threshold: a plain noise burst instead
        data = np.array([cache["rng"].gauss(0, 0.3) for _ in range(int(0.05 * RATE))])
    data /= max(1.0, np.max(np.abs(data)))
    cache[symbol] = data
    return data


def melody(rng, low, high, count):
    """Notes of a major scale in phrases: (onset, duration, note, gap-after kind)."""
    tonic = rng.choice(range(12))
    pitches = [p for p in range(low, high + 1) if (p - tonic) % 12 in MAJOR]
    index = rng.randrange(len(pitches))
    notes = []
    t = 0.4
    for i in range(count):
        index = max(0, min(len(pitches) - 1, index + rng.choice([-2, -1, -1, 1, 1, 2, 3, -3, 0])))
        duration = rng.choice([0.3, 0.4, 0.5, 0.6, 0.8, 1.0]) * rng.uniform(0.9, 1.15)
        notes.append([t, duration, pitches[index]])
        t += duration
        if (i + 1) % 5 == 0:
            t += rng.uniform(0.35, 0.7)  # a breath between phrases
        else:
            t += rng.choice([0.0, 0.0, 0.0, 0.04, 0.08, 0.15])
    return notes


def smooth_noise(rng, n, cutoff_samples):
    """Slowly varying noise in −1..1."""
    points = max(2, n // cutoff_samples + 2)
    knots = np.array([rng.uniform(-1, 1) for _ in range(points)])
    return np.interp(np.arange(n) / cutoff_samples, np.arange(points), knots)


def resonate(signal, formants):
    """Runs noise through two-pole resonators in parallel (breath and hum shaping)."""
    out = np.zeros_like(signal)
    for freq, bw in formants[:3]:
        r = np.exp(-np.pi * bw / RATE)
        a1 = -2 * r * np.cos(2 * np.pi * freq / RATE)
        a2 = r * r
        y1 = y2 = 0.0
        y = np.empty_like(signal)
        gain = 1 - r
        for i, x in enumerate(signal):
            v = gain * x - a1 * y1 - a2 * y2
            y[i] = v
            y2, y1 = y1, v
        out += y
    return out


def formant_gain(freqs, formants):
    """Gain of a vowel's vocal tract at the given frequencies: formant resonators in cascade,
    each with unit gain at 0 Hz, as in a cascade formant synthesiser."""
    g = np.ones_like(freqs)
    for fc, bw in formants:
        g *= fc * fc / np.sqrt((fc * fc - freqs * freqs) ** 2 + (freqs * bw) ** 2)
    return g


class Singer:
    def __init__(self, rng, traits, low_voice):
        self.rng = rng
        self.traits = traits
        sign = rng.choice([-1, 1])
        self.offset = sign * rng.uniform(0.30, 0.50)
        self.drift = traits.get("drift", 0.2)
        self.scoop = traits.get("scoop", 0.3)
        self.breath = traits.get("breath", 0.05)
        self.legato = traits.get("legato", 0.3)
        self.consonant = traits.get("consonant", 0.4)
        self.soft_attack = traits.get("soft", 0.2)
        self.vibrato = rng.uniform(0.25, 0.5)
        self.low = low_voice


def sing(singer, notes, cache):
    rng = singer.rng
    end = notes[-1][0] + notes[-1][1] + 0.8
    n = int(end * RATE)
    t = np.arange(n) / RATE
    # Pitch drift over the take: a slow walk plus a slow sine, up to ±0.4 semitone.
    drift = singer.drift * (0.6 * smooth_noise(rng, n, int(2.5 * RATE)) +
                            0.4 * np.sin(2 * np.pi * t / rng.uniform(6, 14) + rng.uniform(0, 6)))
    pitch = np.zeros(n)
    amp = np.zeros(n)
    vowel_of = np.zeros(n, dtype=int)
    vowels = list(VOWELS)
    noise_track = np.zeros(n)
    dip = np.ones(n)
    truth = []
    for i, (onset, duration, note) in enumerate(notes):
        s = int(onset * RATE)
        e = min(n, int((onset + duration) * RATE))
        following = notes[i + 1] if i + 1 < len(notes) else None
        legato_next = following is not None and following[0] - (onset + duration) < 0.01 \
            and rng.random() < singer.legato
        if legato_next:
            e = min(n, int(following[0] * RATE) + int(0.02 * RATE))  # overlaps into the glide
            # The next syllable starts with a voiced consonant (l, m, n): the level dips while
            # the pitch goes on. Always when the note repeats (one voice cannot otherwise sing
            # the same note twice), else half of the time (the rest are vowel-only slurs).
            if following[2] == note or rng.random() < 0.5:
                width = int(rng.uniform(0.05, 0.08) * RATE)
                centre = int((following[0] - 0.02) * RATE)
                shape = 1 - rng.uniform(0.65, 0.8) * np.hanning(width)
                lo = max(0, centre - width // 2)
                dip[lo:lo + width] *= shape[: len(dip[lo:lo + width])]
        local = np.arange(e - s) / RATE
        miss = rng.uniform(-0.15, 0.15)
        target = note + singer.offset + miss
        contour = np.full(e - s, target)
        if rng.random() < singer.scoop:
            depth = rng.uniform(1.0, 2.0)
            reach = rng.uniform(0.08, 0.18)
            contour -= depth * np.exp(-local / (reach / 3))
        # Vibrato sets in after 0.2–0.35 s and grows over 0.3 s.
        rate = rng.uniform(4.5, 6.5)
        start = rng.uniform(0.2, 0.35)
        ramp = np.clip((local - start) / 0.3, 0, 1)
        contour += singer.vibrato * ramp * np.sin(2 * np.pi * rate * local + rng.uniform(0, 6))
        # Legato: the previous note glides into this one over 30–70 ms.
        pitch[s:e] = contour
        # Level: attack (hard or soft), sustain with a slow swell, release.
        level = rng.uniform(0.5, 1.0)
        attack = rng.uniform(0.06, 0.15) if rng.random() < singer.soft_attack else 0.015
        release = 0.06 if not legato_next else 0.0
        env = np.minimum(1.0, local / attack)
        if release > 0:
            env = np.minimum(env, np.clip((local[-1] - local) / release, 0, 1))
        env *= level * (1 + 0.15 * np.sin(2 * np.pi * local / max(0.3, duration)))
        amp[s:e] = np.maximum(amp[s:e], env)
        vowel_of[s:e] = vowels.index(rng.choice(vowels))
        # Consonant before the syllable: unvoiced spoken by espeak-ng, voiced as a hum.
        voiced_onset = onset
        prev_end = notes[i - 1][0] + notes[i - 1][1] if i else 0.0
        if rng.random() < singer.consonant and onset - prev_end > 0.03 or i == 0:
            if rng.random() < 0.65:
                burst = espeak_consonant(rng.choice(UNVOICED), cache)
                room = int(max(0.0, onset - prev_end - 0.01) * RATE)
                burst = burst[-room:] if room < len(burst) else burst
                b0 = max(0, s - len(burst))
                noise_track[b0:s] += 0.5 * level * burst[len(burst) - (s - b0):]
            else:
                hum = int(rng.uniform(0.05, 0.09) * RATE)
                h0 = max(0, s - hum)
                pitch[h0:s] = target - (singer.scoop > 0.5) * 0.5
                amp[h0:s] = 0.25 * level
                vowel_of[h0:s] = vowels.index("u")
                voiced_onset = h0 / RATE
        truth.append((voiced_onset, note, onset + duration))
    # Glides: smooth the pitch over 30–70 ms where notes join, so legato changes are gradual.
    voiced = amp > 0
    width = int(rng.uniform(0.03, 0.07) * RATE)
    kernel = np.ones(width) / width
    padded = np.where(voiced, pitch, np.nan)
    filled = pitch.copy()
    idx = np.where(voiced)[0]
    if len(idx):
        filled[~voiced] = np.interp(np.where(~voiced)[0], idx, pitch[idx])
    smoothed = np.convolve(filled, kernel, mode="same")
    # The drift moves around the singer's offset: over the voiced part of the take it averages
    # to zero, so the take as a whole sits 30 to 50 cents off the grid.
    drift -= np.mean(drift[voiced])
    pitch = np.where(voiced, smoothed, filled) + drift
    del padded
    # Jitter (fast pitch wobble) and shimmer (fast level wobble).
    pitch += 0.04 * smooth_noise(rng, n, int(0.02 * RATE))
    amp *= 1 + 0.08 * smooth_noise(rng, n, int(0.015 * RATE))
    amp *= dip
    amp = np.convolve(amp, np.ones(64) / 64, mode="same")  # no clicks at note edges
    f0 = 440.0 * 2 ** ((pitch - 69) / 12)
    phase = 2 * np.pi * np.cumsum(f0) / RATE
    voice = np.zeros(n)
    # Harmonic amplitudes: the vowel's formants times the source's slope (glottal flow and lip
    # radiation together, −6 dB per octave when loud, steeper when soft).
    formant_table = [VOWELS[v] for v in vowels]
    tilt = 1.0 + 0.8 * (1 - np.clip(amp, 0, 1))  # exponent of 1/h
    for h in range(1, 40):
        fh = h * f0
        alive = fh < RATE / 2 - 500
        if not alive.any():
            break
        gain = np.zeros(n)
        for k, formants in enumerate(formant_table):
            mask = vowel_of == k
            if mask.any():
                gain[mask] = formant_gain(fh[mask], formants)
        voice += alive * gain * h ** (-tilt) * np.sin(h * phase)
    voice *= amp
    # Aspiration: noise shaped like the vowel, stronger for breathy singers, pulsing with the
    # glottal cycle.
    white = np.array([rng.gauss(0, 1) for _ in range(n)])
    breath = resonate(white, VOWELS["a"]) * (0.5 + 0.5 * np.cos(phase)) * amp
    # Aspiration level: about 9 dB below the voice for the breathy singers (breath 0.35), about
    # 26 dB below for the others (0.05), the range of harmonics-to-noise ratios of sung vowels.
    voice /= np.max(np.abs(voice)) + 1e-9
    out = voice + 0.25 * singer.breath * breath / (np.std(breath[voiced]) + 1e-9)
    # In-breaths between phrases.
    for i in range(1, len(notes)):
        gap = notes[i][0] - (notes[i - 1][0] + notes[i - 1][1])
        if gap > 0.3:
            b0 = int((notes[i - 1][0] + notes[i - 1][1] + 0.08) * RATE)
            b1 = int((notes[i][0] - 0.1) * RATE)
            if b1 > b0:
                shape = np.sin(np.linspace(0, np.pi, b1 - b0))
                out[b0:b1] += singer.breath * 2 * white[b0:b1] * shape * 0.1
    out += noise_track
    out /= np.max(np.abs(out)) + 1e-9
    return out * 0.7, truth


def write_wav(path, samples):
    data = (np.clip(samples, -1, 1) * 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(data.tobytes())


def finish_room(path, rng):
    """A small room and a little pink noise, by sox."""
    wet = path + ".room.wav"
    subprocess.run(["sox", path, wet, "reverb", str(rng.randint(15, 35)), "50",
                    str(rng.randint(20, 50)), "gain", "-n", "-3"], check=True)
    duration = subprocess.run(["soxi", "-D", wet], capture_output=True, text=True,
                              check=True).stdout.strip()
    noise = path + ".noise.wav"
    subprocess.run(["sox", "-n", "-r", str(RATE), "-c", "1", noise, "synth", duration,
                    "pinknoise", "vol", str(rng.uniform(0.003, 0.012))], check=True)
    subprocess.run(["sox", "-m", wet, noise, "-c", "1", path, "gain", "-n", "-3"], check=True)
    os.remove(wet)
    os.remove(noise)


GROUPS = {
    "drift": dict(drift=0.4, scoop=0.3, breath=0.05, legato=0.3, consonant=0.4, soft=0.2),
    "scoop": dict(drift=0.2, scoop=0.8, breath=0.05, legato=0.3, consonant=0.6, soft=0.2),
    "breathy": dict(drift=0.25, scoop=0.3, breath=0.35, legato=0.2, consonant=0.5, soft=0.6),
    "legato": dict(drift=0.25, scoop=0.4, breath=0.08, legato=0.9, consonant=0.2, soft=0.4),
    "low": dict(drift=0.4, scoop=0.6, breath=0.2, legato=0.5, consonant=0.5, soft=0.4),
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out")
    parser.add_argument("--per-group", type=int, default=4)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    cache = {"dir": args.out, "rng": random.Random(7)}
    seed = 100
    for group, traits in GROUPS.items():
        for i in range(args.per_group):
            rng = random.Random(seed)
            seed += 1
            low_voice = group == "low" or i % 2 == 1
            singer = Singer(rng, traits, low_voice)
            low, high = (45, 64) if low_voice else (57, 77)
            notes = melody(rng, low, high, 15)
            samples, truth = sing(singer, notes, cache)
            name = f"hard-{group}-{i + 1}"
            wav = os.path.join(args.out, name + ".wav")
            write_wav(wav, samples)
            finish_room(wav, rng)
            with open(os.path.join(args.out, name + ".truth"), "w") as f:
                for onset, note, offset in truth:
                    f.write(f"{onset:.4f} {note} {offset:.4f}\n")
            print("made", name, f"offset {singer.offset * 100:+.0f} cents")


if __name__ == "__main__":
    main()
