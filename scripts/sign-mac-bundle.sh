#!/usr/bin/env bash
# Signs a built Kestrova.app inside out, as `./dev release` does: every Mach-O under
# Contents/Resources on its own (codesign --deep would seal those as data, keeping the linker's
# ad-hoc signature, which notarization refuses), then the bundle. Ad hoc, or with
# KESTROVA_SIGN_IDENTITY that identity with the hardened runtime and a secure timestamp.
set -euo pipefail
bundle=${1:?usage: sign-mac-bundle.sh path/to/Kestrova.app}
if [[ -n ${KESTROVA_SIGN_IDENTITY:-} ]]; then
  how=(--options runtime --timestamp --sign "$KESTROVA_SIGN_IDENTITY")
else
  how=(--sign - --timestamp=none)
fi
while IFS= read -r -d '' file; do
  kind=$(file -b "$file")
  if [[ $kind == Mach-O* ]]; then
    codesign --force "${how[@]}" "$file"
  fi
done < <(find "$bundle/Contents/Resources" -type f -print0)
codesign --force "${how[@]}" "$bundle"
