#!/bin/sh
# Builds transcribe_raw, optimised, from a source tree's transcribe/ folder and its error log.
# Usage: build_transcribe_raw.sh SOURCE_TREE OUTPUT_BINARY
# Needs g++, qt6-base-dev and libfftw3-dev. Pointing SOURCE_TREE at an older checkout measures
# the engine before a change beside the engine after it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tree=$1
out=$2
engine="analysis_parameters harmonic_group harmonic_mask note_builder note_refiner partial_track
partial_tracker real_fft spectrum_analyser track_detector transcription_engine"
for extra in melody_shaper singer_tuning; do
  [ -f "$tree/transcribe/$extra.cpp" ] && engine="$engine $extra"
done
sources=""
for name in $engine; do sources="$sources $tree/transcribe/$name.cpp"; done
# shellcheck disable=SC2086
g++ -std=c++20 -O2 -DNDEBUG -fPIC -I"$tree/transcribe" -I"$tree/session" \
  $(pkg-config --cflags Qt6Core fftw3f) "$here/transcribe_raw.cpp" $sources \
  "$tree/session/error_log.cpp" $(pkg-config --libs Qt6Core fftw3f) -o "$out"
