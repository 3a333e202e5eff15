#!/bin/sh
# Installs what Cantova needs, builds it once with AddressSanitizer and
# UndefinedBehaviorSanitizer (debug) and runs every test headless; then builds the tests of
# the threads' boundary (session, engines, devices) with ThreadSanitizer and runs them.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-packages.sh"
build="$top/build-tests"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCANTOVA_SANITIZE=ON -DCANTOVA_BUILD_TESTS=ON
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0"
(cd "$build" && ctest --output-on-failure -j "$(nproc)")

# ThreadSanitizer: only the tests where the GUI thread, the audio callback, the MIDI output
# thread and the sequencer's delivery thread meet, so this build stays small.
tsan_tests="tst_edit_lock tst_session tst_bus_command tst_audio_engine tst_audio_engine_device
  tst_engine_stress tst_midi_engine tst_sequencer_layer tst_offline_audio_client"
tsan="$top/build-tsan"
cmake -S "$top" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCANTOVA_TSAN=ON -DCANTOVA_BUILD_TESTS=ON
# shellcheck disable=SC2086 # one target per word
cmake --build "$tsan" --target $tsan_tests
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$top/tests/tsan.supp"
(cd "$tsan" && ctest --output-on-failure -j "$(nproc)" -R "^($(echo $tsan_tests | tr ' ' '|'))\$")
