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


def note(ch, key, length=TPQ):
    return [(0, bytes([0x90 | ch, key, 100])), (length, bytes([0x80 | ch, key, 0]))]


def smf(tracks, fmt=1):
    return b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), TPQ) + b"".join(tracks)


def ctab(source, name, dest, length=27):
    body = bytes([source]) + name.ljust(8).encode()[:8] + bytes([dest]) + bytes(length - 10)
    return b"Ctab" + struct.pack(">I", length) + body


def casm(entries, sections=b"Main A", seg_len=None, casm_len=None):
    segment = b"Sdec" + struct.pack(">I", len(sections)) + sections + b"".join(entries)
    seg = b"CSEG" + struct.pack(">I", seg_len if seg_len is not None else len(segment)) + segment
    return b"CASM" + struct.pack(">I", casm_len if casm_len is not None else len(seg)) + seg


# First track: markers only, then three parts whose events use channel 5 (the track order decides).
markers = track([(0, meta(0x58, bytes([3, 2, 24, 8]))), (TPQ * 3, marker("Intro A")),
                 (TPQ * 6, marker("Main A")), (TPQ * 6, marker("Ending A"))])
parts = [track([(0, bytes([0xC5, 10 + i]))] + note(5, 60 + i)) for i in range(3)]
plain = smf([markers] + parts)

files = {
    "plain_three_parts.sty": plain,
    "drums_by_table.sty": plain + casm([ctab(1, "Drums", 8), ctab(2, "Bass", 1), ctab(3, "Chord", 2)]),
    "two_main_a.sty": smf([track([(TPQ, marker("Main A")), (TPQ, marker("Main A"))])] + parts),
    "no_main_a.sty": smf([track([(TPQ, marker("Intro A"))])] + parts),
    "format0.sty": smf([track([(TPQ, marker("Main A"))] + note(2, 60) + note(9, 36))], fmt=0),
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
    "ctab_huge_length.sty": plain + casm([ctab(1, "Drums", 8), b"Ctab\xff\xff\xff\xff"]),
    "casm_garbage.sty": plain + bytes(range(256)) * 2,
}
for name, data in files.items():
    open(name, "wb").write(data)
for name, data in malformed.items():
    open("malformed/" + name, "wb").write(data)
