#!/usr/bin/env bash
# Runs the client in Wine prefixes set up like players' machines, each fresh, with its own display,
# wineserver and lobbyd, CV3_PREFIX_JOBS (default 2) at a time:
# - ANSI code pages 932, 1251 and 1250 (the prefix made, and run, in a Japanese, Russian or Czech
#   locale): the end-to-end tests that carry Windows-1252 text, which assert it exactly in the
#   windows and on the wire; and the installer (when scripts/package.sh has built it) installs
#   silently into C:\ゲーム\コルヴェイン, from where the client starts with its pictures and signs in;
# - Windows 7, 8.1, 10 and 11: the client signs in, the watchdog starts the game, and the version a
#   program with the client's manifest is told is the one the prefix is set to.
# Run by scripts/test.sh after the Windows build and the packages. Prints each setting's checks and
# time, and ends with "Prefixes: N passed, N failed"; non-zero on any failure.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=${CV3_PREFIX_JOBS:-2}
setup=$(ls "$top"/build/packages/Corvane3-Setup-*.exe 2>/dev/null | head -n 1)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The tests that carry text: sign-in and the roster, lobby and private chat, a profile, the
# ignore list in the preferences, a game's details, and hosting with its save file.
text_tests=(
  ClientEndToEnd.SignsInSeesTheLobbyFollowsPresenceAndExits
  TalkEndToEnd.ALobbyLineShowsOnceAtEachSideAndAPrivateLineArrivesWhole
  TalkEndToEnd.AProfileEditedByOnePilotIsSeenByTheOtherWithItsTwoLineBio
  PreferencesEndToEnd.RemovingAnIgnoredPilotGivesHisIconBackAndOkStoresTheList
  GamesEndToEnd.AnotherPilotsGameIsJoinedFromItsDetailsButNotResumed
  GamesEndToEnd.AGameHostedInTheWindowStartsTheGameIsSeenAndIsRemovedFromBothRosters
)
# Both programs start (the client signs in; the watchdog starts the game), and the version.
version_tests=(
  ClientEndToEnd.SignsInSeesTheLobbyFollowsPresenceAndExits
  SystemInfo.ReportsTheVersionTheSystemIsSetTo
)
# The game the watchdog starts listens on the fixed port 9001: one setting at a time runs it.
guard_test=GuardTest.SecondCopyEndsAtOnceAndClosingLeavesTheGame
# name, locale, ANSI code page, Windows version (winecfg's name), what "ver" says, the version text
settings=(
  "cp932 ja_JP.UTF-8 932 - - -"
  "cp1251 ru_RU.UTF-8 1251 - - -"
  "cp1250 cs_CZ.UTF-8 1250 - - -"
  "win7 C.UTF-8 - win7 6.1.7601 6.1"
  "win81 C.UTF-8 - win81 6.3.9600 6.3"
  "win10 C.UTF-8 - win10 10.0.18362 10.0"
  "win11 C.UTF-8 - win11 10.0.22000 10.0"
)

# Locales are generated once, on the machine; the code page follows the prefix's locale.
for locale in ja_JP ru_RU cs_CZ; do
  locale -a | grep -qx "$locale.utf8" || localedef -i "$locale" -f UTF-8 "$locale.UTF-8" ||
    echo "Could not generate the locale $locale.UTF-8"
done

