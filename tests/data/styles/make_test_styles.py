#!/usr/bin/env python3
"""Writes the small style files the style tests read (run from this folder after a change).

Good files beside this script; malformed ones in malformed/, each of which the reader must read
or refuse without a crash and, for the bad part tables, with the tracks it read still loaded.
"""
import struct

TPQ = 96


def vlq(v):
    out = [v & 0x7F]
    v >>= 7
    while v:
        out.insert(0, (v & 0x7F) | 0x80)
        v >>= 7
    return bytes(out)


def track(events):
    data = b"".join(vlq(d) + e for d, e in events) + b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data


def meta(kind, payload):
    return bytes([0xFF, kind]) + vlq(len(payload)) + payload


def marker(text):
    return meta(0x06, text.encode())


def note(ch, key, length=TPQ, delta=0):
    return [(delta, bytes([0x90 | ch, key, 100])), (length, bytes([0x80 | ch, key, 0]))]


def smf(tracks, fmt=1):
    return b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), TPQ) + b"".join(tracks)


def ctab(source, name, dest, length=27):
    body = bytes([source]) + name.ljust(8).encode()[:8] + bytes([dest]) + bytes(length - 10)
    return b"Ctab" + struct.pack(">I", length) + body


def ctb2(source, name, dest, root=0, chord=2, low=0, high=127, length=47):
    """A newer part entry: the fields of Ctab, then the middle range's bounds and three ranges
    (low, middle, high) of rule, table, high key, low limit, high limit and retrigger rule."""
    head = bytes([source]) + name.ljust(8).encode()[:8] + bytes([dest, 0, 0, 0]) + bytes(5)
    ranges = bytes([0, 2, 7, 0, 127, 0]) + bytes([0, 2, 7, low, high, 0]) + bytes([0, 2, 7, 0, 127, 0])
    body = (head + bytes([root, chord, 48, 72]) + ranges).ljust(length - 0, b"\0")[:length]
    return b"Ctb2" + struct.pack(">I", length) + body


def meter_style(beats, unit, intro=1, main=2, ending=1, setup=True):
    """A style in beats/unit: Intro A, Main A and Ending A of whole bars after a set-up bar (or
    from tick 0 without one), a drum part routed by the table and a chord part on every beat."""
    beat = TPQ * 4 // unit
    bar = beats * beat
    start = bar if setup else 0
    sections = [("Intro A", intro), ("Main A", main), ("Ending A", ending)]
    events, now, at = [(0, meta(0x58, bytes([beats, unit.bit_length() - 1, 24, 8])))], 0, start
    for name, bars in sections:
        if bars:
            events.append((at - now, marker(name)))
            now = at
            at += bars * bar
    end = at

    def part(ch, keys):
        out, t = [], 0
        for tick in range(start, end, beat):
            for k, key in enumerate(keys):
                out.append((tick - t if k == 0 else 0, bytes([0x90 | ch, key, 100])))
                t = tick
            for k, key in enumerate(keys):
                out.append((beat // 2 if k == 0 else 0, bytes([0x80 | ch, key, 0])))
            t = tick + beat // 2
        return track(out)

    tracks = [track(events + [(end - now, meta(0x06, b"End"))])]
    tracks += [part(9, [36]), part(1, [48, 52, 55, 59])]
    return smf(tracks) + casm([ctab(1, "Drums", 8), ctab(2, "Chord", 1)])


def casm(entries, sections=b"Main A", seg_len=None, casm_len=None):
    segment = b"Sdec" + struct.pack(">I", len(sections)) + sections + b"".join(entries)
    seg = b"CSEG" + struct.pack(">I", seg_len if seg_len is not None else len(segment)) + segment
    return b"CASM" + struct.pack(">I", casm_len if casm_len is not None else len(seg)) + seg


# First track: markers only, then three parts whose events use channel 5 (the track order decides)
# and play in "Main A".
markers = track([(0, meta(0x58, bytes([3, 2, 24, 8]))), (TPQ * 3, marker("Intro A")),
                 (TPQ * 6, marker("Main A")), (TPQ * 6, marker("Ending A"))])
parts = [track([(0, bytes([0xC5, 10 + i]))] + note(5, 60 + i, delta=TPQ * 9)) for i in range(3)]
plain = smf([markers] + parts)

files = {
    "plain_three_parts.sty": plain,
    "drums_by_table.sty": plain + casm([ctab(1, "Drums", 8), ctab(2, "Bass", 1), ctab(3, "Chord", 2)]),
    "two_main_a.sty": smf([track([(TPQ, marker("Main A")), (TPQ, marker("Main A"))])] + parts),
    "no_main_a.sty": smf([track([(TPQ, marker("Intro A"))])] + parts),
    "format0.sty": smf([track([(TPQ, marker("Main A"))] + note(2, 60) + note(9, 36))], fmt=0),
    "newer_table.sty": plain + casm([ctb2(1, "Drums", 8), ctb2(2, "Bass", 1, low=36, high=59),
                                     ctb2(3, "Chord", 2)]),
    "ten_eight.sty": meter_style(10, 8),
    "six_eight.sty": meter_style(6, 8),
    # A style editor's file: the set-up marker and "Main A" share tick 0.
    "main_at_tick_zero.sty": smf([track([(0, meta(0x58, bytes([4, 2, 24, 8]))),
                                         (0, marker("SFF1")), (0, marker("Main A")),
                                         (TPQ * 8, marker("Ending A")), (TPQ * 4, marker("End"))])]
                                 + [track(note(2, 60, length=TPQ * 2) + note(2, 64, length=TPQ * 2)
                                          + note(2, 67, length=TPQ * 4))]),
    # Notes only in the intro: "Main A", which every section falls back to, plays nothing.
    "silent_main.sty": smf([track([(TPQ * 4, marker("Intro A")), (TPQ * 4, marker("Main A")),
                                   (TPQ * 4, meta(0x2F, b""))])]
                           + [track(note(1, 60, delta=TPQ * 4))]),
}
malformed = {
    "empty.sty": b"",
    "header_only.sty": smf([]),
    "truncated_track.sty": plain[:-9],
    "casm_tag_only.sty": plain + b"CASM",
    "casm_length_past_end.sty": plain + casm([ctab(1, "Drums", 8)], casm_len=0x7FFFFFFF),
    "cseg_length_past_end.sty": plain + casm([ctab(1, "Drums", 8)], seg_len=0xFFFFFFF0),
    "sdec_length_past_end.sty": plain + b"CASM\x00\x00\x00\x20CSEG\x00\x00\x00\x18Sdec\xff\xff\xff\xff",
    "ctab_length_past_end.sty": plain + casm([ctab(1, "Drums", 8)])[:-5],
    "ctab_short_entry.sty": plain + casm([ctab(1, "Drums", 8), ctab(2, "Bass", 1, length=20)]),
    "ctab_bad_channel.sty": plain + casm([ctab(1, "Drums", 8), ctab(2, "Bass", 16)]),
    "ctb2_short_entry.sty": plain + casm([ctb2(1, "Drums", 8), ctb2(2, "Bass", 1, length=39)]),
    "ctab_huge_length.sty": plain + casm([ctab(1, "Drums", 8), b"Ctab\xff\xff\xff\xff"]),
    "casm_garbage.sty": plain + bytes(range(256)) * 2,
}
for name, data in files.items():
    open(name, "wb").write(data)
for name, data in malformed.items():
    open("malformed/" + name, "wb").write(data)
