# Sourced by the Wine benchmark scripts: builds their targets in a Windows build tree (a Release
# tree of its own, or CV3_BENCH_WINDOWS as it is configured), starts the Wine environment with a
# private Xvfb (stopped on exit), and reads the CPU time of our prefix's Linux processes.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
windows=$(realpath -m "${CV3_BENCH_WINDOWS:-$top/build/bench-windows}")

# Builds the targets named and starts Wine; false when either fails.
bench_wine_start() {
  echo "== Build $* in $windows"
  if [ ! -f "$windows/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null || return 1
  fi
  cmake --build "$windows" --target "$@" -j2 >/dev/null || return 1
  export CV3_WINEPREFIX="${CV3_WINEPREFIX:-$windows/wineprefix}"
  # Set up like the tests' prefix (windows unmanaged), so no hide waits for a window manager.
  export CV3_UNMANAGED_WINDOWS=1
  source "$top/scripts/wine-env.sh"
  trap wine_env_stop EXIT
  export CV3_PRIVATE_XVFB=1
  wine_env_start
}

# The first process of our prefix (other prefixes may have their own) whose command line matches
# the pattern (pgrep -f).
prefix_pid() {
  for p in $(pgrep -f "$1"); do
    if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$p"
      return
    fi
  done
}

# A process's CPU time (user and system) in ms, from /proc.
cpu_ms() {
  local ticks
  ticks=$(awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0)
  echo $((ticks * 1000 / $(getconf CLK_TCK)))
}
