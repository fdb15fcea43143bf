#!/usr/bin/env bash
# Builds both builds and runs every test: native (core, lobbyd) and Windows (under Wine,
# headless). Prints each runner's summary and a total line; exits non-zero on any failure.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/install-deps.sh" || exit 1
logs="$top/build/test-logs"
mkdir -p "$logs"

step() { echo; echo "== $*"; }

step "Native build"
cmake --preset native >"$logs/native-configure.log" || { cat "$logs/native-configure.log"; exit 1; }
cmake --build --preset native || exit 1
step "Native tests"
ctest --preset native --output-junit "$logs/native.xml" 2>&1 | tee "$logs/native.log" | grep -vE '^ +Start |Passed +[0-9.]+ sec$'
native_rc=${PIPESTATUS[0]}

step "Windows build (MinGW-w64)"
cmake --preset windows >"$logs/windows-configure.log" || { cat "$logs/windows-configure.log"; exit 1; }
cmake --build --preset windows || exit 1
step "Windows tests (Wine)"
source "$top/scripts/wine-env.sh"
trap wine_env_stop EXIT
export CV3_PRIVATE_XVFB=1
wine_env_start || exit 1
ctest --preset windows --output-junit "$logs/windows.xml" 2>&1 | tee "$logs/windows.log" | grep -vE '^ +Start |Passed +[0-9.]+ sec$'
windows_rc=${PIPESTATUS[0]}

count() {  # passed failed, from ctest's summary line
  sed -nE 's/.*tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/p' "$1" | tail -n 1
}
read -r nf nt <<<"$(count "$logs/native.log")"
read -r wf wt <<<"$(count "$logs/windows.log")"
nf=${nf:-0} nt=${nt:-0} wf=${wf:-0} wt=${wt:-0}
echo
echo "Native: $((nt - nf)) passed, $nf failed; Wine: $((wt - wf)) passed, $wf failed"
echo "Total: $((nt - nf + wt - wf)) passed, $((nf + wf)) failed"
[ "$native_rc" -eq 0 ] && [ "$windows_rc" -eq 0 ] && [ "$nt" -gt 0 ] && [ "$wt" -gt 0 ]
