#!/bin/sh
# Builds every style description of styles/ into resources/Styles/ (run after editing one).
set -e
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../../resources/Styles"
mkdir -p "$out"
python3 "$here/style_maker.py" "$here/styles/pop_8beat.txt" "$out/Pop 8 Beat.sty"
python3 "$here/style_maker.py" "$here/styles/rock.txt" "$out/Rock.sty"
python3 "$here/style_maker.py" "$here/styles/waltz.txt" "$out/Waltz.sty"
python3 "$here/style_maker.py" "$here/styles/ballad_68.txt" "$out/Ballad 6-8.sty"
python3 "$here/style_maker.py" "$here/styles/bossa.txt" "$out/Bossa.sty"
