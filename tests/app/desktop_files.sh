#!/bin/sh
# The launcher, the software-centre description and the MIME type pass the desktop's own
# validators, and *.sty resolves to the style type ahead of TeX's style sheets.
# Usage: desktop_files.sh SOURCE_DIR
set -eu
desktop=$1/resources/desktop
desktop-file-validate "$desktop/org.orvane.Cantova.desktop"
appstreamcli validate --no-net "$desktop/org.orvane.Cantova.metainfo.xml"
mime=$(mktemp -d)
trap 'rm -rf "$mime"' EXIT
mkdir -p "$mime/packages"
cp "$desktop/cantova-mime.xml" "$mime/packages/cantova.xml"
cp /usr/share/mime/packages/freedesktop.org.xml "$mime/packages/"
update-mime-database "$mime"
grep -q '^60:application/x-cantova-style:\*\.sty$' "$mime/globs2"
# The launcher offers every type the MIME file defines.
grep -q '^MimeType=.*application/x-cantova-style;' "$desktop/org.orvane.Cantova.desktop"
echo "desktop files valid"
