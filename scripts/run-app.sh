#!/usr/bin/env bash
# Starts the built Kestrova program in a throw-away home, so the first-run flow is seen as a new
# user sees it: welcome -> Set Up -> the stand-in launchd starts the stand-in engine -> the
# dashboard opens on the engine's page -> the status item shows the engine's state.
#   scripts/run-app.sh build/dev            (KESTROVA_RUN_SECONDS=n ends it after n seconds)
# With a desktop ($DISPLAY set) the window and the status item appear there. Without one, it
# runs on a virtual screen (Xvfb, openbox, a tray), plays the user's part in the welcome dialog
# and writes screenshots of each step into the build folder.
set -euo pipefail

build=$(cd "${1:?usage: run-app.sh <build folder>}" && pwd)
bundle=$build/Kestrova.app
program=$bundle/Contents/MacOS/Kestrova
standins=$bundle/Contents/Resources/standins
for needed in "$program" "$standins/launchctl" "$bundle/Contents/Resources/engine/runtime/kestrova-engine"; do
  [[ -x $needed ]] || { echo "run-app.sh: $needed is not built" >&2; exit 1; }
done

if [[ -z ${DISPLAY:-} && -z ${KESTROVA_VIRTUAL_SCREEN:-} ]]; then
  for tool in xvfb-run dbus-run-session openbox trayer import xdotool gdbus; do
    command -v "$tool" >/dev/null || { echo "run-app.sh: no display, and $tool is missing" >&2; exit 1; }
  done
  echo "No display: running Kestrova on a virtual screen (Xvfb + openbox + trayer)."
  echo "Screenshots of each step go to $build/run-app-*.png"
  export KESTROVA_VIRTUAL_SCREEN=1
  exec dbus-run-session -- xvfb-run -a -s '-screen 0 1280x900x24' "$0" "$@" 2> >(grep -v -e '^dbus-daemon' -e 'portal' >&2)
fi

HOME=$(mktemp -d "${TMPDIR:-/tmp}/kestrova-home-XXXXXX")
export HOME
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
export KESTROVA_ALLOW_ANYWHERE=1
export KESTROVA_STATE_DUMP=$HOME/.kestrova-state.json
export NO_AT_BRIDGE=1
helpers=()
app=
cleanup() {
  [[ -n $app ]] && kill -TERM "$app" 2>/dev/null && wait "$app" 2>/dev/null || true
  # The agent outlives the app by design; in this sandbox it goes with it.
  "$standins/launchctl" bootout "gui/$(id -u)/com.talmiro.kestrova.engine" >/dev/null 2>&1 || true
  for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null || true; done
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

state() {  # the program's own account of what it shows, as JSON on stdout
  rm -f "$KESTROVA_STATE_DUMP"
  gdbus call --session --dest com.talmiro.kestrova --object-path /com/talmiro/kestrova \
    --method org.gtk.Actions.Activate x-dump-state '[]' '{}' >/dev/null 2>&1 && cat "$KESTROVA_STATE_DUMP" 2>/dev/null
}
wait_for() {  # wait_for <python condition on s> <seconds>
  local deadline=$((SECONDS + $2))
  while ((SECONDS < deadline)); do
    state | python3 -c "import json,sys; s=json.load(sys.stdin); sys.exit(0 if ($1) else 1)" 2>/dev/null && return 0
    sleep 0.5
  done
  return 1
}
shot() { import -window root "$build/run-app-$1.png" && echo "  screenshot: $build/run-app-$1.png"; }

if [[ -n ${KESTROVA_VIRTUAL_SCREEN:-} ]]; then
  openbox >/dev/null 2>&1 & helpers+=($!)
  trayer --edge top --align right --widthtype request --height 28 >/dev/null 2>&1 & helpers+=($!)
fi
"$program" & app=$!

if [[ -n ${KESTROVA_VIRTUAL_SCREEN:-} ]]; then
  first='s["statusItems"][0]["menu"][0]["title"]'
  if wait_for 'any(a["message"].startswith("Welcome") for a in s["alerts"])' 30; then
    sleep 1; shot 1-welcome
    echo "Pressing Set Up."
    xdotool key Return  # the welcome dialog has the focus, and Set Up is its default
  fi
  if wait_for 'len(s["webWindows"]) == 1 and s["webWindows"][0]["finishedLoads"] >= 1' 60; then
    sleep 1; shot 2-dashboard
  fi
  if wait_for "$first != 'Kestrova — Offline'" 30; then
    echo "Status item: $(state | python3 -c "import json,sys; s=json.load(sys.stdin); print($first)")"
    # Open the status menu: the tray sits at the top right corner, the item is its only icon.
    read -r width _ < <(xdotool getdisplaygeometry)
    x=$((width - 14)) y=14
    xdotool mousemove "$x" "$y" click 1 && sleep 1 && shot 3-status-menu && xdotool key Escape
  fi
fi

if [[ -n ${KESTROVA_RUN_SECONDS:-} ]]; then
  sleep "$KESTROVA_RUN_SECONDS"
else
  echo "Kestrova is running; press Ctrl-C to end it."
  wait "$app" || true
  app=
fi
