#!/usr/bin/python3
"""Scores transcribers side by side on test sets, per group of items.

Every item NAME.wav of a set has NAME.truth ("onset note [offset]" lines, seconds). Each tool
transcribes every item; its notes are kept in SET/out/TOOL/NAME.csv ("onset,offset,note"), and a
peer's notes are reused while they are newer than the audio (the peers are slow and do not
change). Measures, per group (the item name without its trailing number) and per set:

- F: note F-measure, a match being the same MIDI note with the onset within ±50 ms, each note
  matched at most once (nearest onsets first);
- F+off: as F, and the offset also within max(50 ms, 20 % of the true note's length), for
  items whose truth has offsets;
- overlap: the share of the notes found that start before the previous note found has ended
  (a melody from one voice never overlaps itself);
- for cantova, the speed (seconds of audio per second of transcription, whole command).

Tools:
  --cantova NAME=BINARY[,ARG...]   `BINARY transcribe [ARG...] IN OUT.mid`; repeatable
  --engine NAME=BINARY[,ARG...]    transcribe_raw (build_transcribe_raw.sh) on the audio at
                                   11025 Hz made by sox; repeatable; its speed is the engine's
  --aubio                          aubionotes (Debian aubio-tools), default settings
  --aubio-latency SECONDS          moves aubionotes' notes this much earlier: it reports a note
                                   once its pitch is settled, about 0.11 s after it starts
  --basic-pitch DIR                node DIR/basic_pitch_notes.js (npm @spotify/basic-pitch
                                   installed in DIR), the model's default thresholds

Usage: compare.py [TOOLS] SET_DIR...
"""

import argparse
import collections
import glob
import os
import subprocess
import sys
import tempfile
import time

import midifile

ONSET_TOLERANCE = 0.05


def read_truth(path):
    notes = []
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 2:
                offset = float(parts[2]) if len(parts) > 2 else None
                notes.append((float(parts[0]), offset, int(parts[1])))
    return notes


def read_csv(path):
    notes = []
    with open(path) as f:
        for line in f:
            if line.strip():
                onset, offset, note = line.strip().split(",")[:3]
                notes.append((float(onset), float(offset), int(round(float(note)))))
    return notes


def write_csv(path, notes):
    with open(path, "w") as f:
        for onset, offset, note in notes:
            f.write(f"{onset:.4f},{offset:.4f},{note}\n")


def match(truth, found, with_offsets):
    pairs = []
    for i, (t_on, t_off, t_note) in enumerate(truth):
        for j, (f_on, f_off, f_note) in enumerate(found):
            if f_note != t_note or abs(f_on - t_on) > ONSET_TOLERANCE:
                continue
            if with_offsets and abs(f_off - t_off) > max(0.05, 0.2 * (t_off - t_on)):
                continue
            pairs.append((abs(f_on - t_on), i, j))
    pairs.sort()
    used_t, used_f = set(), set()
    for _, i, j in pairs:
        if i not in used_t and j not in used_f:
            used_t.add(i)
            used_f.add(j)
    return len(used_t)


def overlaps(found):
    notes = sorted(found)
    return sum(1 for a, b in zip(notes, notes[1:]) if b[0] < a[1] - 1e-6)


def f_measure(matched, truth, found):
    if not truth or not found or not matched:
        return 0.0
    p, r = matched / found, matched / truth
    return 2 * p * r / (p + r)


class Cantova:
    def __init__(self, definition):
        self.name, command = definition.split("=", 1)
        self.binary, *self.args = command.split(",")
        self.cached = False
        self.audio_seconds = 0.0
        self.run_seconds = 0.0

    def transcribe(self, wav, csv):
        with tempfile.TemporaryDirectory() as tmp:
            mid = os.path.join(tmp, "out.mid")
            start = time.perf_counter()
            subprocess.run([self.binary, "transcribe", *self.args, wav, mid], check=True,
                           stdout=subprocess.DEVNULL)
            self.run_seconds += time.perf_counter() - start
            self.audio_seconds += float(subprocess.run(["soxi", "-D", wav], capture_output=True,
                                                       text=True, check=True).stdout)
            write_csv(csv, midifile.read_note_spans(mid))


class Engine:
    """The engine alone, through transcribe_raw, on the audio converted once by sox."""

    def __init__(self, definition):
        self.name, command = definition.split("=", 1)
        self.binary, *self.args = command.split(",")
        self.cached = False
        self.audio_seconds = 0.0
        self.run_seconds = 0.0

    def transcribe(self, wav, csv):
        raw = os.path.splitext(wav)[0] + ".f32"
        if not os.path.exists(raw) or os.path.getmtime(raw) < os.path.getmtime(wav):
            subprocess.run(["sox", wav, "-t", "raw", "-e", "floating-point", "-b", "32", "-c",
                            "1", "-r", "11025", raw], check=True)
        speed = float(subprocess.run([self.binary, *self.args, raw, csv], capture_output=True,
                                     text=True, check=True).stdout)
        seconds = os.path.getsize(raw) / 4 / 11025
        self.audio_seconds += seconds
        self.run_seconds += seconds / speed if speed > 0 else 0.0


