#!/usr/bin/env bash
# Checks a built Kestrova.app on a Mac: its Info.plist, its ad-hoc signature and that its program
# carries both architectures.
set -euo pipefail
bundle=${1:?usage: check-mac-bundle.sh path/to/Kestrova.app}
plist=$bundle/Contents/Info.plist
program=$bundle/Contents/MacOS/Kestrova

plutil -lint "$plist"
expect() {
  local actual
  actual=$(/usr/libexec/PlistBuddy -c "Print :$1" "$plist")
  if [[ $actual != "$2" ]]; then
    echo "Info.plist: $1 is '$actual', expected '$2'" >&2
    exit 1
  fi
}
expect CFBundleIdentifier com.talmiro.kestrova
expect LSMinimumSystemVersion 10.15
expect CFBundleExecutable Kestrova

codesign --verify --verbose=2 "$bundle"
codesign --display --verbose=2 "$bundle" 2>&1 | grep -q '^Signature=adhoc$' || {
  echo "Kestrova.app is not signed ad hoc" >&2
  exit 1
}

archs=$(lipo -archs "$program")
echo "Kestrova: $archs"
for arch in arm64 x86_64; do
  [[ " $archs " == *" $arch "* ]] || { echo "Kestrova lacks $arch" >&2; exit 1; }
done
