#!/usr/bin/env python3
"""Scores `cantova make-song` on the shipped samples against the chords a musician plays to them.

Each samples/NAME.flac is made into a song by `CANTOVA make-song SAMPLE -o SONG.mid` without
options, as a new user would. The musician's chords are those of the same tune in
tools/chord-set/tunes.txt; that set may write a tune in another key than the sample sings it, so
its chords are moved by the interval between its notes and the sample's (the notes of
tools/make-samples/make_samples.py). The sample's bar lines are known from the same notes: its
lead-in, tempo and meter. The song's melody is matched with the sample's notes to find how far
make-song moved the take, and every bar of the sample is compared with the chord the song plays
there, as the chord set scores them: in even meters each half bar counts half a bar, in odd
meters the whole bar counts; a chord is read a sixteenth after the (half) bar's start, so that
a bar line placed a few milliseconds off does not read the chord before it. A pickup is not
scored.

Printed per sample: the tempo, meter and key make-song found against the sample's, the share of
bars whose chord has the musician's root ("root"), root and third ("r+q", the main figure) and
tones ("exact"), and with --show every bar as MUSICIAN=FOUND (or MUSICIAN/FOUND when the roots
differ).

Usage: sample_chords.py --cantova build/app/cantova [--samples samples] [--show]
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile
from fractions import Fraction

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "make-samples"))
sys.path.insert(0, os.path.join(HERE, "..", "transcription-score"))
import make_samples  # noqa: E402
import midifile  # noqa: E402

NOTE_NAMES = ["C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"]
CHORD = re.compile(r"^([A-G])([#b]?)(.*)$")


class RefTune:
    """A tune of tunes.txt: its title, key, meter, notes and chord marks, in beats of the
    meter's unit from the start of its first bar (a pickup bar is right-aligned)."""

    def __init__(self, title):
        self.title, self.key, self.meter = title, "", (4, 4)
        self.bars = []  # the words of every bar

    def read_bars(self):
        """(notes [(beat, pitch)], marks [(beat, chord)], pickup beats or 0)."""
        notes, marks = [], []
        length = Fraction(1)
        pickup = 0
        at = Fraction(0)
        for b, words in enumerate(self.bars):
            bar_start = at
            for word in words:
                if word.startswith('"'):
                    marks.append((at, word.strip('"')))
                    continue
                name, _, beats = word.partition(":")
                if beats:
                    length = Fraction(beats)
                if name != "r":
                    notes.append((at, make_samples.midi_note(name)))
                at += length
            if b == 0 and at - bar_start < self.meter[0]:
                pickup = at - bar_start
        # Beats count from the first full bar's downbeat; the pickup lies before 0.
        return ([(t - pickup, p) for t, p in notes], [(t - pickup, c) for t, c in marks], pickup)


def read_tunes(path):
    tunes, tune, text = [], None, []
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines() + ["tune: (end)"]
    for line in (l.strip() for l in lines):
        if not line or line.startswith("#") or line.startswith("source:"):
            continue
        if line.startswith("tune:"):
            # Bars run over lines until the next tune.
            if tune is not None:
                tune.bars = [b.split() for b in " ".join(text).split("|") if b.split()]
            tune, text = RefTune(line[5:].strip()), []
            tunes.append(tune)
        elif line.startswith("key:"):
            tune.key = line[4:].strip()
        elif line.startswith("meter:"):
            beats, unit = line[6:].strip().split("/")
            tune.meter = (int(beats), int(unit))
        else:
            text.append(line)
    return tunes[:-1]


def plain(title):
    """A title without accents, case and punctuation, to find a sample's tune."""
    table = str.maketrans("èéêàâçôûîü", "eeeaacouiu")
    return re.sub(r"[^a-z]", "", title.lower().translate(table))


