#!/bin/bash
# Stand-in for the Gatekeeper assessment of a disk image:
#   spctl -a -t open --context context:primary-signature -v IMAGE
# A stand-in image (a tar archive) may carry ./.signature/gatekeeper to dictate the verdict: its
# first line is the exit status, the rest is printed as the tool's output. Otherwise an image
# signed with a developer team (see codesign) is accepted, and anything else rejected.
set -u
image="${!#}"
if [ $# -lt 2 ] || [ "$1" != "-a" ]; then
  echo "Usage: spctl -a -t open --context context:primary-signature -v path" >&2
  exit 2
fi
if [ ! -f "$image" ]; then
  echo "$image: No such file or directory" >&2
  exit 1
fi
if verdict="$(tar -xOf "$image" ./.signature/gatekeeper 2>/dev/null)"; then
  status="$(printf '%s\n' "$verdict" | head -n1)"
  printf '%s\n' "$verdict" | tail -n +2 >&2
  exit "${status:-0}"
fi
team="$(tar -xOf "$image" ./.signature/team 2>/dev/null | head -n1)"
if [ -n "$team" ] && [ "$team" != "adhoc" ]; then
  echo "$image: accepted" >&2
  echo "source=Notarized Developer ID" >&2
  echo "origin=Developer ID Application: Stand-in Developer ($team)" >&2
  exit 0
fi
echo "$image: rejected" >&2
echo "source=no usable signature" >&2
exit 3
