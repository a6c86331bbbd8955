#!/bin/sh
# Compares inkslab with ImageMagick on the same 1920x1080 two-line card.
# usage: bench/inkslab/run.sh [build folder or path/to/inkslab] [path/to/convert or magick] [runs]
# Like the other benchmarks it takes the build folder (scripts/bench.sh passes it), or inkslab
# itself. Needs python3, ImageMagick and, on Linux, the Inter font (fonts-inter).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
inkslab=${1:-$(ls "$top"/build/*/Kestrova.app/Contents/Resources/engine/runtime/inkslab 2>/dev/null | head -n 1)}
if [ -d "$inkslab" ]; then
    inkslab=$inkslab/Kestrova.app/Contents/Resources/engine/runtime/inkslab
fi
if [ -z "$inkslab" ] || [ ! -x "$inkslab" ]; then
    echo "inkslab not built; pass its build folder or its path as the first argument" >&2
    exit 1
fi
exec python3 "$here/measure.py" "$inkslab" "${2:-/usr/bin/convert}" "${3:-21}"
