#!/bin/bash
# Stand-in for ditto SRC DST: copies a file or a folder's whole hierarchy to DST, keeping modes,
# times and links; an existing DST folder receives SRC's contents.
set -u
if [ $# -ne 2 ]; then
  echo "usage: ditto SRC DST" >&2
  exit 1
fi
src="$1"; dst="$2"
if [ ! -e "$src" ] && [ ! -L "$src" ]; then
  echo "ditto: $src: No such file or directory" >&2
  exit 1
fi
if [ -d "$src" ] && [ ! -L "$src" ]; then
  mkdir -p "$dst" && cp -a "$src/." "$dst/" || { echo "ditto: could not copy $src" >&2; exit 1; }
else
  mkdir -p "$(dirname "$dst")" && cp -a "$src" "$dst" || { echo "ditto: could not copy $src" >&2; exit 1; }
fi
