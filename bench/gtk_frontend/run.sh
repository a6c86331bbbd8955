#!/usr/bin/env bash
# Resident memory of the GTK program idle without and with the dashboard window, and its CPU
# use over a minute of polling the stand-in engine, on a virtual screen in a sandboxed home.
#   bench/gtk_frontend/run.sh build/dev
set -euo pipefail

build=$(cd "${1:-build/dev}" && pwd)
if [[ -z ${KESTROVA_BENCH_SCREEN:-} ]]; then
  export KESTROVA_BENCH_SCREEN=1
  exec dbus-run-session -- xvfb-run -a -s '-screen 0 1280x900x24' "$0" "$build" 2> >(grep -e 'run.sh' >&2)
fi
bundle=$build/Kestrova.app
program=$bundle/Contents/MacOS/Kestrova
HOME=$(mktemp -d "${TMPDIR:-/tmp}/kestrova-bench-XXXXXX")
export HOME XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
export KESTROVA_ALLOW_ANYWHERE=1 KESTROVA_STATE_DUMP=$HOME/state.json NO_AT_BRIDGE=1
app=
cleanup() {
  [[ -n $app ]] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null || true
  "$bundle/Contents/Resources/standins/launchctl" bootout "gui/$(id -u)/com.talmiro.kestrova.engine" >/dev/null 2>&1 || true
  kill "${wm:-}" 2>/dev/null || true
  rm -rf "$HOME"
}
trap cleanup EXIT
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$HOME/Library/Application Support/Kestrova"
printf '{"port": %d}\n' "$port" >"$HOME/Library/Application Support/Kestrova/config.json"

action() {
  gdbus call --session --dest com.talmiro.kestrova --object-path /com/talmiro/kestrova \
    --method org.gtk.Actions.Activate "$1" '[]' '{}' >/dev/null 2>&1
}
state_has() {
  rm -f "$KESTROVA_STATE_DUMP"
  action x-dump-state && python3 -c "import json,sys; s=json.load(open('$KESTROVA_STATE_DUMP')); sys.exit(0 if ($1) else 1)"
}
wait_for() { for _ in $(seq 1 120); do state_has "$1" 2>/dev/null && return 0; sleep 0.5; done; return 1; }
rss_kb() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }
children_rss_kb() {  # the web view's helper processes
  local total=0
  for child in $(pgrep -P "$1"); do total=$((total + $(rss_kb "$child"))); done
  echo "$total"
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

openbox >/dev/null 2>&1 & wm=$!
# First run: answer the welcome, let the agent start the engine, then start again as a user
# would on the next login, with nothing to ask.
"$program" & app=$!
wait_for 'any(a["message"].startswith("Welcome") for a in s["alerts"])'
xdotool key Return
wait_for 's["statusItems"][0]["menu"][0]["title"] != "Kestrova — Offline"'
action terminate; wait "$app" || true
"$program" & app=$!
wait_for 's["statusItems"][0]["menu"][0]["title"] == "Kestrova — Setup needed"'
sleep 20
echo "resident memory, idle, no window:        $(rss_kb "$app") kB"
before=$(cpu_ticks "$app")
sleep 60
after=$(cpu_ticks "$app")
hz=$(getconf CLK_TCK)
python3 -c "print(f'CPU over 60 s of polling, no window:     {($after - $before) / $hz:.2f} s ({($after - $before) / $hz / 60 * 100:.2f} %)')"
action openDashboard
wait_for 's["webWindows"][0]["finishedLoads"] >= 1'
sleep 20
echo "resident memory, idle, dashboard open:   $(rss_kb "$app") kB (+ $(children_rss_kb "$app") kB in the web view's helper processes)"
before=$(cpu_ticks "$app")
sleep 60
after=$(cpu_ticks "$app")
python3 -c "print(f'CPU over 60 s, dashboard open:          {($after - $before) / $hz:.2f} s ({($after - $before) / $hz / 60 * 100:.2f} %) in the program itself')"
action performClose
sleep 10
echo "resident memory after closing the window: $(rss_kb "$app") kB"
