#!/usr/bin/env python3
"""A generated set of sung-like takes with known bars, and how well Cantova finds them.

  takes.py make DIR [--count 64] [--audio]   writes the takes into DIR
  takes.py score DIR --probe PROBE           scores the bar finder on the takes' notes
  takes.py score DIR --cantova CANTOVA       scores `cantova make-song` on the takes' audio

Each take is a tune (generated from a fixed seed: phrases of bars drawn from rhythm patterns
that are common in songs of its meter, pitches walking a major scale and ending phrases on
long notes) in 2/4, 3/4, 4/4 or 6/8 at 60-160 beats per minute (6/8: 60-106 dotted quarters),
with or without a pickup, 0-2 s of silence before it, onsets jittered by up to 30 ms, and a
third of the takes drifting by up to 8 % over the take. DIR/NAME.notes holds its notes
("onset duration pitch", seconds) and DIR/NAME.truth its tempo in quarter notes per minute,
meter, first downbeat and bar lines. With --audio each take is also sung on "ooh" like the
sample melodies (tools/make-samples) into DIR/NAME.flac.

Scores: tempo within 4 % (no double or half), meter right, first downbeat within 60 ms, and
for drifting takes the share of bar lines found within 80 ms; per group and overall.
"""

import argparse
import json
import os
import random
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "make-samples"))

# Bar rhythms in quarter notes; the last of each list closes a phrase.
PATTERNS = {
    (4, 4): [[1, 1, 1, 1], [2, 1, 1], [1, 1, 2], [1.5, 0.5, 1, 1], [0.5, 0.5, 1, 1, 1],
             [1, 0.5, 0.5, 2], [1, 1, 0.5, 0.5, 1], [2, 2], [3, 1], [4]],
    (3, 4): [[1, 1, 1], [2, 1], [1.5, 0.5, 1], [1, 0.5, 0.5, 1], [0.5, 0.5, 1, 1], [3]],
    (2, 4): [[1, 1], [0.5, 0.5, 1], [1.5, 0.5], [0.5, 0.5, 0.5, 0.5], [1, 0.5, 0.5], [2]],
    (6, 8): [[1.5, 1.5], [1, 0.5, 1, 0.5], [0.5, 0.5, 0.5, 1.5], [1, 0.5, 1.5],
             [1.5, 1, 0.5], [3]],
}
SCALE = [0, 2, 4, 5, 7, 9, 11]


def bar_quarters(meter):
    return meter[0] * 4 / meter[1]


