#!/bin/sh
# Makes songs from MIDI melodies with every shipped style and both chord finders and prints one
# checksum per song made, so two builds of cantova can be compared byte for byte:
#   tools/compare-make-song.sh build-a/app/cantova melodies/ > a.txt
#   tools/compare-make-song.sh build-b/app/cantova melodies/ > b.txt && diff a.txt b.txt
# melodies/ holds *.mid files (e.g. made once with `cantova transcribe`). The two checksums are
# of the song saved and of what the command printed.
set -eu
cantova=$1
melodies=$2
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
for melody in "$melodies"/*.mid; do
    for style in "$top"/resources/Styles/*.sty; do
        for chords in progression classic; do
            out="$work/song.mid"
            "$cantova" make-song "$melody" -o "$out" --style "$style" --chords "$chords" \
                >"$work/stdout" 2>"$work/stderr" || echo "failed: $melody $style $chords"
            printf '%s %s %s %s %s\n' "$(basename "$melody")" "$(basename "$style")" "$chords" \
                "$(md5sum <"$out" | cut -c1-32)" \
                "$(sed "s|$work|WORK|g" "$work/stdout" | md5sum | cut -c1-32)"
        done
    done
done
