#!/usr/bin/env bash
# Runs launcher-bench.exe under Wine: the launcher's CPU use while its 1 ms timers look for the
# game's windows, beside an idle message loop, and the wineserver's CPU over the same run (Wine
# answers every window search there, outside the program's own figures). Reports; never fails.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# CV3_BENCH_WINDOWS names an existing Windows build tree to use as it is configured.
windows=$(realpath -m "${CV3_BENCH_WINDOWS:-$top/build/bench-windows}")

echo "== Build launcher-bench in $windows"
if [ ! -f "$windows/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
fi
cmake --build "$windows" --target launcher-bench -j2 >/dev/null || exit 1

export CV3_WINEPREFIX="${CV3_WINEPREFIX:-$windows/wineprefix}"
source "$top/scripts/wine-env.sh"
trap wine_env_stop EXIT
export CV3_PRIVATE_XVFB=1
wine_env_start || exit 1

# The wineserver of our prefix (other prefixes may have their own) and its CPU time in ms.
server_pid() {
  for p in $(pgrep wineserver); do
    if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$p"
      return
    fi
  done
}
server_cpu_ms() {
  local ticks
  ticks=$(awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0)
  echo $((ticks * 1000 / $(getconf CLK_TCK)))
}

pid=$(server_pid)
before=$([ -n "$pid" ] && server_cpu_ms "$pid" || echo 0)
start=$(date +%s%N)
# Five joins through the stand-in take ten seconds each.
timeout 150 wine "$windows/launcher-bench.exe" </dev/null
rc=$?
elapsed=$((($(date +%s%N) - start) / 1000000))
[ "$rc" -eq 0 ] || echo "launcher-bench ended with $rc"
if [ -n "$pid" ]; then
  echo "wineserver: CPU $(($(server_cpu_ms "$pid") - before)) ms over the whole run of ${elapsed} ms"
fi
exit 0
