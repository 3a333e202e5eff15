#!/bin/sh
# Installs the build into a temporary prefix and runs the installed program from there: its
# version, and a whole song made from a shipped sample melody with a shipped style, which the
# program must find in <prefix>/share/cantova (nothing beside it points at the build folder).
# Usage: installed_program.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > "$prefix/install.log"
for f in bin/cantova share/cantova/Styles/Bossa.sty share/cantova/help.html \
         share/cantova/samples/ode-to-joy.flac share/cantova/translations/cantova.qm \
         share/applications/org.orvane.Cantova.desktop \
         share/metainfo/org.orvane.Cantova.metainfo.xml share/mime/packages/cantova.xml \
         share/icons/hicolor/48x48/apps/org.orvane.Cantova.png \
         share/icons/hicolor/scalable/apps/org.orvane.Cantova.svg; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
"$prefix/bin/cantova" --version | grep -q '^Cantova '
"$prefix/bin/cantova" make-song "$prefix/share/cantova/samples/ode-to-joy.flac" --tempo 126 \
  --style Bossa -o "$prefix/song.mid" > "$prefix/make-song.log"
"$prefix/bin/cantova" info "$prefix/song.mid" | grep -q 'Bossa'
echo "installed program ran from $prefix"
