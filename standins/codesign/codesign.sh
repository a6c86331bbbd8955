#!/bin/bash
# Stand-in for codesign. An item's signing record is a one-line file: for a bundle
# Contents/_CodeSignature/team, for a stand-in disk image (a tar archive) the member
# ./.signature/team. The line is a team identifier, or "adhoc" for an ad-hoc signature.
#   codesign -dvv PATH              describe the signature (on standard error, as the tool does)
#   codesign -s IDENTITY [-f] PATH  sign with team IDENTITY ("-" signs ad hoc); the long forms
#                                   --sign, --force, --timestamp and --options X are taken too
# A program that is neither (a nested Mach-O) is signed without a record: nothing reads one.
set -u

record_of() {
  local item="$1"
  if [ -d "$item" ]; then
    [ -f "$item/Contents/_CodeSignature/team" ] && head -n1 "$item/Contents/_CodeSignature/team"
  else
    tar -xOf "$item" ./.signature/team 2>/dev/null | head -n1
  fi
}

describe() {
  local item="$1" record format
  if [ ! -e "$item" ]; then
    echo "$item: No such file or directory" >&2
    exit 1
  fi
  record="$(record_of "$item")"
  if [ -z "$record" ]; then
    echo "$item: code object is not signed at all" >&2
    exit 1
  fi
  format="disk image"
  [ -d "$item" ] && format="app bundle with Mach-O universal (x86_64 arm64)"
  {
    echo "Executable=$item"
    echo "Identifier=com.talmiro.kestrova"
    echo "Format=$format"
    echo "CodeDirectory v=20500 size=1024 flags=0x10000(runtime) hashes=20+7 location=embedded"
    if [ "$record" = "adhoc" ]; then
      echo "Signature=adhoc"
      echo "TeamIdentifier=not set"
    else
      echo "Authority=Developer ID Application: Stand-in Developer ($record)"
      echo "Authority=Developer ID Certification Authority"
      echo "Timestamp=6 Dec 2026 at 10:00:00"
      echo "TeamIdentifier=$record"
    fi
    echo "Sealed Resources version=2 rules=13 files=42"
    echo "Internal requirements count=1 size=180"
  } >&2
}

sign() {
  local identity="$1" item="$2" team="$1" work
  [ "$identity" = "-" ] && team="adhoc"
  if [ -d "$item" ]; then
    mkdir -p "$item/Contents/_CodeSignature" && echo "$team" >"$item/Contents/_CodeSignature/team"
    return
  fi
  if [ ! -f "$item" ]; then
    echo "$item: No such file or directory" >&2
    exit 1
  fi
  tar -tf "$item" >/dev/null 2>&1 || return 0
  work="$(mktemp -d)" || exit 1
  if ! tar -xf "$item" -C "$work" 2>/dev/null; then
    rm -rf "$work"
    echo "$item: unrecognized file format" >&2
    exit 1
  fi
  mkdir -p "$work/.signature" && echo "$team" >"$work/.signature/team"
  tar -cf "$item" -C "$work" . ; local status=$?
  rm -rf "$work"
  exit $status
}

usage() { echo "Usage: codesign -s identity [-f] path | codesign -dvv path" >&2; exit 1; }

case "${1:-}" in
  -dvv|-dv|-d) [ $# -eq 2 ] || { echo "Usage: codesign -dvv path" >&2; exit 1; }; describe "$2" ;;
  *)
    identity="" item=""
    while [ $# -gt 0 ]; do
      case "$1" in
        -s|--sign) [ $# -ge 2 ] || usage; identity="$2"; shift 2 ;;
        -f|--force|--timestamp) shift ;;
        --options) [ $# -ge 2 ] || usage; shift 2 ;;
        -*) usage ;;
        *) [ -z "$item" ] || usage; item="$1"; shift ;;
      esac
    done
    [ -n "$identity" ] && [ -n "$item" ] || usage
    sign "$identity" "$item" ;;
esac
