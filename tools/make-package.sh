#!/bin/sh
# Builds Cantova's Debian package from this repository: an optimised build installed under /usr,
# packed by CPack into build-package/cantova_<version>_<arch>.deb. Install it with
#   sudo apt install ./build-package/cantova_*.deb
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-packages.sh"
build="$top/build-package"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCANTOVA_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build"
(cd "$build" && cpack -G DEB)
ls "$build"/cantova_*.deb
