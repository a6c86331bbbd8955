#!/bin/sh
# Compares inkslab with ImageMagick's convert on the same 1920x1080 two-line card.
# usage: bench/inkslab/run.sh [path/to/inkslab] [path/to/convert] [runs]
# Needs python3, ImageMagick and the Inter font (fonts-inter).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
inkslab=${1:-$(ls "$top"/build/*/Kestrova.app/Contents/Resources/engine/runtime/inkslab 2>/dev/null | head -n 1)}
if [ -z "$inkslab" ] || [ ! -x "$inkslab" ]; then
    echo "inkslab not built; pass its path as the first argument" >&2
    exit 1
fi
exec python3 "$here/measure.py" "$inkslab" "${2:-/usr/bin/convert}" "${3:-21}"
