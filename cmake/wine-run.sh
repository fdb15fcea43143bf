#!/usr/bin/env bash
# Runs a Windows program under Wine in the build folder's private prefix, headless and quiet.
# CMake uses it as the cross-compiling emulator; the prefix is made by scripts/wine-prefix.sh.
#
# A program that ends with an error having printed nothing never reached its main (a test program
# always prints first): Wine failed to start it. That is said with the exit code, and the start is
# tried once more, so a failure of Wine's own is told apart from a failing test. A program that
# printed anything keeps its exit code, which is also printed when it is not 0.
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${CV3_WINEPREFIX:-$here/build/windows/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# The output goes to a file that tail copies out as it grows, not through a pipe: Wine's helper
# processes inherit the program's descriptors and can outlive it, holding a pipe open.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for attempt in 1 2; do
  wine "$@" >"$out" 2>&1 </dev/null &
  program=$!
  tail -s 0.05 --pid="$program" -c +1 -f "$out" &
  copier=$!
  wait "$program"
  rc=$?
  wait "$copier"
  [ "$rc" -eq 0 ] && exit 0
  if [ -s "$out" ]; then
    echo "wine-run.sh: $1 exited with code $rc" >&2
    exit "$rc"
  fi
  echo "wine-run.sh: $1 exited with code $rc before printing anything (attempt $attempt of 2)" >&2
done
exit "$rc"
