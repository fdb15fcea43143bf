#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, clang with AddressSanitizer and UndefinedBehaviorSanitizer:
# the native-asan preset) and runs each from its seeds in fuzz/corpus/<target> for a bounded time.
# Exits non-zero on any crash, sanitizer report, leak or hang; the input that caused it is kept in
# build/native-asan/fuzz-findings/ (replay it: build/native-asan/fuzz/fuzz_<target> FILE). Inputs
# the run finds go to build/native-asan/fuzz-corpus/<target>, never into the repository's seeds.
#   scripts/fuzz.sh [SECONDS] [TARGET...]    default: FUZZ_SECONDS or 60 s each, every target
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
seconds=${1:-${FUZZ_SECONDS:-60}}
shift $(($# > 0 ? 1 : 0))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(line_framing client_receive lobby_commands)
out="$top/build/native-asan"
mkdir -p "$out/fuzz-findings" "$out/fuzz-logs"

cmake --preset native-asan >"$out/fuzz-logs/configure.log" 2>&1 ||
  { cat "$out/fuzz-logs/configure.log"; exit 1; }
cmake --build --preset fuzzers || exit 1

passed=0 failed=0
for target in "${targets[@]}"; do
  work="$out/fuzz-corpus/$target"
  log="$out/fuzz-logs/$target.log"
  mkdir -p "$work"
  "$out/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$out/fuzz-findings/$target-" \
    "$work" "$top/fuzz/corpus/$target" >"$log" 2>&1
  rc=$?
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log" | tail -n 1)
  inputs=$(find "$work" "$top/fuzz/corpus/$target" -type f | wc -l)
  if [ $rc -eq 0 ]; then
    passed=$((passed + 1))
    echo "fuzz_$target: ${runs:-?} runs in $seconds s, $inputs inputs in its corpus, no crash"
  else
    failed=$((failed + 1))
    echo "fuzz_$target: FAILED after ${runs:-?} runs (exit $rc); its log:"
    grep -vE '^(#[0-9]+|INFO:|MERGE)' "$log" | tail -n 60
    ls "$out/fuzz-findings/$target-"* 2>/dev/null
  fi
done
echo "Fuzzers: $passed passed, $failed failed"
[ $failed -eq 0 ]
