#!/usr/bin/env bash
# Runs launcher-bench.exe under Wine: the launcher's CPU use while its 1 ms timers look for the
# game's windows, beside an idle message loop, and the wineserver's CPU over the same run (Wine
# answers every window search there, outside the program's own figures). Reports; never fails.
set -uo pipefail
source "$(dirname "$0")/wine_bench.sh"
bench_wine_start launcher-bench || exit 1

pid=$(prefix_pid wineserver)
before=$([ -n "$pid" ] && cpu_ms "$pid" || echo 0)
start=$(date +%s%N)
# Five joins through the stand-in take ten seconds each.
timeout 150 wine "$windows/launcher-bench.exe" </dev/null
rc=$?
elapsed=$((($(date +%s%N) - start) / 1000000))
[ "$rc" -eq 0 ] || echo "launcher-bench ended with $rc"
if [ -n "$pid" ]; then
  echo "wineserver: CPU $(($(cpu_ms "$pid") - before)) ms over the whole run of ${elapsed} ms"
fi
exit 0
