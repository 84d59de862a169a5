#!/usr/bin/env bash
# Runs every benchmark program of a build folder and prints one table of their figures, each with
# its target and ratio (1.00 or more meets the target). What each program prints besides its
# figures goes to <build>/bench-<name>.log. VELQUIST_IDLE_SECONDS shortens the idle measurement.
set -uo pipefail
build=${1:-build-bench}
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
found=0
failed=()
for program in "$build"/bench/bench_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  found=1
  name=$(basename "$program")
  echo "running ${name#bench_}..." >&2
  if ! "$program" >"$build/$name.log" 2>&1; then
    failed+=("${name#bench_}")
  fi
  grep '^@row|' "$build/$name.log" >>"$rows"
done
[ "$found" -eq 1 ] || { echo "no benchmarks built"; exit 1; }
echo
{
  echo "figure|value|unit|target|ratio"
  echo "------|-----|----|------|-----"
  cut -d'|' -f2- "$rows"
} | column -t -s'|' -R 2,5
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]} (see $build/bench_<name>.log)"
  exit 1
fi
