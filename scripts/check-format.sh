#!/usr/bin/env bash
# Checks every tracked C++ file against the repository's .clang-format and
# lists those whose formatting differs; fix them with clang-format -i.
# Usage: scripts/check-format.sh
# Exit status: 0 all formatted, 1 a file differs, 2 the check could not run.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2

format=$(command -v clang-format-14 || command -v clang-format) ||
  { echo "check-format: neither clang-format-14 nor clang-format found" >&2; exit 2; }
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
[ ${#files[@]} -gt 0 ] || { echo "check-format: no tracked C++ files (not a git checkout?)" >&2; exit 2; }

output=$("$format" --style=file --dry-run --Werror "${files[@]}" 2>&1) && exit 0
differ=$(sed -nE 's/^(.*):[0-9]+:[0-9]+: error: code should be clang-formatted.*/\1/p' <<<"$output" |
  awk '!seen[$0]++')
if [ -z "$differ" ]; then
  echo "$output" >&2
  exit 2
fi
echo "$differ"
echo "check-format: $(wc -l <<<"$differ") file(s) differ from .clang-format (clang-format -i FILE...)" >&2
exit 1
