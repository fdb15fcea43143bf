#!/usr/bin/env bash
# The main job: builds everything, starts a local lobbyd with its SQLite store and two accounts,
# and starts cv3client.exe under Wine against it. Without a display it runs headless under Xvfb,
# signs in automatically and saves a screenshot of the main window.
#   scripts/run.sh           run until the client exits (or Ctrl-C)
#   scripts/run.sh --once    headless: stop after the screenshot
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
once=0
[ "${1:-}" = "--once" ] && once=1
"$top/scripts/install-deps.sh"
cmake --preset native >/dev/null && cmake --build --preset native --target lobbyd
cmake --preset windows >/dev/null && cmake --build --preset windows --target cv3client cv3probe skyrendw cv3installgame

run="$top/run"
mkdir -p "$run"
port=${CV3_PORT:-13228}
account=pilot password=skyrend
headless=0
[ -z "${DISPLAY:-}" ] || [ "$once" = 1 ] && headless=1

"$top/build/native/lobbyd/lobbyd" --listen "127.0.0.1:$port" --db "$run/lobby.db" \
  --add-account "$account:$password" --add-account "wingman:skyrend" 2>>"$run/lobbyd.log" &
lobbyd_pid=$!
# The client's own prefix, apart from the tests': its settings and a desktop window of its own.
export CV3_WINEPREFIX="${CV3_WINEPREFIX:-$run/wineprefix}"
source "$top/scripts/wine-env.sh"
[ "$headless" = 1 ] && export CV3_PRIVATE_XVFB=1
wingman_pid=""
cleanup() {
  [ -n "$wingman_pid" ] && kill "$wingman_pid" 2>/dev/null
  kill "$lobbyd_pid" 2>/dev/null || true
  wait "$lobbyd_pid" 2>/dev/null || true
  wine_env_stop
}
trap cleanup EXIT
wine_env_start
if [ "$headless" = 1 ]; then
  # Xvfb has no window manager: a Wine desktop gives the windows their title bars.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f \
    >/dev/null 2>&1
  wineserver -k; wine_env_start
fi

# The stand-in game, installed as the game would be, so games can be hosted and joined locally
# (its version is the seeded game's).
game_run=$(wine "$top/build/windows/cv3installgame.exe" "Z:$run/game" 1.2 </dev/null 2>/dev/null |
  tr -d '\r')
echo "The stand-in game is installed in $game_run"

# The client reads its server and remembered sign-in from the registry.
digest=$(printf '%s' "$password" | md5sum | cut -d' ' -f1 | tr a-f A-F)
reg() { wine reg add 'HKCU\Software\Corvane' /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1; }
reg CvAddress REG_SZ 127.0.0.1
reg CvPort REG_SZ "$port"
reg Username REG_SZ "$account"
reg Password REG_SZ "$digest"
reg RememberLogin REG_DWORD 1
reg AutoLogin REG_DWORD "$headless"
# Lobby lines pop the lobby window up, and it keeps its conversation when closed.
reg PopupLobbyOnMsg REG_DWORD 1
reg BuffLobby REG_DWORD 1

# A second pilot with a hosted game, away, so the roster has something in each group.
for _ in $(seq 1 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'AUTH:wingman:%s\r\n' "$digest" >&3
printf 'HOSTGAME:Canyon Run:127.0.0.1:1.2:Named:1:0:0:0:0:0:0:0:0:1:Friendly dogfights\xb6All welcome\r\n' >&3
printf 'AWAY:refuelling\r\n' >&3
# The wingman greets the pilot in the lobby once he is online.
while IFS= read -r line; do
  if [ "${line%$'\r'}" = "ISON:$account" ]; then
    printf 'LMSG:Welcome to the lobby, %s! Say hello, or double-click me for a private chat.\r\n' \
      "$account" >&3
  fi
done <&3 &
wingman_pid=$!

echo "lobbyd listens on 127.0.0.1:$port (store $run/lobby.db, log $run/lobbyd.log)"
echo "Sign in as '$account' with the password '$password' (or 'wingman', same password)."
wine "$top/build/windows/cv3client.exe" </dev/null >"$run/client.log" 2>&1 &
client_pid=$!
probe() { wine "$top/build/windows/cv3probe.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
if [ "$headless" = 1 ]; then
  shot="$run/cv3client.png"
  if probe wait-status Online 30000 >/dev/null; then
    probe dump
  else
    echo "The client did not reach Online; see $run/client.log and $run/lobbyd.log"
  fi
  import -window root "$shot" && echo "Screenshot of the main window: $shot"
  [ "$once" = 1 ] && exit 0
fi
wait "$client_pid" || true
