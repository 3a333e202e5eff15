#!/bin/sh
# Runs each fuzz target of the file readers for a given time, one after the other, and prints
# a line per target: executions, coverage (edges), corpus size and findings.
#
#   tools/run-fuzzers.sh SECONDS [TARGET...]     (targets: midi_reader song_file style_reader
#                                                 audio_file peak_file; default all)
#
# Builds them first in build-fuzz (clang, -DCANTOVA_FUZZ=ON). The working corpus of each target
# grows in build-fuzz/fuzz-corpus/NAME, starting from the kept one (tests/fuzz/corpus/NAME and
# the test data it names); a crashing input lands in build-fuzz/fuzz-findings/NAME: keep it in
# tests/fuzz/corpus/NAME (small files only) with the fix, so that replay_NAME keeps checking it.
# Runs at low priority (nice 10).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?usage: run-fuzzers.sh SECONDS [TARGET...]}
shift
targets=${*:-midi_reader song_file style_reader audio_file peak_file}
build="$top/build-fuzz"
data="$top/tests/data"

seeds() {
    echo "$top/tests/fuzz/corpus/$1"
    case $1 in
    midi_reader | song_file) echo "$data/midi/malformed" ;;
    style_reader) echo "$data/styles $data/styles/malformed" ;;
    esac
}

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS=-O1 -DCMAKE_C_FLAGS=-O1 -DCANTOVA_FUZZ=ON -DCANTOVA_BUILD_TESTS=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
for t in $targets; do
    nice -n 10 cmake --build "$build" -j2 --target "fuzz_$t" >/dev/null
done

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export QT_QPA_PLATFORM=offscreen
printf '%-13s %8s %10s %8s %8s %s\n' target seconds execs edges corpus findings
for t in $targets; do
    corpus="$build/fuzz-corpus/$t"
    findings="$build/fuzz-findings/$t"
    log="$build/fuzz-$t.log"
    mkdir -p "$corpus" "$findings"
    # A run stops at its first finding. The rss and malloc limits make an allocation sized
    # from an unchecked length a finding too.
    nice -n 10 "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
        -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=10 -artifact_prefix="$findings/" \
        "$corpus" $(seeds "$t") >"$log" 2>&1 || true
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    edges=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    size=$(ls "$corpus" | wc -l)
    found=$(ls "$findings" | wc -l)
    printf '%-13s %8s %10s %8s %8s %s\n' "$t" "$seconds" "${execs:-?}" "${edges:-?}" "$size" \
        "$found (log: $log)"
done
