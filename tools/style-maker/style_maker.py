#!/usr/bin/env python3
"""Builds an accompaniment style file (.sty) from a readable text description.

A style file is a format-1 Standard MIDI File: track 0 holds the tempo, the meter and one marker
per section; every other track holds one part, written over C major seventh. After the last
track comes the part table (CASM) that names the parts and routes them to their channels.

Description format (one statement per line, '#' starts a comment):

    style   <name>
    tempo   <quarter notes per minute>      the tempo the file plays at when listened to
    meter   <beats>/<unit>                  e.g. 4/4, 3/4, 6/8
    steps   <grid steps per bar>
    part    <name> channel <1-16> program <0-127> [bank <n>] [volume <0-127>]
    section <section name> bars <n>
    <part> <pitch> <grid>                   lines after a section belong to it

A pitch is a note name with octave (C4 = 60, sharps as C#4) or a MIDI number (drums). In a grid
each character is one step: 'X' accent, 'x' normal, 'o' soft hit, '-' holds the previous note
one step longer, '.' rest; '|' and spaces are only for the eye. A grid shorter than its section
repeats. One bar lasts <beats> notes of the meter's unit, as the program measures bars: a 6/8
bar is six eighths (three quarter notes of ticks), a 10/8 bar five quarter notes.

Usage: style_maker.py DESCRIPTION OUTPUT.sty [--no-casm]
"""

import struct
import sys

TPQ = 480
SECTION_ORDER = ["Intro A", "Main A", "Main B", "Fill In AA", "Fill In AB", "Fill In BB",
                 "Fill In BA", "Ending A", "Ending B"]
VELOCITY = {"X": 112, "x": 92, "o": 64}
NOTE_BASE = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


class DescriptionError(Exception):
    pass


def parse_pitch(text):
    if text.isdigit():
        return int(text)
    name = text[0].upper()
    if name not in NOTE_BASE:
        raise DescriptionError("bad pitch " + text)
    rest = text[1:]
    shift = 0
    while rest and rest[0] in "#b":
        shift += 1 if rest[0] == "#" else -1
        rest = rest[1:]
    return NOTE_BASE[name] + shift + 12 * (int(rest) + 1)


def parse(path):
    style = {"name": "", "tempo": 120, "beats": 4, "unit": 4, "steps": 16,
             "parts": [], "sections": []}
    section = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            words = line.split()
            key = words[0]
            try:
                if key == "style":
                    style["name"] = " ".join(words[1:])
                elif key == "tempo":
                    style["tempo"] = float(words[1])
                elif key == "meter":
                    beats, unit = words[1].split("/")
                    style["beats"], style["unit"] = int(beats), int(unit)
                elif key == "steps":
                    style["steps"] = int(words[1])
                elif key == "part":
                    options = dict(zip(words[2::2], (int(v) for v in words[3::2])))
                    style["parts"].append({"name": words[1], "channel": options["channel"] - 1,
                                           "program": options.get("program", 0),
                                           "bank": options.get("bank", 0),
                                           "volume": options.get("volume", 100), "notes": []})
                elif key == "section":
                    name = " ".join(words[1:words.index("bars")])
                    if name not in SECTION_ORDER:
                        raise DescriptionError("unknown section " + name)
                    section = {"name": name, "bars": int(words[words.index("bars") + 1]),
                               "lines": []}
                    style["sections"].append(section)
                else:
                    if section is None:
                        raise DescriptionError("a pattern line before any section")
                    section["lines"].append((words[0], parse_pitch(words[1]),
                                             "".join(words[2:]).replace("|", "")))
            except (ValueError, IndexError, KeyError) as error:
                raise DescriptionError("%s:%d: %s" % (path, number, error))
    return style


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


def track_chunk(events, end):
    """events: (tick, order, bytes); written in time order, then the end of track at end."""
    data = bytearray()
    now = 0
    for tick, _, payload in sorted(events, key=lambda e: (e[0], e[1])):
        data += var_len(tick - now) + payload
        now = tick
    # Running past the last section would stretch it: the track ends with the style.
    data += var_len(max(end - now, 0)) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


def meta(kind, payload):
    return bytes([0xFF, kind]) + var_len(len(payload)) + payload


def bar_ticks(style):
    """Ticks of one bar: beats notes of the meter's unit, TPQ ticks to the quarter note."""
    ticks = style["beats"] * TPQ * 4
    if ticks % style["unit"]:
        raise DescriptionError("a bar of %d/%d is no whole number of ticks"
                               % (style["beats"], style["unit"]))
    return ticks // style["unit"]