def make_tune(rng, meter):
    """Notes as (start, length, pitch) in quarter notes from the first downbeat."""
    patterns = PATTERNS[meter]
    bars = rng.choice([8, 8, 12, 16])
    rhythm = []
    for bar in range(bars):
        closing = bar % 4 == 3
        rhythm.append(patterns[-1] if closing and rng.random() < 0.6 else
                      rng.choice(patterns[:-1]))
    tonic = rng.choice([57, 60, 62, 64, 65, 67])
    degree = rng.choice([0, 2, 4])
    notes = []
    pickup = rng.random() < 0.5
    if pickup:
        length = 1.0 if meter != (6, 8) else 0.5
        lead = [length] if rng.random() < 0.6 else [length / 2, length / 2]
        t = -sum(lead)
        for l in lead:
            notes.append([t, l, 0])
            t += l
    t = 0.0
    for bar, lengths in enumerate(rhythm):
        for l in lengths:
            notes.append([t, l, 0])
            t += l
    for n in notes:
        degree = max(-3, min(9, degree + rng.choice([-2, -1, -1, 0, 1, 1, 2, 3, -3])))
        n[2] = tonic + 12 * (degree // 7) + SCALE[degree % 7]
    notes[-1][2] = tonic
    return notes, bars


def make_take(index, rng):
    meter = [(4, 4), (3, 4), (2, 4), (6, 8)][index % 4]
    notes, bars = make_tune(rng, meter)
    if meter == (6, 8):
        quarter_bpm = rng.uniform(60, 106) * 1.5
    else:
        quarter_bpm = rng.uniform(60, 160)
    drift = rng.choice([-1, 1]) * rng.uniform(0.04, 0.08) if index % 3 == 2 else 0.0
    lead_in = rng.uniform(0.0, 2.0)
    total = bars * bar_quarters(meter)
    pickup = -min(n[0] for n in notes)

    def seconds(q):
        # The tempo moves linearly from its start to start x (1 + drift) over the take.
        base = 60.0 / quarter_bpm
        if drift == 0.0:
            return q * base
        span = total + pickup
        x = (q + pickup) / span
        # Time is the integral of the period, which falls or grows linearly with x.
        return base * (-pickup + span * (x + (-drift) * x * x / 2))

    def time(q):
        return lead_in + pickup * 60.0 / quarter_bpm + seconds(q)

    out = []
    for start, length, pitch in notes:
        onset = time(start) + rng.uniform(-0.03, 0.03)
        end = time(start + length) - rng.uniform(0.04, 0.15)
        out.append((max(0.0, onset), max(0.08, end - onset), pitch))
    lines = [time(b * bar_quarters(meter)) for b in range(bars + 1)]
    mean = 60.0 * total / (lines[-1] - lines[0])
    name = f"take{index:03d}-{meter[0]}-{meter[1]}{'-pickup' if pickup else ''}" \
           f"{'-drift' if drift else ''}"
    truth = {"tempo": mean, "meter": f"{meter[0]}/{meter[1]}", "downbeat": lines[0],
             "bars": lines, "drift": drift, "pickup": pickup > 0, "lead_in": lead_in}
    return name, out, truth


class Sung:
    """A take in the form the sample maker renders."""

    def __init__(self, name, notes):
        self.name = name
        self._notes = notes

    def notes(self):
        # The renderer ends a note up to 0.12 s before its length is over (a breath); a note
        # shorter than that would end before it starts and sound for ever.
        return [(onset, max(length, 0.2), pitch) for onset, length, pitch in self._notes]


def make(args):
    os.makedirs(args.dir, exist_ok=True)
    rng = random.Random(args.seed)
    soundfont = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
    # The synthesizer's float output of each take is large: it goes as soon as its FLAC is made,
    # and the folder with whatever is left when making stops.
    with tempfile.TemporaryDirectory(prefix="cantova-takes-") as work:
        for i in range(args.count):
            name, notes, truth = make_take(i, rng)
            with open(os.path.join(args.dir, name + ".notes"), "w") as f:
                for onset, length, pitch in notes:
                    f.write(f"{onset:.4f} {length:.4f} {pitch}\n")
            with open(os.path.join(args.dir, name + ".truth"), "w") as f:
                json.dump(truth, f)
            if args.audio:
                import make_samples
                make_samples.render(Sung(name, notes), args.dir, soundfont, work)
                for leftover in os.listdir(work):
                    os.remove(os.path.join(work, leftover))
    print(f"{args.count} takes in {args.dir}")


def parse(text):
    found = {}
    for line in text.splitlines():
        key, _, value = line.partition(":")
        found[key.strip()] = value.strip()
    return found


def found_by_probe(probe, notes_path):
    with open(notes_path) as f:
        result = subprocess.run([probe], stdin=f, capture_output=True, text=True)
    return parse(result.stdout)


def found_by_cantova(cantova, audio_path):
    """What `cantova make-song` prints on its "found:" and "bar lines:" lines, as the probe
    prints it."""
    with tempfile.TemporaryDirectory() as tmp:
        result = subprocess.run([cantova, "make-song", audio_path, "-o", os.path.join(tmp, "t.mid")],
                                capture_output=True, text=True)
    printed = parse(result.stdout)
    m = re.match(r"tempo ([0-9.]+), meter (\d+/\d+), first downbeat ([0-9.]+) s",
                 printed.get("found", ""))
    if not m:
        return {}
    return {"tempo": m.group(1), "meter": m.group(2), "downbeat": m.group(3),
            "bars": printed.get("bar lines", "")}


def score(args):
    groups = {}
    for name in sorted(os.listdir(args.dir)):
        if not name.endswith(".truth"):
            continue
        stem = name[:-6]
        with open(os.path.join(args.dir, name)) as f:
            truth = json.load(f)
        if args.cantova:
            found = found_by_cantova(args.cantova, os.path.join(args.dir, stem + ".flac"))
        else:
            found = found_by_probe(args.probe, os.path.join(args.dir, stem + ".notes"))
        tempo = float(found.get("tempo", "0") or 0)
        downbeat = float(found.get("downbeat", "-99") or -99)
        bars = [float(x) for x in found.get("bars", "").split()]
        row = {
            "tempo": abs(tempo / truth["tempo"] - 1) <= 0.04,
            "meter": found.get("meter") == truth["meter"],
            "downbeat": abs(downbeat - truth["downbeat"]) <= 0.06,
        }
        if truth["drift"] and bars:
            hits = sum(1 for t in truth["bars"][:-1] if any(abs(t - b) <= 0.08 for b in bars))
            row["bars"] = (hits, len(truth["bars"]) - 1)
        if args.verbose:
            print(stem, f"tempo {tempo:.1f}/{truth['tempo']:.1f} meter "
                  f"{found.get('meter')}/{truth['meter']} downbeat {downbeat:.3f}/"
                  f"{truth['downbeat']:.3f} conf {found.get('confidence')}"
                  + (f" bars {row['bars'][0]}/{row['bars'][1]}" if "bars" in row else ""))
        for group in ("all", truth["meter"], "pickup" if truth["pickup"] else "no pickup",
                      "drift" if truth["drift"] else "steady"):
            groups.setdefault(group, []).append(row)
    print(f"{'group':<10} {'takes':>5} {'tempo':>6} {'meter':>6} {'downbeat':>8} {'bars':>6}")
    for group, rows in groups.items():
        def share(key):
            return 100.0 * sum(1 for r in rows if r[key]) / len(rows)
        hits = sum(r["bars"][0] for r in rows if "bars" in r)
        total = sum(r["bars"][1] for r in rows if "bars" in r)
        bars = f"{100.0 * hits / total:5.1f}%" if total else "     -"
        print(f"{group:<10} {len(rows):>5} {share('tempo'):5.1f}% {share('meter'):5.1f}% "
              f"{share('downbeat'):7.1f}% {bars}")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    m = sub.add_parser("make")
    m.add_argument("dir")
    m.add_argument("--count", type=int, default=64)
    m.add_argument("--audio", action="store_true")
    m.add_argument("--seed", type=int, default=20261208)
    s = sub.add_parser("score")
    s.add_argument("dir")
    s.add_argument("--probe")
    s.add_argument("--cantova")
    s.add_argument("-v", "--verbose", action="store_true")
    args = parser.parse_args()
    make(args) if args.command == "make" else score(args)


if __name__ == "__main__":
    main()
