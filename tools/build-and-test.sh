#!/bin/sh
# Installs what Cantova needs, builds it once with AddressSanitizer and
# UndefinedBehaviorSanitizer (debug) and runs every test headless.
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
cd "$build"
ctest --output-on-failure -j "$(nproc)"