# One setting, in a subshell of its own; its checks go to its log.
setting() {  # name locale code-page version ver-text version-text
  local name=$1 locale=$2 acp=$3 version=$4 ver=$5 expected=$6
  local dir="$scratch/$name" start=$SECONDS
  mkdir -p "$dir/home"
  (
    source "$top/scripts/counted-checks.sh"
    export LANG=$locale LC_ALL=$locale
    export CV3_WINEPREFIX="$dir/prefix" CV3_PRIVATE_XVFB=1 CV3_UNMANAGED_WINDOWS=1
    export HOME="$dir/home" XDG_DATA_HOME="$dir/xdg"
    source "$top/scripts/wine-env.sh"
    trap 'kill $lobbyd_pid 2>/dev/null; wine_env_stop' EXIT
    lobbyd_pid=""
    if ! wine_env_start >/dev/null; then
      check "$name: Wine starts in a fresh prefix" false
      exit
    fi
    win() { wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
    if [ "$acp" != - ]; then
      check "$name: the prefix's ANSI code page is $acp" \
        grep -qx "\"ACP\"=\"$acp\"" "$CV3_WINEPREFIX/system.reg"
    fi
    if [ "$version" != - ]; then
      set_version "$version"
      check "$name: the prefix is set to Windows $ver" \
        grep -qx "Microsoft Windows $ver" <<<"$(win cmd /c ver)"
      export CV3_EXPECTED_WINVERSION=$expected
    fi
    export CV3_LOBBYD_PORT=$((20000 + RANDOM % 20000))
    export CV3_LOBBYD_PROGRAM="$top/build/native/lobbyd/lobbyd"
    "$CV3_LOBBYD_PROGRAM" --listen "127.0.0.1:$CV3_LOBBYD_PORT" --db "$dir/lobby.db" \
      --add-account pilot:skyrend --add-account wingman:skyrend 2>"$dir/lobbyd.log" &
    lobbyd_pid=$!
    for _ in $(seq 1 100); do
      (exec 3<>"/dev/tcp/127.0.0.1/$CV3_LOBBYD_PORT") 2>/dev/null && break
      sleep 0.1
    done
    if [ "$acp" != - ]; then
      run_tests "$name" "${text_tests[@]}"
      install_into_japanese_folder "$name"
    else
      run_tests "$name" "${version_tests[@]}"
      { flock 9 && run_tests "$name" "$guard_test"; } 9>"$scratch/game-port.lock"
    fi
    echo "Figure: $name took $((SECONDS - start)) s"
  ) >"$dir/log" 2>&1
}

# Wine 8 knows Windows 10 as its newest; Windows 11 is Windows 10.0 with build 22000 and later,
# which the prefix's registry gives once Wine's own version setting is gone.
set_version() {
  if [ "$1" = win11 ]; then
    wine winecfg -v win10 </dev/null >/dev/null 2>&1
    wine reg delete 'HKCU\Software\Wine' /v Version /f </dev/null >/dev/null 2>&1
    local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
    wine reg add "$key" /v CurrentBuild /d 22000 /f </dev/null >/dev/null 2>&1
    wine reg add "$key" /v CurrentBuildNumber /d 22000 /f </dev/null >/dev/null 2>&1
    wine reg add "$key" /v ProductName /d "Microsoft Windows 11" /f </dev/null >/dev/null 2>&1
  else
    wine winecfg -v "$1" </dev/null >/dev/null 2>&1
  fi
}

run_tests() {  # name test...: one check per test, passed only when ctest ran it and it passed
  local name=$1 log
  shift
  log="$scratch/$name/ctest-$RANDOM.log"
  local pattern
  pattern="^($(IFS='|'; echo "$*"))\$"
  ctest --test-dir "$top/build/windows" -R "$pattern" --output-on-failure >"$log" 2>&1
  local all=0
  for test in "$@"; do
    check "$name: $test" grep -qE "Test +#[0-9]+: $test \.+ +Passed" "$log" || all=1
  done
  [ "$all" -eq 0 ] || grep -vE '^ +Start |Passed +[0-9.]+ sec$' "$log" | sed 's/^/  /'
}

install_into_japanese_folder() {
  local name=$1 folder='C:\ゲーム\コルヴェイン'
  check "$name: the installer was built" test -n "$setup" || return
  # /D= comes last and unquoted, spaces and all.
  check "$name: a silent install into $folder succeeds" \
    bash -c 'wine "$1" /S "/D=$2" </dev/null >/dev/null 2>&1' _ "$setup" "$folder" || return
  check "$name: the client is in $folder" test -f "$(winepath -u "$folder\\cv3client.exe" 2>/dev/null)"
  CV3_PACKAGE_DIR=$folder run_tests "$name" ClientEndToEnd.ThePackagedClientSignsInFromItsUnpackedFolder
}

# CV3_PREFIX_SETTINGS: the names of the settings to run (all when unset).
if [ -n "${CV3_PREFIX_SETTINGS:-}" ]; then
  chosen=()
  for line in "${settings[@]}"; do
    [[ " $CV3_PREFIX_SETTINGS " == *" ${line%% *} "* ]] && chosen+=("$line")
  done
  settings=("${chosen[@]}")
fi
start=$SECONDS
for line in "${settings[@]}"; do
  read -ra words <<<"$line"
  setting "${words[@]}" &
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
done
wait
passed=0 failed=0
for line in "${settings[@]}"; do
  read -r name _ <<<"$line"
  log="$scratch/$name/log"
  echo "-- $name"
  cat "$log" 2>/dev/null
  passed=$((passed + $(grep -c '^PASS ' "$log" 2>/dev/null || true)))
  failed=$((failed + $(grep -c '^FAIL ' "$log" 2>/dev/null || true)))
  # A setting that ran no check at all has failed.
  grep -qE '^(PASS|FAIL) ' "$log" 2>/dev/null || failed=$((failed + 1))
done
echo "Figure: all settings took $((SECONDS - start)) s with $jobs at a time"
echo "Prefixes: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
