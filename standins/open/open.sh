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
setsid -f "$program" </dev/null >/dev/null 2>&1
