#!/usr/bin/env bash
# Long fuzzing runs: every fuzzer of the sanitizer build for a million executions (or as many as
# given), starting from its seed corpus. Prints executions, speed and the outcome of each.
#   bench/fuzz/long-run.sh [runs] [asan build folder]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
runs=${1:-1000000}
build=${2:-build/asan}
[[ -d $build/tests/fuzz ]] || { echo "build the asan preset first: cmake --preset asan && cmake --build --preset asan" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
printf '%-22s %12s %10s %10s  %s\n' fuzzer executions seconds exec/s outcome
for fuzzer in "$build"/tests/fuzz/*_fuzz; do
  name=$(basename "$fuzzer" _fuzz)
  mkdir -p "$work/$name"
  start=$(date +%s%N)
  if "$fuzzer" -runs="$runs" -max_len=4096 -print_final_stats=1 "$work/$name" "tests/fuzz/corpus/$name" \
      >"$work/$name.log" 2>&1; then
    outcome="no crash"
  else
    outcome="CRASH (see below)"
    status=1
  fi
  elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
  done_runs=$(grep -oP 'stat::number_of_executed_units:\s*\K[0-9]+' "$work/$name.log" || echo "?")
  speed=$(grep -oP 'stat::average_exec_per_sec:\s*\K[0-9]+' "$work/$name.log" || echo "?")
  printf '%-22s %12s %10s %10s  %s\n' "$name" "$done_runs" "$((elapsed_ms / 1000)).$((elapsed_ms % 1000 / 100))" "$speed" "$outcome"
  [[ $outcome == "no crash" ]] || tail -40 "$work/$name.log"
done
exit $status
