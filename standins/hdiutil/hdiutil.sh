#!/bin/bash
# Stand-in for the disk-image tool. A stand-in disk image is a tar archive of a folder's
# contents (members named "./..."); attaching extracts it at the mount point, detaching empties
# the mount point again. Signing records travel inside the image, in its ".signature" folder.
set -u

usage() { echo "Usage: hdiutil attach|detach|create ..." >&2; exit 1; }

attach() {
  local mountpoint="" image=""
  while [ $# -gt 0 ]; do
    case "$1" in
      -nobrowse|-readonly|-noverify|-noautoopen|-quiet) shift ;;
      -mountpoint) [ $# -ge 2 ] || usage; mountpoint="$2"; shift 2 ;;
      -*) echo "hdiutil: attach: unknown option $1" >&2; exit 1 ;;
      *) image="$1"; shift ;;
    esac
  done
  [ -n "$image" ] && [ -n "$mountpoint" ] || usage
  if [ ! -f "$image" ] || ! tar -tf "$image" >/dev/null 2>&1; then
    echo "hdiutil: attach failed - image not recognized" >&2
    exit 1
  fi
  mkdir -p "$mountpoint" || { echo "hdiutil: attach failed - no mount point" >&2; exit 1; }
  if ! tar -xf "$image" -C "$mountpoint"; then
    echo "hdiutil: attach failed - image not recognized" >&2
    exit 1
  fi
  # The volume's root is read-only; the files keep their own modes, as on a mounted image.
  chmod a-w "$mountpoint"
  printf '/dev/disk9          \tGUID_partition_scheme          \t\n'
  printf '/dev/disk9s1        \tApple_HFS                      \t%s\n' "$mountpoint"
}

detach() {
  local mountpoint="${1:-}"
  [ -n "$mountpoint" ] || usage
  if [ ! -d "$mountpoint" ]; then
    echo "hdiutil: detach failed - No such file or directory" >&2
    exit 1
  fi
  chmod u+w "$mountpoint"
  find "$mountpoint" -mindepth 1 -maxdepth 1 -exec rm -rf {} +
  echo "\"disk9\" ejected."
}

create() {
  local source="" image="" overwrite=0
  while [ $# -gt 0 ]; do
    case "$1" in
      -srcfolder) [ $# -ge 2 ] || usage; source="$2"; shift 2 ;;
      -ov) overwrite=1; shift ;;
      -volname|-format|-fs) [ $# -ge 2 ] || usage; shift 2 ;;
      -*) echo "hdiutil: create: unknown option $1" >&2; exit 1 ;;
      *) image="$1"; shift ;;
    esac
  done
  [ -n "$source" ] && [ -n "$image" ] || usage
  if [ -e "$image" ] && [ "$overwrite" = 0 ]; then
    echo "hdiutil: create failed - File exists" >&2
    exit 1
  fi
  tar -cf "$image" -C "$source" . || { echo "hdiutil: create failed" >&2; exit 1; }
  echo "created: $image"
}

[ $# -ge 1 ] || usage
verb="$1"; shift
case "$verb" in
  attach) attach "$@" ;;
  detach) detach "$@" ;;
  create) create "$@" ;;
  *) usage ;;
esac
