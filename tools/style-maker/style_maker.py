#!/usr/bin/env python3
"""Builds an accompaniment style file (.sty) from a readable text description.

A style file is a format-1 Standard MIDI File: track 0 holds the tempo, the meter and one marker
per section; every other track holds one part, written over C major seventh. After the last
track comes the part table (CASM) that names the parts and routes them to their channels.

Description format (one statement per line, '#' starts a comment):

    style   <name>
    genre   <genre>                         the group a style browser lists it under
    tempo   <quarter notes per minute>      the tempo the file plays at when listened to
    meter   <beats>/<unit>                  e.g. 4/4, 3/4, 6/8
    steps   <grid steps per bar>
    swing   <percent>                       every second grid step is played late: the pair of
                                            steps splits percent : 100 - percent (50 is straight,
                                            67 a triplet feel); optional
    part    <name> channel <1-16> program <0-127> [bank <n>] [volume <0-127>]
            [low <pitch>] [high <pitch>]    the notes the part may play over any chord
    section <section name> bars <n> [like <earlier section>]
    <part> <pitch>[,<pitch>...] <grid>      lines after a section belong to it
    drop    <part> [<pitch>[,<pitch>...]]   in a "like" section: leaves out copied lines

A section "like" an earlier one starts with that section's lines; a line of its own for a part
and pitch replaces the copied line of that part and pitch, "drop <part> [<pitch>,...]" removes
copied lines. A copied grid longer than the new section keeps its last bars (a one-bar fill
copies the last bar of a four-bar groove).

A pitch is a note name with octave (C4 = 60, sharps as C#4), a MIDI number, or for drums a name:
kick, snare, stick, clap, hat, pedal, open, ride, bell, crash, tom1, tom2, tom3, floor, tamb,
cowbell, shaker, cabasa, clave, bongo, lowbongo, conga, lowconga, mute, timbale, guiro,
triangle, wood. Several pitches joined by commas play the same grid (a chord). In a grid each
character is one step: 'X' accent, 'x' normal, 'o' soft, 'g' ghost note, '1' to '9' a velocity
of that many ninths of 127, '-' holds the previous note one step longer, '.' rest; '|' and
spaces are only for the eye. A grid shorter than its section repeats. One bar lasts <beats>
notes of the meter's unit, as the program measures bars: a 6/8 bar is six eighths (three
quarter notes of ticks), a 10/8 bar five quarter notes.

Every part is written over C major seventh (C E G B), the chord the program maps patterns from.

Usage: style_maker.py DESCRIPTION OUTPUT.sty [--no-casm]
"""

import struct
import sys

TPQ = 480
SECTION_ORDER = ["Intro A", "Main A", "Main B", "Fill In AA", "Fill In AB", "Fill In BB",
                 "Fill In BA", "Ending A", "Ending B"]
VELOCITY = {"X": 112, "x": 92, "o": 64, "g": 38}
VELOCITY.update({str(d): round(127 * d / 9) for d in range(1, 10)})
DRUMS = {"kick": 36, "stick": 37, "snare": 38, "clap": 39, "floor": 41, "hat": 42, "tom3": 45,
         "pedal": 44, "open": 46, "tom2": 48, "crash": 49, "tom1": 50, "ride": 51, "bell": 53,
         "tamb": 54, "cowbell": 56, "bongo": 60, "lowbongo": 61, "mute": 62, "conga": 63,
         "lowconga": 64, "timbale": 65, "cabasa": 69, "shaker": 70, "guiro": 73, "clave": 75,
         "wood": 76, "triangle": 81}
NOTE_BASE = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


class DescriptionError(Exception):
    pass


def parse_pitch(text):
    if text.isdigit():
        return int(text)
    if text.lower() in DRUMS:
        return DRUMS[text.lower()]
    name = text[0].upper()
    if name not in NOTE_BASE:
        raise DescriptionError("bad pitch " + text)
    rest = text[1:]
    shift = 0
    while rest and rest[0] in "#b":
        shift += 1 if rest[0] == "#" else -1
        rest = rest[1:]
    return NOTE_BASE[name] + shift + 12 * (int(rest) + 1)


def parse_part(words):
    options = dict(zip(words[2::2], words[3::2]))
    number = {k: int(options[k]) for k in ("channel", "program", "bank", "volume") if k in options}
    return {"name": words[1], "channel": number["channel"] - 1,
            "program": number.get("program", 0), "bank": number.get("bank", 0),
            "volume": number.get("volume", 100),
            "low": parse_pitch(options["low"]) if "low" in options else 0,
            "high": parse_pitch(options["high"]) if "high" in options else 127}


def parse_section(words, style):
    name = " ".join(words[1:words.index("bars")])
    if name not in SECTION_ORDER:
        raise DescriptionError("unknown section " + name)
    section = {"name": name, "bars": int(words[words.index("bars") + 1]), "lines": [],
               "copied": set()}
    if "like" in words:
        model = " ".join(words[words.index("like") + 1:])
        earlier = [s for s in style["sections"] if s["name"] == model]
        if not earlier:
            raise DescriptionError("%s is like %s, which comes later or not at all"
                                   % (name, model))
        steps = style["steps"] * section["bars"]
        # A grid longer than the new section keeps its last bars.
        section["lines"] = [(part, pitch, grid[-steps:] if len(grid) > steps else grid)
                            for part, pitch, grid in earlier[0]["lines"]]
        section["copied"] = {(line[0], line[1]) for line in section["lines"]}
    return section


