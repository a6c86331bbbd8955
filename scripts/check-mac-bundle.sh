#!/usr/bin/env bash
# Checks a built Kestrova.app on a Mac as another Mac would meet it: a valid Info.plist at the
# build's deployment target, a signature over everything inside, every piece of code universal,
# at that target and linking only what macOS ships, and no stand-in inside.
# Each command's output is captured before it is matched: under pipefail, `cmd | grep -q` fails
# when grep stops reading early.
set -euo pipefail
bundle=${1:?usage: check-mac-bundle.sh path/to/Kestrova.app}
plist=$bundle/Contents/Info.plist
cache=$(dirname "$bundle")/CMakeCache.txt
failures=0
fail() {
  echo "Kestrova.app: $*" >&2
  failures=$((failures + 1))
}

# The deployment target, as the build was configured with it (from the mac preset).
target=$(sed -n 's/^CMAKE_OSX_DEPLOYMENT_TARGET:[A-Z]*=//p' "$cache")
[[ -n $target ]] || { echo "no deployment target in $cache" >&2; exit 1; }

plutil -lint "$plist"
expect() {
  local actual
  actual=$(/usr/libexec/PlistBuddy -c "Print :$1" "$plist")
  [[ $actual == "$2" ]] || fail "Info.plist: $1 is '$actual', expected '$2'"
}
expect CFBundleIdentifier com.talmiro.kestrova
expect CFBundleExecutable Kestrova
expect LSMinimumSystemVersion "$target"
icon=$(/usr/libexec/PlistBuddy -c "Print :CFBundleIconFile" "$plist")
[[ -f $bundle/Contents/Resources/$icon ]] || fail "no icon file $icon in Contents/Resources"

codesign --verify --deep --strict --verbose=2 "$bundle"

# The oldest macOS an architecture's code says it runs on: the target, but macOS 11 at least on
# arm64, the first to run there (the linker raises it so).
oldest_for() {
  local sorted
  sorted=$(printf '%s\n' "$target" 11.0 | sort -V)
  if [[ $1 == arm64 && ${sorted%%$'\n'*} == "$target" ]]; then echo 11.0; else echo "$target"; fi
}

# Every Mach-O inside, with its own signature, both architectures, the deployment target, and
# libraries from the system only.
machos=0
while IFS= read -r -d '' file; do
  kind=$(file -b "$file")
  [[ $kind == Mach-O* ]] || continue
  machos=$((machos + 1))
  name=${file#"$bundle"/}
  codesign --verify --strict "$file" || fail "$name: its own signature does not verify"
  archs=$(lipo -archs "$file")
  for arch in arm64 x86_64; do
    [[ " $archs " == *" $arch "* ]] || fail "$name: lacks $arch (has $archs)"
  done
  for arch in $archs; do
    [[ $arch == arm64 || $arch == x86_64 ]] || continue
    loads=$(otool -arch "$arch" -l "$file")
    minimum=$(awk '/LC_BUILD_VERSION|LC_VERSION_MIN_MACOSX/ {f = 1} f && /minos|version/ {print $2; exit}' <<<"$loads")
    [[ $minimum == "$(oldest_for "$arch")" ]] ||
      fail "$name ($arch): built for macOS $minimum, not $(oldest_for "$arch")"
    libraries=$(otool -arch "$arch" -L "$file")
    while read -r library _; do
      [[ $library == /System/Library/* || $library == /usr/lib/* ]] ||
        fail "$name ($arch) links $library, which macOS does not ship"
    done < <(tail -n +2 <<<"$libraries")
  done
done < <(find "$bundle/Contents" -type f -print0)
((machos >= 2)) || fail "only $machos Mach-O files inside: the program and the engine are missing"

standins=$(find "$bundle" -path '*/standins*' -print)
[[ -z $standins ]] || fail "stand-ins inside the bundle: $standins"

((failures == 0)) || exit 1
echo "Kestrova.app: $machos Mach-O files, signed, universal, macOS $target, system libraries only"