class Aubio:
    cached = True

    def __init__(self, latency):
        self.latency = latency
        self.name = "aubionotes" if latency == 0 else f"aubio-{latency * 1000:.0f}ms"

    def transcribe(self, wav, csv):
        out = subprocess.run(["aubionotes", "-i", wav], capture_output=True, text=True,
                             check=True).stdout
        notes = []
        for line in out.splitlines():
            parts = line.split()
            if len(parts) == 3:
                notes.append((max(0.0, float(parts[1]) - self.latency),
                              max(0.0, float(parts[2]) - self.latency),
                              int(round(float(parts[0])))))
        write_csv(csv, notes)


class BasicPitch:
    name = "basic-pitch"
    cached = True

    def __init__(self, folder):
        self.script = os.path.join(folder, "basic_pitch_notes.js")

    def transcribe(self, wav, csv):
        subprocess.run(["node", self.script, wav, csv], check=True, stderr=subprocess.DEVNULL)


def score_set(folder, tools, table):
    for wav in sorted(glob.glob(os.path.join(folder, "*.wav"))):
        name = os.path.splitext(os.path.basename(wav))[0]
        truth_path = os.path.join(folder, name + ".truth")
        if not os.path.exists(truth_path):
            continue
        truth = read_truth(truth_path)
        has_offsets = all(t[1] is not None for t in truth)
        group = name.rsplit("-", 1)[0]
        for tool in tools:
            out_dir = os.path.join(folder, "out", tool.name)
            os.makedirs(out_dir, exist_ok=True)
            csv = os.path.join(out_dir, name + ".csv")
            if not (tool.cached and os.path.exists(csv) and
                    os.path.getmtime(csv) > os.path.getmtime(wav)):
                tool.transcribe(wav, csv)
            found = read_csv(csv)
            row = [match(truth, found, False), match(truth, found, True) if has_offsets else 0,
                   len(truth) if has_offsets else 0, len(truth), len(found), overlaps(found)]
            for key in (group, os.path.basename(os.path.normpath(folder)) + " (all)"):
                cell = table[key][tool.name]
                for k, v in enumerate(row):
                    cell[k] += v


def print_table(table, tools):
    names = [t.name for t in tools]
    head = f"{'group':24s} {'notes':>5s}"
    for n in names:
        head += f" | {n[:14]:>14s} {'F':>4s} {'F+off':>5s} {'ovl%':>4s}"
    print(head)
    for group in table:
        cells = table[group]
        line = f"{group:24s} {cells[names[0]][3]:5d}"
        for n in names:
            m, m_off, t_off, t, f, o = cells[n]
            f_on = f_measure(m, t, f)
            f_off = f_measure(m_off, t_off, f) if t_off else float("nan")
            share = 100.0 * o / f if f else 0.0
            line += f" | {'':14s} {f_on:4.2f} {f_off:5.2f} {share:4.0f}"
        print(line)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cantova", action="append", default=[])
    parser.add_argument("--engine", action="append", default=[])
    parser.add_argument("--aubio", action="store_true")
    parser.add_argument("--aubio-latency", type=float, default=0.0)
    parser.add_argument("--basic-pitch")
    parser.add_argument("sets", nargs="+")
    args = parser.parse_args()
    tools = [Cantova(definition) for definition in args.cantova] + [Engine(definition) for definition in args.engine]
    if args.aubio:
        tools.append(Aubio(args.aubio_latency))
    if args.basic_pitch:
        tools.append(BasicPitch(args.basic_pitch))
    if not tools:
        sys.exit("no tool to score")
    table = collections.OrderedDict()
    for folder in args.sets:
        groups = collections.defaultdict(lambda: collections.defaultdict(lambda: [0] * 6))
        score_set(folder, tools, groups)
        for key in sorted(groups, key=lambda k: (k.endswith("(all)"), k)):
            table[key] = groups[key]
    print_table(table, tools)
    for tool in tools:
        if isinstance(tool, (Cantova, Engine)) and tool.run_seconds > 0:
            what = "whole command" if isinstance(tool, Cantova) else "engine"
            print(f"{tool.name}: {tool.audio_seconds / tool.run_seconds:.0f}x real time "
                  f"({what}, {tool.audio_seconds:.0f} s of audio)")


if __name__ == "__main__":
    main()
