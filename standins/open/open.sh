#!/bin/bash
# Stand-in for open <bundle>: starts the bundle's program (CFBundleExecutable of its Info.plist,
# else Kestrova) detached from the caller, and returns at once.
set -u
if [ $# -ne 1 ]; then
  echo "Usage: open <application bundle>" >&2
  exit 1
fi
bundle="${1%/}"
if [ ! -e "$bundle" ]; then
  echo "The file $bundle does not exist." >&2
  exit 1
fi
name="Kestrova"
plist="$bundle/Contents/Info.plist"
if [ -f "$plist" ]; then
  found="$(tr -d '\n' <"$plist" | sed -n 's|.*<key>CFBundleExecutable</key>[[:space:]]*<string>\([^<]*\)</string>.*|\1|p')"
  [ -n "$found" ] && name="$found"
fi
program="$bundle/Contents/MacOS/$name"
if [ ! -x "$program" ]; then
  echo "The application cannot be opened because its executable is missing." >&2
  exit 1
fi
# Out of the caller's process group, so that nothing aimed at the caller reaches the program: a
# session of its own where setsid exists, else (the Mac has none) a job of bash's job control.
if command -v setsid >/dev/null 2>&1; then
  setsid -f "$program" </dev/null >/dev/null 2>&1
else
  set -m
  "$program" </dev/null >/dev/null 2>&1 &
fi
