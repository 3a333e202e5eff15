#!/usr/bin/env python3
"""Writes the small seed inputs of the fuzz targets into corpus/<target>/ (seed-* files).

The WAV, FLAC and peak seeds are made here; the FLAC one with sox when it is installed. The MP3
seed (corpus/audio_file/seed-tone.mp3) was written once by the sound file library and is kept
as it is.
"""
import os
import shutil
import struct
import subprocess
import wave

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def meta(delta, kind, data):
    return vlq(delta) + bytes([0xFF, kind]) + vlq(len(data)) + data


def track(events):
    data = events + b"\x00\xFF\x2F\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data


def header(fmt, tracks, division):
    return b"MThd" + struct.pack(">IHHH", 6, fmt, tracks, division)


def song():
    """A song as the program saves it: marker, key, tempo and meter, then melody and chords."""
    conductor = (meta(0, 0x01, b"cantova3010Pop.sty") + meta(0, 0x59, bytes([0xFF, 0]))
                 + meta(0, 0x51, bytes([0x07, 0xA1, 0x20])) + meta(0, 0x58, bytes([3, 2, 24, 8]))
                 + meta(1440, 0x51, bytes([0x09, 0x27, 0xC0])))
    melody = (meta(0, 0x03, b"Melody") + bytes([0, 0xC2, 5]) + meta(0, 0x01, b"[Am")
              + meta(0, 0x06, b"Main A") + bytes([0, 0x92, 60, 100, 0x83, 0x60, 62, 90])
              + bytes([0x83, 0x60, 60, 0, 0, 62, 0]) + meta(0, 0x01, b"[G7"))
    drums = bytes([0, 0x99, 36, 100, 0x60, 0x89, 36, 0])
    return header(1, 3, 480) + track(conductor) + track(melody) + track(drums)


def imported():
    """A format 0 file from elsewhere: two channels in one track, running status."""
    events = (meta(0, 0x51, bytes([0x07, 0xA1, 0x20])) + bytes([0, 0x90, 60, 100, 0x60, 64, 100])
              + bytes([0, 0x91, 40, 80, 0x60, 0x80, 60, 0, 0, 64, 0, 0, 0x81, 40, 0]))
    return header(0, 1, 96) + track(events)


def wav(name, channels, width, frames):
    path = os.path.join(HERE, "corpus", "audio_file", name)
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(width)
        w.setframerate(8000)
        w.writeframes(bytes((i * 37) & 0xFF for i in range(frames * channels * width)))
    return path


def peaks(channels, records, first=1):
    body = struct.pack("<HH", 1024, channels)
    body += bytes((i * 11) & 0xFF for i in range(records * 2 * channels))
    return bytes([first]) + body


def main():
    put("midi_reader", "seed-song.mid", song())
    put("midi_reader", "seed-format0.mid", imported())
    put("song_file", "seed-song.mid", song())
    put("song_file", "seed-format0.mid", imported())
    os.makedirs(os.path.join(HERE, "corpus", "audio_file"), exist_ok=True)
    mono = wav("seed-mono16.wav", 1, 2, 64)
    wav("seed-stereo8.wav", 2, 1, 40)
    if shutil.which("sox"):
        subprocess.run(["sox", mono, os.path.join(HERE, "corpus", "audio_file", "seed-mono.flac")],
                       check=True)
    put("peak_file", "seed-mono", peaks(1, 20))
    put("peak_file", "seed-stereo", peaks(2, 70, first=2))
    put("peak_file", "seed-other-count", peaks(2, 3, first=1))
    put("peak_file", "seed-bad-header", struct.pack("<BHH", 0, 512, 1) + b"\x00" * 8)
    put("style_reader", "seed-none", b"")


if __name__ == "__main__":
    main()
