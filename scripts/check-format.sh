#!/usr/bin/env bash
# Fails, naming the files, when a C++ source does not follow the .clang-format at the root.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 1; }
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.cxx' '*.c')
bad=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    bad+=("$f")
  fi
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "These files do not follow .clang-format (run clang-format -i on them):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files follow .clang-format"
