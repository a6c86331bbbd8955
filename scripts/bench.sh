#!/usr/bin/env bash
# Runs every benchmark and prints its figures.
set -euo pipefail
build=${1:-build/dev}
for b in "$build"/bench/*/bench_*; do
  [[ -x $b ]] && { echo "== $(basename "$b")"; "$b"; }
done
for s in bench/*/run.sh; do
  [[ -x $s ]] && { echo "== $s"; "$s" "$build"; }
done
