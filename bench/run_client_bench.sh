#!/usr/bin/env bash
# Builds and runs the client's benchmarks: the roster ingest in the core natively (Google
# Benchmark), then cv3client.exe timed from outside under Wine (start to window, the sign-in's
# roster ingest, private bytes). Prints the figures; a missed target is reported, not an error.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
native="$top/build/bench-native"
windows="$top/build/bench-windows"

echo "== Build (native, Release)"
cmake -S "$top" -B "$native" -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
cmake --build "$native" --target bench_roster -j2 >/dev/null || exit 1
echo "== Build (Windows, Release)"
cmake -S "$top" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
cmake --build "$windows" --target client-bench cv3client -j2 >/dev/null || exit 1

echo
echo "== Native: roster ingest in the core (10,000 USER + 500 GAME lines, one arrival)"
"$native/bench/bench_roster" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

echo
echo "== Wine: cv3client.exe"
export CV3_WINEPREFIX="${CV3_WINEPREFIX:-$windows/wineprefix}"
# Set up like the tests' prefix (windows unmanaged), so no hide waits for a window manager.
export CV3_UNMANAGED_WINDOWS=1
source "$top/scripts/wine-env.sh"
trap wine_env_stop EXIT
export CV3_PRIVATE_XVFB=1
wine_env_start || exit 1
# Bounded: the program has its own deadlines, this is the last resort.
timeout 180 wine "$windows/client-bench.exe" "Z:$windows/cv3client.exe" </dev/null
rc=$?
[ "$rc" -eq 0 ] || echo "client-bench ended with $rc (no figures for what follows)"
exit 0
