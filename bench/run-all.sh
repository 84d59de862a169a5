#!/usr/bin/env bash
# Runs every benchmark program of a build folder and prints one table of their figures, each with
# its target and ratio (1.00 or more meets the target). What each program prints besides its
# figures goes to <build>/bench_<name>.log. A program that fails, hangs past
# VELQUIST_BENCH_TIMEOUT seconds (default 600) or cannot run keeps its place in the table as
# "not measured" with the reason, and the others still run. VELQUIST_IDLE_SECONDS shortens the
# idle measurements.
set -uo pipefail
build=${1:-build-bench}
limit=${VELQUIST_BENCH_TIMEOUT:-600}
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
found=0
failed=()
for program in "$build"/bench/bench_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  found=1
  name=$(basename "$program")
  short=${name#bench_}
  log="$build/$name.log"
  echo "running $short..." >&2
  timeout --kill-after=10 "$limit" "$program" >"$log" 2>&1
  status=$?
  grep '^@row|' "$log" >>"$rows"
  # Figures the program itself could not take, with its reason.
  grep '^@missing|' "$log" | awk -F'|' '{ printf "@row|%s|not measured|-|-|%s\n", $2, $3 }' >>"$rows"
  if [ "$status" -ne 0 ]; then
    failed+=("$short")
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
      reason="stopped after ${limit} s"
    else
      reason=$(grep -v '^@' "$log" | grep -v '^[[:space:]]*$' | tail -n 1)
      reason="exit $status${reason:+: $reason}"
    fi
    # Figures it printed stand; the failure gets a row of its own.
    label="not measured"
    grep -q '^@row|' "$log" && label="failed"
    grep -q '^@missing|' "$log" || printf '@row|%s|%s|-|-|%s\n' "$short" "$label" "${reason//|//}" >>"$rows"
  fi
done
[ "$found" -eq 1 ] || { echo "no benchmarks built"; exit 1; }
echo
{
  echo "figure|value|unit|target|ratio"
  echo "------|-----|----|------|-----"
  cut -d'|' -f2- "$rows"
} | column -t -s'|' -R 2
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]} (see $build/bench_<name>.log)"
  exit 1
fi
