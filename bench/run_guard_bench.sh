#!/usr/bin/env bash
# Runs guard-bench.exe under Wine: five hang/kill/relaunch cycles of the stand-in game under
# cv3guard.exe, then a steady span of a healthy game over which this script reads the CPU time of
# the watchdog's process and of the wineserver from /proc (Wine's figures for another process are
# not reliable), and the watchdog's resident memory. About three minutes. Reports; never fails.
set -uo pipefail
source "$(dirname "$0")/wine_bench.sh"
bench_wine_start guard-bench cv3guard skyrendw || exit 1

echo "== Wine: cv3guard.exe with the stand-in game"
timeout 400 wine "$windows/guard-bench.exe" "Z:$windows/cv3guard.exe" "Z:$windows/SkyrendW.exe" \
  </dev/null | while IFS= read -r line; do
  line=${line%$'\r'}
  case "$line" in
    "steady start")
      guard=$(prefix_pid 'cv3guard\.exe.*bench\.sav')
      server=$(prefix_pid wineserver)
      guard_before=$(cpu_ms "$guard") server_before=$(cpu_ms "$server")
      ;;
    "steady end "*)
      ms=${line#steady end }
      ms=${ms% ms}
      guard_used=$(($(cpu_ms "$guard") - guard_before))
      server_used=$(($(cpu_ms "$server") - server_before))
      echo "  steady span of $((ms / 1000)) s with a healthy game (probed every 10 s):"
      awk -v g="$guard_used" -v s="$server_used" -v ms="$ms" 'BEGIN {
        printf "  watchdog CPU %.3f s per minute; wineserver CPU %.3f s per minute\n",
               g / ms * 60, s / ms * 60 }'
      grep -E '^Vm(RSS|HWM)' "/proc/$guard/status" | sed 's/^/  watchdog (Linux) /'
      ;;
    *) echo "$line" ;;
  esac
done
exit 0
