#!/usr/bin/env bash
# Checks that every C++ file of the repository is as clang-format 14 (Debian 12's, pinned so
# that another version's different choices never fail the check) writes it with .clang-format.
# Prints the files that differ and "Format: N files checked, M differ". `--fix` rewrites them.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
format=clang-format-14
command -v "$format" >/dev/null || { echo "Format: $format is missing (scripts/install-deps.sh)"; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  "$format" -i "${files[@]}"
fi
differ=0
for file in "${files[@]}"; do
  if ! "$format" --dry-run --Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: $file"
    differ=$((differ + 1))
  fi
done
echo "Format: ${#files[@]} files checked, $differ differ"
[ "$differ" -eq 0 ]
