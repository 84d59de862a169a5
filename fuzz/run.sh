#!/usr/bin/env bash
# Runs every fuzz target of a build folder for a bounded time each, from its seeds in
# fuzz/corpus/<name>. New inputs go to a scratch corpus inside the build folder; an input that
# crashes is kept in <build>/fuzz-artifacts and fails the run.
#   fuzz/run.sh [build folder] [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-${FUZZ_SECONDS:-25}}
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
failed=()
ran=0
for program in "$build"/fuzz/fuzz_*; do
  [ -x "$program" ] || continue
  name=$(basename "$program")
  name=${name#fuzz_}
  scratch="$build/fuzz-corpus/$name"
  mkdir -p "$scratch"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  echo "== fuzz $name for ${seconds}s"
  if "$program" "$scratch" "${seeds[@]}" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
      -rss_limit_mb=2048 -dict=fuzz/json.dict -artifact_prefix="$artifacts/$name-" -print_final_stats=1 \
      >"$build/fuzz-$name.log" 2>&1; then
    grep -E "^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)" "$build/fuzz-$name.log" | tr '\n' ' '
    echo
  else
    tail -n 60 "$build/fuzz-$name.log"
    failed+=("$name")
  fi
  ran=$((ran + 1))
done
[ "$ran" -gt 0 ] || { echo "no fuzz targets built"; exit 1; }
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (inputs in $artifacts)"
  exit 1
fi
echo "fuzzing: $ran targets ran clean"
