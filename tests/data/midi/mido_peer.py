#!/usr/bin/env python3
"""An independent MIDI file reader and writer for Cantova's interoperability test (mido).

  mido_peer.py dump FILE        prints "type ticks_per_beat", then per track a line "track N"
                                and one line per message: absolute tick, type, sorted fields
  mido_peer.py resave IN OUT    reads IN and writes it again as OUT
  mido_peer.py write FILE       writes a format-1 song (tempo map, melody, drums)
  mido_peer.py write0 FILE      writes a format-0 file with two channels
"""
import sys

import mido
from mido import Message, MetaMessage, MidiFile, MidiTrack


def field(value):
    if isinstance(value, (list, tuple)):
        return "-".join(str(v) for v in value)
    return str(value)


def dump(path):
    mid = MidiFile(path)
    print(mid.type, mid.ticks_per_beat)
    for index, track in enumerate(mid.tracks):
        print("track", index)
        tick = 0
        for msg in track:
            tick += msg.time
            fields = {k: v for k, v in vars(msg).items() if k not in ("type", "time")}
            text = " ".join("%s=%s" % (k, field(fields[k])) for k in sorted(fields))
            print(("%d %s %s" % (tick, msg.type, text)).rstrip())


def write(path):
    mid = MidiFile(type=1, ticks_per_beat=96)
    conductor = MidiTrack()
    conductor.append(MetaMessage("set_tempo", tempo=mido.bpm2tempo(90), time=0))
    conductor.append(MetaMessage("time_signature", numerator=3, denominator=4, time=0))
    conductor.append(MetaMessage("set_tempo", tempo=400000, time=576))
    melody = MidiTrack()
    melody.append(MetaMessage("track_name", name="Peer melody", time=0))
    melody.append(Message("program_change", channel=4, program=20, time=0))
    melody.append(Message("note_on", channel=4, note=67, velocity=100, time=0))
    melody.append(Message("note_on", channel=4, note=67, velocity=0, time=96))
    melody.append(Message("note_on", channel=4, note=69, velocity=80, time=0))
    melody.append(Message("note_off", channel=4, note=69, velocity=64, time=48))
    melody.append(Message("control_change", channel=4, control=64, value=127, time=0))
    melody.append(Message("pitchwheel", channel=4, pitch=-2000, time=10))
    melody.append(Message("note_on", channel=4, note=71, velocity=90, time=10))
    melody.append(MetaMessage("end_of_track", time=96))
    drums = MidiTrack()
    for start in (0, 48):
        drums.append(Message("note_on", channel=9, note=35, velocity=100, time=start and 24))
        drums.append(Message("note_off", channel=9, note=35, velocity=0, time=24))
    mid.tracks.extend([conductor, melody, drums])
    mid.save(path)


def write0(path):
    mid = MidiFile(type=0, ticks_per_beat=480)
    track = MidiTrack()
    track.append(MetaMessage("text", text="both", time=0))
    track.append(Message("note_on", channel=0, note=60, velocity=100, time=0))
    track.append(Message("note_on", channel=5, note=62, velocity=90, time=240))
    track.append(Message("control_change", channel=5, control=7, value=100, time=0))
    track.append(Message("note_off", channel=0, note=60, velocity=0, time=240))
    track.append(Message("note_off", channel=5, note=62, velocity=0, time=240))
    mid.tracks.append(track)
    mid.save(path)


def main(argv):
    command = argv[1]
    if command == "dump":
        dump(argv[2])
    elif command == "resave":
        MidiFile(argv[2]).save(argv[3])
    elif command == "write":
        write(argv[2])
    elif command == "write0":
        write0(argv[2])
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main(sys.argv)
