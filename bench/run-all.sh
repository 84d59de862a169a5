#!/usr/bin/env bash
# Runs every benchmark program of a build folder and prints what each reports.
set -euo pipefail
build=${1:-build-bench}
found=0
for program in "$build"/bench/bench_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  found=1
  echo "== $(basename "$program")"
  "$program"
done
[ "$found" -eq 1 ] || echo "no benchmarks built"
