#!/bin/sh
# Installs what Cantova needs, builds it (optimised) and starts it. Without a display it makes a
# song from one of the sample melodies instead and says where it went.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-packages.sh"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCANTOVA_BUILD_TESTS=OFF
cmake --build "$top/build"
if [ $# -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  out="$top/build/demo"
  mkdir -p "$out"
  echo "No display: making a song from samples/ode-to-joy.flac into $out"
  "$top/build/app/cantova" make-song "$top/samples/ode-to-joy.flac" --tempo 126 \
    --style "Pop 8 Beat" -o "$out/ode-to-joy.mid" --render "$out/ode-to-joy.wav"
  exit 0
fi
exec "$top/build/app/cantova" "$@"
