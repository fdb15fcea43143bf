# Sourced by the scripts that run Windows programs: the private prefix, a display (a private
# Xvfb when there is none), a persistent wineserver started with its helpers detached from our
# pipes, and a cleanup that stops them all. Call wine_env_start, and trap wine_env_stop.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${CV3_WINEPREFIX:-$top/build/windows/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cv3_xvfb_pid=""

wine_env_start() {
  "$top/scripts/wine-prefix.sh"
  if [ -z "$cv3_xvfb_pid" ] && { [ -z "${DISPLAY:-}" ] || [ -n "${CV3_PRIVATE_XVFB:-}" ]; }; then
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    cv3_xvfb_pid=$!
    local display
    read -r -t 20 display <"$fifo" || true
    rm -f "$fifo"
    [ -n "$display" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$display"
  fi
  # Wine's helper processes (services, explorer) outlive a program and would hold a test's
  # output pipe open; start them here, detached, and keep them for the whole run.
  wineserver -p
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_env_stop() {
  wineserver -k 2>/dev/null || true
  if [ -n "$cv3_xvfb_pid" ]; then
    kill "$cv3_xvfb_pid" 2>/dev/null || true
    wait "$cv3_xvfb_pid" 2>/dev/null || true
  fi
}