def transpose(chord, steps):
    m = CHORD.match(chord)
    if not m:
        return chord
    root = (NOTE_NAMES.index(NOTE_NAMES[pitch_class(m.group(1) + m.group(2))]) + steps) % 12
    return NOTE_NAMES[root] + m.group(3)


def pitch_class(name):
    return make_samples.midi_note(name + "4") % 12


def chord_parts(chord):
    """(root pitch class, minor third, suffix) of a chord name; root -1 when there is none."""
    m = CHORD.match(chord or "")
    if not m:
        return -1, False, ""
    suffix = m.group(3).split("/")[0]
    minor = (suffix.startswith("m") and not suffix.startswith("maj")) or suffix.startswith("dim")
    suffix = "" if suffix in ("Maj", "maj") else suffix
    return pitch_class(m.group(1) + m.group(2)), minor, suffix


def sample_interval(ref_notes, sample_notes):
    """Semitones from the reference tune up to the sample (0..11), from its pitch sequence."""
    a = [p for _, p in ref_notes]
    b = [n for _, _, n in sample_notes]
    best = max(range(12), key=lambda s: sum((x + s) % 12 == y % 12 for x, y in zip(a, b)))
    return best


def take_shift(sample_notes, song_notes):
    """How far make-song moved the take (seconds): the shift that lines up most song notes with
    the sample's (same pitch class, within 60 ms), the smallest such on a tie."""
    best, best_count = 0.0, -1
    for t, _, n in sample_notes:
        for u, _, m in song_notes:
            if n % 12 != m % 12:
                continue
            shift = u - t
            count = sum(any(abs(u2 - t2 - shift) < 0.06 and n2 % 12 == m2 % 12
                            for u2, _, m2 in song_notes) for t2, _, n2 in sample_notes)
            if count > best_count or (count == best_count and abs(shift) < abs(best)):
                best, best_count = shift, count
    return best, best_count


def sounding(chords, seconds):
    found = ""
    for t, c in chords:
        if t <= seconds + 1e-6:
            found = c
    return found


def make_song(cantova, flac, work):
    song = os.path.join(work, os.path.basename(flac).replace(".flac", ".mid"))
    run = subprocess.run([cantova, "make-song", flac, "-o", song], capture_output=True, text=True)
    if run.returncode != 0:
        raise RuntimeError(f"make-song {flac} failed: {run.stderr}")
    facts = dict(line.split(": ", 1) for line in run.stdout.splitlines() if ": " in line)
    texts = [(t, text[1:], track) for t, text, track in midifile.read_texts(song)
             if text[:1] in "{["]
    melody = texts[0][2] if texts else 0  # the track that holds the chords
    return facts, [(t, c) for t, c, _ in texts], midifile.read_note_spans(song, melody)


