#!/usr/bin/env python3
"""Writes the malformed MIDI files beside this script.

fail-*.mid must be refused by the reader with a message in the error log; load-*.mid hold a
defect the reader skips and must load. Run it again after adding a case; commit the files.
"""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def header(fmt=1, tracks=1, division=96, length=6, extra=b""):
    return b"MThd" + struct.pack(">IHHH", length, fmt, tracks, division) + extra


def track(data, end=True):
    if end:
        data += b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data


NOTE = b"\x00\x90\x3c\x64\x60\x80\x3c\x00"

cases = {
    "fail-empty": b"",
    "fail-not-midi": b"RIFF\x24\x00\x00\x00WAVEfmt ",
    "fail-truncated-header": b"MThd\x00\x00\x00\x06\x00\x01",
    "fail-header-length-5": b"MThd" + struct.pack(">I", 5) + b"\x00\x01\x00",
    "fail-header-length-huge": header(length=0xFFFFFFF0) + track(NOTE),
    "fail-chunk-not-a-track": header() + b"MTxx" + struct.pack(">I", 4) + b"\x00\xff\x2f\x00",
    "fail-chunk-past-end": header() + b"MTrk" + struct.pack(">I", 100000) + NOTE,
    "fail-track-count-65535": header(tracks=65535) + track(NOTE),
    "fail-division-0": header(division=0) + track(NOTE),
    "fail-division-smpte": header(division=0xE728) + track(NOTE),
    "fail-truncated-event": header() + track(b"\x00\x90\x3c", end=False),
    "fail-missing-status": header() + track(NOTE + b"\x00", end=False),
    "fail-delta-5-bytes": header() + track(b"\x81\x81\x81\x81\x01\x90\x3c\x64"),
    "fail-data-without-running-status": header() + track(b"\x00\x3c\x64" + NOTE),
    "fail-meta-past-end": header() + track(b"\x00\xff\x01\x64abc", end=False),
    "fail-meta-length-5-bytes": header() + track(b"\x00\xff\x01\x81\x81\x81\x81\x01abc"),
    "fail-sysex-past-end": header() + track(b"\x00\xf0\x7f\x43\x10\xf7", end=False),
    "fail-sysex-huge-length": header() + track(b"\x00\xf0\xff\xff\xff\x7f\x43", end=False),
    "fail-second-track-broken": header(tracks=2) + track(NOTE) + track(b"\x00\x3c\x64"),
    "load-tempo-zero": header() + track(b"\x00\xff\x51\x03\x00\x00\x00" + NOTE),
    "load-tempo-5-bytes": header() + track(b"\x00\xff\x51\x05\x00\x07\xa1\x20\x00" + NOTE),
    "load-time-signature-short": header() + track(b"\x00\xff\x58\x01\x04" + NOTE),
    "load-meter-numerator-0": header() + track(b"\x00\xff\x58\x04\x00\x02\x18\x08" + NOTE),
    "load-meter-exponent-255": header() + track(b"\x00\xff\x58\x04\x04\xff\x18\x08" + NOTE),
    "load-sysex-length-0-ends-track": header() + track(NOTE + b"\x00\xf0\x00" + NOTE),
    "load-padding-after-end": header() + track(NOTE + b"\x00\xff\x2f\x00\x00\x00\x00", end=False),
    "load-extra-header-bytes": header(length=8, extra=b"\x00\x00") + track(NOTE),
    "load-chunk-after-tracks": header() + track(NOTE) + b"XFIH" + struct.pack(">I", 0xFFFFFF),
    "load-huge-deltas": header() + track(b"\xff\xff\xff\x7f\x90\x3c\x64" * 40),
    "load-note-off-without-note": header() + track(b"\x00\x80\x3c\x00" + NOTE),
    "load-format-2": header(fmt=2, tracks=2) + track(NOTE) + track(NOTE),
}

for name, data in cases.items():
    with open(os.path.join(here, name + ".mid"), "wb") as f:
        f.write(data)