def layout(style):
    """Start tick of every section in file order; bar 0 is left for the setup messages."""
    bar = bar_ticks(style)
    by_name = {s["name"]: s for s in style["sections"]}
    placed, tick = [], bar
    for name in SECTION_ORDER:
        if name in by_name:
            placed.append((tick, by_name[name]))
            tick += by_name[name]["bars"] * bar
    return placed, tick


def grid_notes(grid, steps_total, step_ticks):
    """(start, length, velocity) of each note of a grid repeated over steps_total steps."""
    notes = []
    for step in range(steps_total):
        char = grid[step % len(grid)]
        if char in VELOCITY:
            length = 1
            while step + length < steps_total and grid[(step + length) % len(grid)] == "-":
                length += 1
            notes.append((step * step_ticks, length * step_ticks, VELOCITY[char]))
    return notes


def conductor(style, placed, end):
    unit_power = {1: 0, 2: 1, 4: 2, 8: 3, 16: 4}[style["unit"]]
    events = [(0, 0, meta(0x03, style["name"].encode("latin-1"))),
              (0, 1, meta(0x51, struct.pack(">I", round(60000000 / style["tempo"]))[1:])),
              (0, 2, meta(0x58, bytes([style["beats"], unit_power, 24, 8])))]
    for tick, section in placed:
        events.append((tick, 3, meta(0x06, section["name"].encode("latin-1"))))
    return track_chunk(events, end)


def part_track(style, part, placed, end):
    ch = part["channel"]
    step_ticks = bar_ticks(style) // style["steps"]
    events = [(0, 0, meta(0x03, part["name"].encode("latin-1"))),
              (0, 1, bytes([0xB0 | ch, 0, part["bank"] >> 7])),
              (0, 2, bytes([0xB0 | ch, 32, part["bank"] & 0x7F])),
              (0, 3, bytes([0xC0 | ch, part["program"]])),
              (0, 4, bytes([0xB0 | ch, 7, part["volume"]]))]
    for start, section in placed:
        steps_total = section["bars"] * style["steps"]
        for name, pitch, grid in section["lines"]:
            if name != part["name"]:
                continue
            for at, length, velocity in grid_notes(grid, steps_total, step_ticks):
                # Offs sort before ons of the same tick so repeated notes are not cut.
                events.append((start + at + length - 1, 5, bytes([0x80 | ch, pitch, 0])))
                events.append((start + at, 6, bytes([0x90 | ch, pitch, velocity])))
    return track_chunk(events, end)


def casm(style):
    names = ",".join(s["name"] for s in style["sections"]).encode("latin-1")
    entries = b""
    for index, part in enumerate(style["parts"], 1):
        # source track, 8-byte name, destination channel (the drum channel is written as 8),
        # then 17 bytes of settings this program does not use.
        destination = 8 if part["channel"] == 9 else part["channel"]
        body = bytes([index]) + part["name"].encode("latin-1")[:8].ljust(8, b" ") + \
            bytes([destination]) + bytes(17)
        entries += b"Ctab" + struct.pack(">I", len(body)) + body
    sdec = b"Sdec" + struct.pack(">I", len(names)) + names
    segment = sdec + entries
    block = b"CSEG" + struct.pack(">I", len(segment)) + segment
    return b"CASM" + struct.pack(">I", len(block)) + block


def build(style, with_casm=True):
    for part in style["parts"]:
        if part["channel"] == 8:
            raise DescriptionError("channel 9 cannot be routed: the part table maps it to 10")
    for section in style["sections"]:
        for name, pitch, grid in section["lines"]:
            if name not in {p["name"] for p in style["parts"]}:
                raise DescriptionError("%s: unknown part %s" % (section["name"], name))
            steps = style["steps"]
            if len(grid) % steps or len(grid) > steps * section["bars"]:
                raise DescriptionError("%s: %s %d: the grid is %d steps, not whole bars of %d"
                                       % (section["name"], name, pitch, len(grid), steps))
    if bar_ticks(style) % style["steps"]:
        raise DescriptionError("%d steps do not divide a bar of %d ticks"
                               % (style["steps"], bar_ticks(style)))
    placed, end = layout(style)
    missing = [n for n in SECTION_ORDER if n not in {s["name"] for s in style["sections"]}]
    if missing:
        raise DescriptionError("missing sections: " + ", ".join(missing))
    chunks = [conductor(style, placed, end)]
    chunks += [part_track(style, p, placed, end) for p in style["parts"]]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(chunks), TPQ)
    return header + b"".join(chunks) + (casm(style) if with_casm else b"")


def main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    try:
        data = build(parse(argv[1]), "--no-casm" not in argv)
    except DescriptionError as error:
        print("style_maker: %s" % error, file=sys.stderr)
        return 1
    with open(argv[2], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
