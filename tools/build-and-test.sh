#!/bin/sh
# Installs what Cantova needs, builds it once with AddressSanitizer and
# UndefinedBehaviorSanitizer (debug) and runs every test headless; then builds
# the threaded tests (ctest label "threads") with ThreadSanitizer in a tree of
# their own and runs them.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-packages.sh" --tests
build="$top/build-tests"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCANTOVA_SANITIZE=ON -DCANTOVA_BUILD_TESTS=ON
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0"
cd "$build"
ctest --output-on-failure -j "$(nproc)"

# ThreadSanitizer: the tests where threads meet (the engines, devices, session, window).
tsan="$top/build-tsan"
cmake -S "$top" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCANTOVA_TSAN=ON -DCANTOVA_BUILD_TESTS=ON
cmake --build "$tsan" --target threaded_tests
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$top/tests/tsan.supp"
cd "$tsan"
ctest --output-on-failure -j "$(nproc)" -L threads
