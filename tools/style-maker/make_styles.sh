#!/bin/sh
# Builds every style description of styles/ into resources/Styles/ (run after editing one). Each
# file is named after the style its description names ("style Pop 8 Beat" -> "Pop 8 Beat.sty").
set -e
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../../resources/Styles"
mkdir -p "$out"
for description in "$here"/styles/*.txt; do
  name=$(sed -n 's/^style[[:space:]]\{1,\}//p' "$description" | head -n 1)
  python3 "$here/style_maker.py" "$description" "$out/$name.sty"
done
