#!/bin/sh
# Every subcommand of the program given an input it cannot use (a missing file, a folder, an
# empty file, a file it may not read) or an output in a folder it may not write to: each must
# exit non-zero with a message naming the problem and leave nothing (not even a temporary file)
# in the output folder.
# Usage: command_line_bad_input.sh PROGRAM TEST_DATA_DIR
#
# Permissions do not stop root: run as root, the unreadable-input and read-only-output cases
# run the program as the user nobody (setpriv), on a copy of it in a folder nobody can reach.
set -eu
program=$1
data=$2
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
failures=0

mkdir "$work/in" "$work/in/folder.mid" "$work/in/folder.wav" "$work/out" "$work/readonly"
touch "$work/in/empty.mid" "$work/in/empty.wav"
echo "these are words, not samples" > "$work/in/notes.wav"
cp "$data/../fuzz/corpus/audio_file/seed-mono16.wav" "$work/in/tone.wav"
cp "$data/../fuzz/corpus/song_file/seed-format0.mid" "$work/in/melody.mid"
cp "$data/../fuzz/corpus/song_file/seed-song.mid" "$work/in/song.mid"
cp "$work/in/tone.wav" "$work/in/secret.wav"
cp "$work/in/melody.mid" "$work/in/secret.mid"
chmod 000 "$work/in/secret.wav" "$work/in/secret.mid"
chmod 555 "$work/readonly"
chmod -R a+rX "$work/in"
chmod 000 "$work/in/secret.wav" "$work/in/secret.mid"
chmod 777 "$work/out"

as_user=""
if [ "$(id -u)" = 0 ]; then
    if ! command -v setpriv > /dev/null; then
        echo "setpriv is needed to run the permission cases as root"
        exit 1
    fi
    # nobody must be able to run the program: a copy in the work folder.
    cp "$program" "$work/cantova"
    chmod 755 "$work/cantova"
    program="$work/cantova"
    as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi

# check NAME USER(yes/no) ARGS...: the program must fail with a message (matching $expect when
# that is set, with $first in its first line when that is set, and $once in one line only when
# that is set), and out/ and readonly/ must stay empty.
check() {
    name=$1
    user=$2
    shift 2
    if [ "$user" = yes ] && [ -n "$as_user" ]; then
        runner=$as_user
    else
        runner=""
    fi
    set +e
    HOME="$work" $runner "$program" "$@" > "$work/stdout" 2> "$work/stderr" < /dev/null
    code=$?
    set -e
    left=$(ls -A "$work/out" "$work/readonly" | grep -v ':$' | grep -v '^$' || true)
    problem=""
    if [ "$code" = 0 ]; then
        problem="exit code 0"
    elif [ "$code" -ge 128 ]; then
        problem="killed by signal $((code - 128))"
    elif [ ! -s "$work/stderr" ]; then
        problem="no message"
    elif [ -n "${expect:-}" ] && ! grep -qi "$expect" "$work/stderr"; then
        problem="the message does not say '$expect'"
    elif [ -n "${first:-}" ] && ! head -n 1 "$work/stderr" | grep -qF "$first"; then
        problem="the first line does not say '$first'"
    elif [ -n "${once:-}" ] && [ "$(grep -cF "$once" "$work/stderr")" != 1 ]; then
        problem="'$once' is not said exactly once"
    elif [ -n "$left" ]; then
        problem="left behind: $left"
    fi
    if [ -n "$problem" ]; then
        echo "FAIL $name: $problem"
        sed 's/^/    /' "$work/stderr" | head -n 5
        failures=$((failures + 1))
    else
        echo "ok   $name: $(head -n 1 "$work/stderr")"
        if [ -n "${expect:-}" ]; then
            echo "         $(grep -i "$expect" "$work/stderr" | head -n 1)"
        fi
    fi
    rm -rf "$work/out/"* "$work/out/".[!.]* 2> /dev/null || true
}

# transcribe keeps the program's message first; the line after it says what is wrong.
first="Cannot read the audio data from file."
for input in missing.wav folder.wav empty.wav secret.wav notes.wav; do
    user=no
    case $input in
        missing.wav) expect="missing.wav: no such file" ;;
        folder.wav) expect="is a folder" ;;
        empty.wav) expect="is empty" ;;
        secret.wav) expect="cannot be read" user=yes ;;
        notes.wav) expect="holds no audio" ;;
    esac
    check "transcribe $input" $user transcribe "$work/in/$input" "$work/out/t.mid"
done
first=""
expect=""
check "transcribe into a read-only folder" yes transcribe "$work/in/tone.wav" "$work/readonly/t.mid"

for input in missing.mid folder.mid empty.mid secret.mid; do
    user=no
    expect=""
    [ "$input" = secret.mid ] && user=yes
    [ "$input" = folder.mid ] && expect="folder\|directory"
    check "make-song $input" $user make-song "$work/in/$input" -o "$work/out/s.mid"
    [ "$input" = empty.mid ] && once="not a Standard MIDI File"
    check "info $input" $user info "$work/in/$input"
    once=""
    check "lead-sheet $input" $user lead-sheet "$work/in/$input" -o "$work/out/s.musicxml"
done
expect=""
check "make-song into a read-only folder" yes make-song "$work/in/melody.mid" \
    -o "$work/readonly/s.mid"
check "lead-sheet into a read-only folder" yes lead-sheet "$work/in/song.mid" \
    -o "$work/readonly/s.musicxml"

# The disk fills while the song is rendered (no file may grow past 40 blocks): a message, a
# non-zero exit, the audio file that was there kept and nothing half-written beside it.
echo keep > "$work/out/r.wav"
set +e
(
    trap '' XFSZ
    ulimit -f 40
    HOME="$work" "$program" make-song "$work/in/melody.mid" -o "$work/out/r.mid" \
        --render "$work/out/r.wav" > /dev/null 2> "$work/stderr" < /dev/null
)
code=$?
set -e
left=$(ls -A "$work/out" | tr '\n' ' ')
if [ "$code" = 0 ] || [ "$(cat "$work/out/r.wav")" != keep ] || [ "$left" != "r.mid r.wav " ] ||
    ! grep -q "Cannot write the audio file" "$work/stderr"; then
    echo "FAIL render on a full disk: exit $code, left: $left"
    sed 's/^/    /' "$work/stderr" | tail -n 3
    failures=$((failures + 1))
else
    echo "ok   render on a full disk: $(tail -n 1 "$work/stderr")"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures case(s) failed"
    exit 1
fi
echo "every bad input was refused cleanly"
