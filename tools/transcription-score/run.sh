#!/bin/sh
# Makes the transcription test set (if missing) and scores `cantova transcribe` on it.
# Usage: tools/transcription-score/run.sh CANTOVA_BINARY [SET_DIR]
# Needs python3, fluidsynth, sox and the fluid-soundfont-gm package.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
binary=$1
set_dir=${2:-${TMPDIR:-/tmp}/cantova-transcription-set}
if [ ! -f "$set_dir/.complete" ]; then
  python3 "$here/make_set.py" "$set_dir"
  touch "$set_dir/.complete"
fi
python3 "$here/score.py" "$set_dir" "$binary"
