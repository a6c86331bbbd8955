#!/usr/bin/env bash
# Runs the product from a build folder in a throw-away home: the stand-in engine in the
# background and the console front end, which prints the status the app derives every 5 s.
#   scripts/run-app.sh build/dev
set -euo pipefail

build=$(cd "${1:?usage: run-app.sh <build folder>}" && pwd)
engine=$build/Kestrova.app/Contents/Resources/engine/runtime/kestrova-engine
console=$build/frontends/console/kestrova-console
for program in "$engine" "$console"; do
  [[ -x $program ]] || { echo "run-app.sh: $program is not built" >&2; exit 1; }
done

HOME=$(mktemp -d "${TMPDIR:-/tmp}/kestrova-home-XXXXXX")
export HOME
export KESTROVA_RESOURCES=$build/Kestrova.app/Contents/Resources/engine
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$HOME"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The engine's default port, unless something on this machine already listens there.
port=8787
if (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; then
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
fi
data="$HOME/Library/Application Support/Kestrova"
mkdir -p "$data"
printf '{"port": %d}\n' "$port" >"$data/config.json"

echo "Sandboxed home: $HOME"
echo "Engine dashboard: http://127.0.0.1:$port/ (log: $data/logs/stream.log)"
echo "Set it up with: curl -d '{\"path\":\"/some/folder/of/videos\"}' http://127.0.0.1:$port/api/setup/folder"
"$engine" &
pids+=($!)
# Waited for rather than run in the foreground, so that a signal to this script acts at once;
# the trap then stops both programs and removes the home.
"$console" &
pids+=($!)
wait "${pids[1]}"
