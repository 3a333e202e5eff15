"""Minimal Standard MIDI File writing and reading for the transcription scorer (no dependencies)."""

import struct


def _varlen(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def write_melody(path, notes, program=0, bend_cents=0.0, vibrato=0, division=480, bpm=120.0):
    """Writes a format 0 file of (onset s, duration s, note, velocity) notes on channel 0.

    bend_cents detunes the whole melody with the pitch wheel (range ±2 semitones);
    vibrato (0..127) sets the modulation wheel.
    """
    ticks_per_second = division * bpm / 60.0
    events = []  # (tick, order, bytes)
    events.append((0, 0, bytes([0xFF, 0x51, 3]) + struct.pack(">I", int(60e6 / bpm))[1:]))
    events.append((0, 1, bytes([0xC0, program])))
    bend = max(0, min(16383, 8192 + int(round(bend_cents / 200.0 * 8192))))
    events.append((0, 2, bytes([0xE0, bend & 0x7F, bend >> 7])))
    events.append((0, 3, bytes([0xB0, 1, vibrato])))
    for onset, duration, note, velocity in notes:
        on = int(round(onset * ticks_per_second))
        off = int(round((onset + duration) * ticks_per_second))
        events.append((on, 5, bytes([0x90, note, velocity])))
        events.append((off, 4, bytes([0x80, note, 0])))
    events.sort(key=lambda e: (e[0], e[1]))
    track = bytearray()
    now = 0
    for tick, _, data in events:
        track += _varlen(tick - now) + data
        now = tick
    track += _varlen(int(ticks_per_second)) + bytes([0xFF, 0x2F, 0])
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, division))
        f.write(b"MTrk" + struct.pack(">I", len(track)) + track)


def read_notes(path):
    """Returns the (onset s, note) of every note-on with velocity > 0, from any track."""
    return [(onset, note) for onset, _, note in read_note_spans(path)]


def read_note_spans(path, track=None):
    """Returns the (onset s, offset s, note) of every note, from any track or the one given
    (counted from 0). A note ends at the next note-off (or note-on with velocity 0) of its key;
    one never ended lasts 0 s."""
    notes = []
    sounding = {}  # key -> index in notes
    for seconds, kind, value, where in _timed_events(path):
        if (kind == "off" or kind == "on") and track in (None, where):
            if value in sounding:
                i = sounding.pop(value)
                notes[i] = (notes[i][0], seconds, value)
            if kind == "on":
                sounding[value] = len(notes)
                notes.append((seconds, seconds, value))
    return notes


def read_texts(path):
    """Returns the (time s, text, track) of every text event (meta event 1) of every track."""
    return [(seconds, value, where) for seconds, kind, value, where in _timed_events(path)
            if kind == "text"]


def _read_varlen(data, pos):
    """The variable-length number at pos and the position after it."""
    value = 0
    while True:
        b = data[pos]
        pos += 1
        value = (value << 7) | (b & 0x7F)
        if b < 0x80:
            return value, pos


def _timed_events(path):
    """The (seconds, kind, value, track) of every tempo change, note-on, note-off and text event
    of every track, in time order: tempo first, then note-offs, note-ons and texts at one tick."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"MThd":
        raise ValueError(path + ": not a MIDI file")
    _, _, ntracks, division = struct.unpack(">IHHH", data[4:14])
    pos = 14
    raw = []  # (tick, kind, value, track)
    for track in range(ntracks):
        if data[pos:pos + 4] != b"MTrk":
            raise ValueError(path + ": bad track chunk")
        length = struct.unpack(">I", data[pos + 4:pos + 8])[0]
        end = pos + 8 + length
        pos += 8
        tick = 0
        status = 0
        while pos < end:
            delta, pos = _read_varlen(data, pos)
            tick += delta
            b = data[pos]
            if b == 0xFF:
                kind = data[pos + 1]
                n, pos = _read_varlen(data, pos + 2)
                if kind == 0x51:
                    raw.append((tick, "tempo", int.from_bytes(data[pos:pos + 3], "big"), track))
                elif kind == 0x01:
                    raw.append((tick, "text", data[pos:pos + n].decode("utf-8", "replace"), track))
                pos += n
                continue
            if b in (0xF0, 0xF7):
                n, pos = _read_varlen(data, pos + 1)
                pos += n
                continue
            if b >= 0x80:
                status = b
                pos += 1
            size = 1 if (status & 0xF0) in (0xC0, 0xD0) else 2
            args = data[pos:pos + size]
            pos += size
            if status & 0xF0 == 0x90 and args[1] > 0:
                raw.append((tick, "on", args[0], track))
            elif status & 0xF0 in (0x80, 0x90):
                raw.append((tick, "off", args[0], track))
        pos = end
    order = {"tempo": 0, "off": 1, "on": 2, "text": 3}
    raw.sort(key=lambda e: (e[0], order[e[1]]))
    seconds = 0.0
    last = 0
    tempo = 500000
    for tick, kind, value, track in raw:
        seconds += (tick - last) * tempo / 1e6 / division
        last = tick
        if kind == "tempo":
            tempo = value
        yield seconds, kind, value, track
