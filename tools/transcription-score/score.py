#!/usr/bin/env python3
"""Scores the transcriber on a test set made by make_set.py.

For every NAME.wav with NAME.truth it runs `cantova transcribe NAME.wav NAME.out.mid`, then
matches the transcribed notes with the true ones: a match has the same MIDI note and an onset
within ±50 ms, each note matched at most once (nearest onset first). Prints precision, recall
and F-measure per kind of sound (the name without its trailing number) and overall.

Usage: score.py SET_DIR CANTOVA_BINARY
"""

import collections
import glob
import os
import subprocess
import sys

import midifile

TOLERANCE = 0.05


def match(truth, found):
    """Number of one-to-one matches of (onset, note) lists."""
    pairs = []
    for i, (t_on, t_note) in enumerate(truth):
        for j, (f_on, f_note) in enumerate(found):
            if f_note == t_note and abs(f_on - t_on) <= TOLERANCE:
                pairs.append((abs(f_on - t_on), i, j))
    pairs.sort()
    used_t, used_f = set(), set()
    for _, i, j in pairs:
        if i not in used_t and j not in used_f:
            used_t.add(i)
            used_f.add(j)
    return len(used_t)


def measures(matched, truth, found):
    precision = matched / found if found else 0.0
    recall = matched / truth if truth else 0.0
    f = 2 * precision * recall / (precision + recall) if precision + recall else 0.0
    return precision, recall, f


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    folder, binary = sys.argv[1], sys.argv[2]
    totals = collections.defaultdict(lambda: [0, 0, 0])
    for wav in sorted(glob.glob(os.path.join(folder, "*.wav"))):
        name = os.path.splitext(wav)[0]
        if not os.path.exists(name + ".truth"):
            continue
        out = name + ".out.mid"
        subprocess.run([binary, "transcribe", wav, out], check=True, stdout=subprocess.DEVNULL)
        truth = []
        with open(name + ".truth") as f:
            for line in f:
                onset, note = line.split()[:2]
                truth.append((float(onset), int(note)))
        found = midifile.read_notes(out)
        m = match(truth, found)
        kind = os.path.basename(name).rsplit("-", 1)[0]
        for key in (kind, "all"):
            totals[key][0] += m
            totals[key][1] += len(truth)
            totals[key][2] += len(found)
        p, r, fm = measures(m, len(truth), len(found))
        print(f"{os.path.basename(name):20s} P {p:.2f} R {r:.2f} F {fm:.2f}", file=sys.stderr)
    print(f"{'kind':16s} {'notes':>5s} {'found':>5s} {'P':>5s} {'R':>5s} {'F':>5s}")
    for kind in sorted(totals, key=lambda k: (k == "all", k)):
        m, t, f = totals[kind]
        p, r, fm = measures(m, t, f)
        print(f"{kind:16s} {t:5d} {f:5d} {p:5.2f} {r:5.2f} {fm:5.2f}")


if __name__ == "__main__":
    main()
