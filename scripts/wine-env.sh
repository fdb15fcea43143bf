# Sourced by the scripts that run Windows programs: the private prefix, a display (a private
# Xvfb when there is none), a persistent wineserver started with its helpers detached from our
# pipes, and a cleanup that stops them all. Call wine_env_start, and trap wine_env_stop.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${CV3_WINEPREFIX:-$top/build/windows/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cv3_xvfb_pid=""
cv3_keeper_fifo=""

wine_env_start() {
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
  # The prefix is made (and its wineserver gone) before anything else runs in it.
  "$top/scripts/wine-prefix.sh"
  # Wine's helper processes (services, explorer) outlive a program and would hold a test's
  # output pipe open; start them here, detached, and keep them for the whole run.
  wineserver -p
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  # Wine's desktop ends a moment after its last program, and the next program brings it up
  # again; a program started while it comes and goes can fail to start at all. One program that
  # waits for a line that never comes keeps the desktop up for the whole run.
  [ -z "$cv3_keeper_fifo" ] || rm -f "$cv3_keeper_fifo"
  cv3_keeper_fifo=$(mktemp -u)
  mkfifo "$cv3_keeper_fifo"
  wine cmd /c "set /p never=" <>"$cv3_keeper_fifo" >/dev/null 2>&1 &
  wine_env_wait_settled
}

# The first program brings up the desktop and Wine's services in the background; a program
# started while they are still coming up can fail to start. Waits (at most 30 s) until this
# prefix's desktop runs and no new Wine process of it has appeared for a second.
wine_env_wait_settled() {
  local previous="" current quiet=0 deadline=$((SECONDS + 30))
  while [ "$SECONDS" -lt "$deadline" ]; do
    current=$(wine_env_processes)
    if [ "$current" = "$previous" ] && [[ "$current" == *'explorer.exe'* ]]; then
      quiet=$((quiet + 1))
      [ "$quiet" -ge 10 ] && return 0
    else
      quiet=0
    fi
    previous=$current
    sleep 0.1
  done
  echo "Wine's desktop and services did not settle within 30 s; going on" >&2
}

# The Windows processes running in this prefix, one "pid command line" a line.
wine_env_processes() {
  local pid program
  ps -eo pid=,args= | awk '$2 ~ /^[A-Za-z]:\\/' | while read -r pid program; do
    { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
      echo "$pid $program"
  done
}

wine_env_stop() {
  wineserver -k 2>/dev/null || true
  [ -z "$cv3_keeper_fifo" ] || rm -f "$cv3_keeper_fifo"
  if [ -n "$cv3_xvfb_pid" ]; then
    kill "$cv3_xvfb_pid" 2>/dev/null || true
    wait "$cv3_xvfb_pid" 2>/dev/null || true
  fi
}