def score_sample(tune, ref, facts, chords, song_notes, show):
    ref_notes, marks, pickup = ref.read_bars()
    sample_notes = tune.notes()
    steps = sample_interval(ref_notes, sample_notes)
    marks = [(t, transpose(c, steps)) for t, c in marks]
    shift, matched = take_shift(sample_notes, song_notes)
    beat = 60.0 / tune.bpm * 4 / tune.meter[1]  # seconds per beat of the meter's unit
    downbeat = make_samples.LEAD_IN + float(pickup) * beat
    beats, halves = tune.meter[0], 2 if tune.meter[0] % 2 == 0 else 1
    last = max(t for t, _ in ref_notes)
    full_bars = int(last // beats) + 1
    score = {"bars": 0.0, "root": 0.0, "r+q": 0.0, "exact": 0.0}
    shown = []
    for bar in range(full_bars):
        cells = []
        for h in range(halves):
            at = Fraction(bar * beats) + Fraction(h * beats, halves)
            truth = sounding([(float(t), c) for t, c in marks], float(at))
            seconds = downbeat + float(at) * beat + beat / 4 * (tune.meter[1] / 4)
            found = sounding(chords, seconds + shift)
            t, f = chord_parts(truth), chord_parts(found)
            share = 1.0 / halves
            score["bars"] += share
            same_root = t[0] >= 0 and t[0] == f[0]
            score["root"] += share * same_root
            score["r+q"] += share * (same_root and t[1] == f[1])
            score["exact"] += share * (same_root and t[2] == f[2])
            cells.append(f"{truth}{'=' if same_root else '/'}{found or '-'}")
        shown.append(" ".join(cells))
    true_tempo = tune.bpm
    found_tempo = float(facts.get("tempo", "0"))
    line = {
        "name": tune.name,
        "tempo": f"{found_tempo:g}/{true_tempo}",
        "tempo ok": abs(found_tempo / true_tempo - 1) <= 0.04,
        "meter": f"{facts.get('meter', '?')}/{tune.meter[0]}/{tune.meter[1]}",
        "meter ok": facts.get("meter") == f"{tune.meter[0]}/{tune.meter[1]}",
        "key": f"{facts.get('key', '?')}/{key_name(tune.key)}",
        "key ok": facts.get("key", "").split(" ")[0] == key_name(tune.key),
        "found": facts.get("found", "-"),
        "shift": shift,
        "matched": f"{matched}/{len(sample_notes)}",
        "transposed": steps,
    }
    if show:
        line["bars shown"] = " | ".join(shown)
    return score, line


def key_name(text):
    """"G major" as Cantova names keys ("Gmaj")."""
    tonic, mode = text.split()
    return tonic + ("maj" if mode == "major" else "min")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cantova", required=True, help="the cantova program")
    parser.add_argument("--samples", default=os.path.join(HERE, "..", "..", "samples"))
    parser.add_argument("--tunes", default=os.path.join(HERE, "tunes.txt"))
    parser.add_argument("--show", action="store_true", help="print every bar's chords")
    args = parser.parse_args()
    refs = {plain(t.title): t for t in read_tunes(args.tunes)}
    total = {"bars": 0.0, "root": 0.0, "r+q": 0.0, "exact": 0.0}
    ok = {"tempo": 0, "meter": 0, "key": 0}
    print(f"{'sample':16s} {'tempo':>9s} {'meter':>9s} {'key':>13s} {'bars':>5s} {'root':>6s} "
          f"{'r+q':>6s} {'exact':>6s}  found")
    with tempfile.TemporaryDirectory() as work:
        for tune in make_samples.TUNES:
            ref = refs.get(plain(tune.title))
            if ref is None:
                print(f"{tune.name}: no tune of that title in {args.tunes}")
                continue
            facts, chords, song_notes = make_song(
                args.cantova, os.path.join(args.samples, tune.name + ".flac"), work)
            score, line = score_sample(tune, ref, facts, chords, song_notes, args.show)
            for k in total:
                total[k] += score[k]
            for k in ok:
                ok[k] += line[k + " ok"]
            mark = {True: " ", False: "!"}
            print(f"{tune.name:16s} {line['tempo']:>8s}{mark[line['tempo ok']]} "
                  f"{line['meter']:>8s}{mark[line['meter ok']]} "
                  f"{line['key']:>12s}{mark[line['key ok']]} {score['bars']:5.0f} "
                  + " ".join(f"{100 * score[k] / score['bars']:5.1f}%"
                             for k in ("root", "r+q", "exact"))
                  + f"  {line['found']} (moved {line['shift']:+.3f} s, {line['matched']} notes"
                  f" matched, reference +{line['transposed']})")
            if args.show:
                print("    " + line["bars shown"])
    n = len(make_samples.TUNES)
    print(f"{'all':16s} {ok['tempo']:>7d}/{n} {ok['meter']:>7d}/{n} {ok['key']:>10d}/{n} "
          f"{total['bars']:5.0f} "
          + " ".join(f"{100 * total[k] / max(total['bars'], 1):5.1f}%"
                     for k in ("root", "r+q", "exact")))


if __name__ == "__main__":
    main()
