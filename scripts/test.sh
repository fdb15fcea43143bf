#!/usr/bin/env bash
# Builds both builds and runs every test: native (core, lobbyd), the native tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer (clang), the fuzz targets for a bounded time
# (FUZZ_SECONDS each, default 45), and Windows (under Wine, headless). Prints each runner's
# summary and a total line; exits non-zero on any failure.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/install-deps.sh" || exit 1
logs="$top/build/test-logs"
mkdir -p "$logs"

step() { echo; echo "== $*"; }

step "Format (clang-format 14)"
"$top/scripts/check-format.sh" 2>&1 | tee "$logs/format.log"
format_rc=${PIPESTATUS[0]}

step "Native build"
cmake --preset native >"$logs/native-configure.log" || { cat "$logs/native-configure.log"; exit 1; }
cmake --build --preset native || exit 1
step "Native tests"
ctest --preset native --output-junit "$logs/native.xml" 2>&1 | tee "$logs/native.log" | grep -vE '^ +Start |Passed +[0-9.]+ sec$'
native_rc=${PIPESTATUS[0]}

# lobbyd's Debian package: built from the native build, checked, and (as root) installed and removed.
step "lobbyd's Debian package"
"$top/scripts/test-deb.sh" 2>&1 | tee "$logs/deb.log"
deb_rc=${PIPESTATUS[0]}

step "Sanitizer build (clang, AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake --preset native-asan >"$logs/native-asan-configure.log" ||
  { cat "$logs/native-asan-configure.log"; exit 1; }
cmake --build --preset native-asan || exit 1
step "Native tests under the sanitizers"
ctest --preset native-asan --output-junit "$logs/native-asan.xml" 2>&1 | tee "$logs/native-asan.log" |
  grep -vE '^ +Start |Passed +[0-9.]+ sec$'
asan_rc=${PIPESTATUS[0]}

fuzz_seconds=${FUZZ_SECONDS:-45}
step "Fuzzing ($fuzz_seconds s per target)"
"$top/scripts/fuzz.sh" "$fuzz_seconds" 2>&1 | tee "$logs/fuzz.log"
fuzz_rc=${PIPESTATUS[0]}

step "Windows build (MinGW-w64)"
cmake --preset windows >"$logs/windows-configure.log" || { cat "$logs/windows-configure.log"; exit 1; }
cmake --build --preset windows || exit 1
step "Windows tests (Wine)"
source "$top/scripts/wine-env.sh"
trap wine_env_stop EXIT
export CV3_PRIVATE_XVFB=1
wine_env_start || exit 1
# The end-to-end tests talk to a real lobbyd with two accounts, on a fresh store.
lobby_dir=$(mktemp -d)
export CV3_LOBBYD_PORT=$((20000 + RANDOM % 20000))
# Tests that restart a server start a lobbyd of their own through Wine's start /unix.
export CV3_LOBBYD_PROGRAM="$top/build/native/lobbyd/lobbyd"
"$top/build/native/lobbyd/lobbyd" --listen "127.0.0.1:$CV3_LOBBYD_PORT" --db "$lobby_dir/lobby.db" \
  --add-account pilot:skyrend --add-account wingman:skyrend 2>"$logs/e2e-lobbyd.log" &
lobbyd_pid=$!
trap 'kill $lobbyd_pid 2>/dev/null; wine_env_stop' EXIT
for _ in $(seq 1 100); do (exec 3<>"/dev/tcp/127.0.0.1/$CV3_LOBBYD_PORT") 2>/dev/null && break; sleep 0.1; done
ctest --preset windows --output-junit "$logs/windows.xml" 2>&1 | tee "$logs/windows.log" | grep -vE '^ +Start |Passed +[0-9.]+ sec$'
windows_rc=${PIPESTATUS[0]}

# --- Windows packages: the portable zip, checked under the same Wine and lobbyd ---
step "Packages (release build, portable zip)"
"$top/scripts/check-package.sh" 2>&1 | tee "$logs/packages.log"
packages_rc=${PIPESTATUS[0]}
# --- end Windows packages ---

# The client in prefixes set up like players' machines: other code pages, Windows 7 to 11.
step "Wine prefixes (code pages 932, 1251, 1250; Windows 7, 8.1, 10, 11)"
"$top/scripts/test-prefixes.sh" 2>&1 | tee "$logs/prefixes.log"
prefixes_rc=${PIPESTATUS[0]}

count() {  # passed failed, from ctest's summary line
  sed -nE 's/.*tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/p' "$1" | tail -n 1
}
read -r nf nt <<<"$(count "$logs/native.log")"
read -r af at <<<"$(count "$logs/native-asan.log")"
read -r zp zf <<<"$(sed -nE 's/^Fuzzers: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$logs/fuzz.log")"
read -r wf wt <<<"$(count "$logs/windows.log")"
packages() {  # passed failed, from a package check's summary line
  sed -nE 's/^Packages: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$1" | tail -n 1
}
read -r xp xf <<<"$(sed -nE 's/^Prefixes: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$logs/prefixes.log")"
read -r dp df <<<"$(packages "$logs/deb.log")"
read -r wp wpf <<<"$(packages "$logs/packages.log")"
dp=${dp:-0} df=${df:-1} wp=${wp:-0} wpf=${wpf:-1}
pp=$((dp + wp)) pf=$((df + wpf))
# The format check counts as one check.
fp=$((format_rc == 0 ? 1 : 0)) ff=$((format_rc == 0 ? 0 : 1))
xp=${xp:-0} xf=${xf:-1}
nf=${nf:-0} nt=${nt:-0} af=${af:-0} at=${at:-0} zp=${zp:-0} zf=${zf:-1} wf=${wf:-0} wt=${wt:-0}
echo
echo "Native: $((nt - nf)) passed, $nf failed; Sanitizers: $((at - af)) passed, $af failed;" \
  "Fuzzers: $zp passed, $zf failed; Wine: $((wt - wf)) passed, $wf failed;" \
  "Packages: $pp passed, $pf failed; Prefixes: $xp passed, $xf failed; Format: $fp passed, $ff failed"
echo "Total: $((nt - nf + at - af + zp + wt - wf + pp + xp + fp)) passed," \
  "$((nf + af + zf + wf + pf + xf + ff)) failed"
[ "$format_rc" -eq 0 ] && [ "$native_rc" -eq 0 ] && [ "$asan_rc" -eq 0 ] && [ "$fuzz_rc" -eq 0 ] && [ "$windows_rc" -eq 0 ] &&
  [ "$deb_rc" -eq 0 ] && [ "$packages_rc" -eq 0 ] && [ "$dp" -gt 0 ] && [ "$wp" -gt 0 ] &&
  [ "$prefixes_rc" -eq 0 ] && [ "$xp" -gt 0 ] &&
  [ "$nt" -gt 0 ] && [ "$at" -gt 0 ] && [ "$zp" -gt 0 ] && [ "$wt" -gt 0 ]