def add_line(section, words):
    part, grid = words[0], "".join(words[2:]).replace("|", "")
    for pitch in (parse_pitch(p) for p in words[1].split(",")):
        if (part, pitch) in section["copied"]:
            # The section's own line replaces what the model section gave that part and pitch.
            drop_lines(section, part, [pitch])
        section["lines"].append((part, pitch, grid))


def drop_lines(section, part, pitches=None):
    """Removes copied lines of a part: of the given pitches, or all of them."""
    def dropped(line):
        return line[0] == part and (pitches is None or line[1] in pitches)
    section["lines"] = [line for line in section["lines"] if not dropped(line)]
    section["copied"] = {c for c in section["copied"] if not dropped(c)}


def parse(path):
    style = {"name": "", "genre": "", "tempo": 120, "beats": 4, "unit": 4, "steps": 16,
             "swing": 50, "parts": [], "sections": []}
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
                elif key == "genre":
                    style["genre"] = " ".join(words[1:])
                elif key == "tempo":
                    style["tempo"] = float(words[1])
                elif key == "meter":
                    beats, unit = words[1].split("/")
                    style["beats"], style["unit"] = int(beats), int(unit)
                elif key == "steps":
                    style["steps"] = int(words[1])
                elif key == "swing":
                    style["swing"] = float(words[1])
                    if not 50 <= style["swing"] < 100:
                        raise DescriptionError("swing is a percent from 50 to 99")
                elif key == "part":
                    style["parts"].append(parse_part(words))
                elif key == "section":
                    section = parse_section(words, style)
                    style["sections"].append(section)
                elif section is None:
                    raise DescriptionError("a pattern line before any section")
                elif key == "drop":
                    pitches = [parse_pitch(p) for p in words[2].split(",")] if words[2:] else None
                    drop_lines(section, words[1], pitches)
                else:
                    add_line(section, words)
            except (ValueError, IndexError, KeyError, DescriptionError) as error:
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


def step_tick(step, step_ticks, swing):
    """Tick of a grid step; with swing every second step comes late within its pair."""
    pair, second = divmod(step, 2)
    late = round(2 * step_ticks * swing / 100) if second else 0
    return pair * 2 * step_ticks + late


def grid_notes(grid, steps_total, step_ticks, swing=50):
    """(start, length, velocity) of each note of a grid repeated over steps_total steps."""
    notes = []
    for step in range(steps_total):
        char = grid[step % len(grid)]
        if char in VELOCITY:
            length = 1
            while step + length < steps_total and grid[(step + length) % len(grid)] == "-":
                length += 1
            start = step_tick(step, step_ticks, swing)
            end = step_tick(step + length, step_ticks, swing)
            notes.append((start, end - start, VELOCITY[char]))
        elif char not in "-.":
            raise DescriptionError("bad grid character " + char)
    return notes


def conductor(style, placed, end):
    unit_power = {1: 0, 2: 1, 4: 2, 8: 3, 16: 4}[style["unit"]]
    events = [(0, 0, meta(0x03, style["name"].encode("latin-1"))),
              (0, 1, meta(0x51, struct.pack(">I", round(60000000 / style["tempo"]))[1:])),
              (0, 2, meta(0x58, bytes([style["beats"], unit_power, 24, 8])))]
    if style["genre"]:
        # A plain text event (no chord or note prefix): the group a style browser lists it in.
        events.append((0, 3, meta(0x01, ("genre: " + style["genre"]).encode("latin-1"))))
    for tick, section in placed:
        events.append((tick, 4, meta(0x06, section["name"].encode("latin-1"))))
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
            for at, length, velocity in grid_notes(grid, steps_total, step_ticks,
                                                   style["swing"]):
                # Offs sort before ons of the same tick so repeated notes are not cut.
                events.append((start + at + length - 1, 5, bytes([0x80 | ch, pitch, 0])))
                events.append((start + at, 6, bytes([0x90 | ch, pitch, velocity])))
    return track_chunk(events, end)


def casm(style):
    names = ",".join(s["name"] for s in style["sections"]).encode("latin-1")
    entries = b""
    for index, part in enumerate(style["parts"], 1):
        # source track, 8-byte name, destination channel (the drum channel is written as 8),
        # editable flag, note and chord mutes, source chord root (C) and type (left 0: the program
        # reads every pattern as written over C major seventh),
        # transposition rule and table, high key, the part's lowest and highest note,
        # retrigger rule and special features.
        destination = 8 if part["channel"] == 9 else part["channel"]
        body = bytes([index]) + part["name"].encode("latin-1")[:8].ljust(8, b" ") + \
            bytes([destination, 0]) + bytes([0x1F, 0xFF]) + bytes([0xFF] * 5) + \
            bytes([0, 0, 0, 0, 0x7F, part["low"], part["high"], 0, 0])
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
