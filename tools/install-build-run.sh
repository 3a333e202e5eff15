#!/bin/sh
# Installs what Cantova needs, builds it (optimised) and starts it.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-packages.sh"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCANTOVA_BUILD_TESTS=OFF
cmake --build "$top/build"
exec "$top/build/app/cantova" "$@"
