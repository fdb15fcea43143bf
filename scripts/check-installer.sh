#!/usr/bin/env bash
# Checks the installer (build/packages/Corvane3-Setup-*.exe, made and signed with a throwaway
# certificate by check-package.sh) the way a player and an administrator use it, in a fresh Wine
# prefix: a silent install puts the files, the Start menu shortcut and the uninstall entry in place;
# the installed client signs in to the test lobbyd and writes nothing into its folder; an install
# while the client runs changes nothing, nor does an install or an uninstall beside another one or
# beside an elevated client; a second install keeps the settings; a silent uninstall leaves no
# program file, shortcut, uninstall entry or "CV30" value and keeps the settings, which go too with
# /REMOVESETTINGS; only /SITE=, /TLS and /PIN= write settings ("CvWebSite", "CvTls", "CvTlsPin");
# a player's own "Corvane 3" shortcuts to a portable copy survive an install and an uninstall.
# Prints the figures (sizes, times). Run by scripts/test.sh with CV3_LOBBYD_PORT set and the lobbyd
# of the Windows tests running, after the Windows build (its setup tool,
# build/windows/cv3setuptool.exe).
# Ends with "Packages: N passed, N failed"; non-zero on any failure.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
source "$top/scripts/counted-checks.sh"

setup=$(ls build/packages/Corvane3-Setup-*.exe 2>/dev/null | head -n 1)
check "the installer was built" test -n "$setup" || finish
setup="$top/$setup"
tool="$top/build/windows/cv3setuptool.exe"
check "the setup tool was built" test -f "$tool" || finish
size=$(stat -c %s "$setup")
echo "Figure: installer $size bytes"
check "the installer is at most 1.5 MB" test "$size" -le $((1536 * 1024))
# The same throwaway certificate check-package.sh signed with, kept for us in CV3_SIGN_CA.
signed() { signature_verifies "$CV3_SIGN_CA" "$1"; }
[ -n "${CV3_SIGN_CA:-}" ] && check "the installer is signed and verifies" signed "$setup"

# A fresh prefix, as a player's first Wine would be, with its own desktop and wineserver.
scratch=$(mktemp -d)
export CV3_WINEPREFIX="$scratch/prefix"
export CV3_PRIVATE_XVFB=1
# Wine puts Start menu entries into the desktop's applications menu below XDG_DATA_HOME.
export XDG_DATA_HOME="$scratch/xdg"
# Wine links the prefix's desktop to the home folder: one of the check's own, so that no shortcut
# it makes (or Wine's menu entry for one) lands in the real one.
export HOME="$scratch/home"
mkdir -p "$HOME"
source "$top/scripts/wine-env.sh"
trap 'wine_env_stop; rm -rf "$scratch"' EXIT
wine_env_start >/dev/null || finish

win() { wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
local_appdata=$(win cmd /c echo %LOCALAPPDATA%)
appdata=$(win cmd /c echo %APPDATA%)
desktop=$(win cmd /c echo %USERPROFILE%)\\Desktop
target="$local_appdata\\Programs\\Corvane 3"
unix() { winepath -u "$1" 2>/dev/null; }
folder=$(unix "$target")
shortcut=$(unix "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Corvane 3.lnk")
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane 3'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='HKCU\Software\Corvane'

within() {  # seconds command...: true once the command succeeds, trying every 0.2 s until then
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}
# An NSIS uninstaller copies itself to the temporary folder (~nsuN.tmp\Un.exe) and runs from
# there, so the one started ends at once; wait until no installer or uninstaller runs.
# (The list is taken whole first: with pipefail, grep -q ending the pipe early would fail it.)
no_setup_program() {
  ! grep -qiE '~nsu[^\\]*\\Un\.exe|Uninstall\.exe|Setup-' <<<"$(wine_env_processes)"
}
timed() {  # figure-name command...: runs it, prints its wall time, keeps its exit code
  local name=$1 start rc ms
  shift
  start=$(date +%s%N)
  "$@" </dev/null >/dev/null 2>&1
  rc=$?
  ms=$((($(date +%s%N) - start) / 1000000))
  echo "Figure: $name $((ms / 1000)).$(printf %03d $((ms % 1000))) s (exit code $rc)"
  return $rc
}
install() { timed "silent install" wine "$setup" /S "$@"; }
uninstall() {  # the uninstall entry's QuietUninstallString, plus any switches
  timed "silent uninstall" uninstall_and_wait "$@"
}
uninstall_and_wait() { wine "$folder/Uninstall.exe" /S "$@" && within 60 no_setup_program; }
# The uninstaller started as above ends at once with code 0 whatever its copy does; run in place
# (_?=, last and unquoted like /D=, so given as words) it is that copy and ends with its code.
uninstall_in_place() {
  local words
  read -ra words <<<"_?=$target"
  timed "silent uninstall in place" wine "$folder/Uninstall.exe" /S "${words[@]}"
}
# The setup tool holds a mutex (with "denied", one we may not open) until release.
hold() {  # name [denied]: true once it is held
  rm -f "$scratch/hold-in" && mkfifo "$scratch/hold-in" && : >"$scratch/held"
  wine "$tool" hold "$@" <"$scratch/hold-in" >"$scratch/held" 2>&1 &
  holder=$!
  exec 7>"$scratch/hold-in"
  within 30 grep -q '^held' "$scratch/held"
}
release() { exec 7>&-; wait "$holder"; }
value() {  # key name: the data of one registry value, or nothing
  win reg query "$1" /v "$2" | sed -nE "s/^ +$2 +REG_[A-Z_]+ +(.*)$/\1/p"
}
# What the package put in the folder: the zip's files, plus the uninstaller.
expected=$( (echo cv3client.exe; echo cv3guard.exe; echo Uninstall.exe; cd assets && find pictures sounds -type f) | sort)
listing() { (cd "$1" 2>/dev/null && find . -type f | sed 's|^\./||' | sort); }
snapshot() {  # never the same twice when the folder is missing, so no comparison passes on nothing
  [ -d "$folder" ] || { echo "no folder $RANDOM$RANDOM"; return; }
  (cd "$folder" && find . -printf '%p %s %T@\n' | sort)
}

check "a silent install succeeds" install
check "the files are in %LOCALAPPDATA%\\Programs\\Corvane 3" test "$(listing "$folder")" = "$expected"
echo "Figure: installed size $(du -sk "$folder" | cut -f1) KiB"
check "the Start menu has the shortcut \"Corvane 3\"" test -f "$shortcut"
# Wine's menu builder runs after the install.
menu_entry="$XDG_DATA_HOME/applications/wine/Programs/Corvane 3.desktop"
check "Wine's applications menu has \"Corvane 3\"" within 30 test -f "$menu_entry"
check "Wine's uninstaller lists Corvane 3" bash -c "wine uninstaller --list 2>/dev/null | grep -q '|||Corvane 3'"
check "no desktop shortcut unless asked for" test ! -e "$(unix "$desktop\\Corvane 3.lnk")"
entry_is() {  # name expected-data
  local data
  data=$(value "$uninstall_key" "$1")
  [ "$data" = "$2" ] || { echo "  $1 is \"$data\", not \"$2\""; return 1; }
}
entry_ok() {
  local size
  entry_is DisplayName "Corvane 3" && entry_is DisplayVersion "3.0.0" &&
    entry_is Publisher "Corvane" && entry_is DisplayIcon "$target\\cv3client.exe,0" &&
    entry_is InstallLocation "$target" && entry_is UninstallString "\"$target\\Uninstall.exe\"" &&
    entry_is QuietUninstallString "\"$target\\Uninstall.exe\" /S" || return 1
  size=$(value "$uninstall_key" EstimatedSize)
  echo "  EstimatedSize $((size)) KiB"
  [ "$((size))" -ge 500 ]
}
check "the uninstall entry names the program, its version, publisher, folder and uninstaller" entry_ok
[ -n "${CV3_SIGN_CA:-}" ] && check "the uninstaller is signed and verifies" signed "$folder/Uninstall.exe"

# The installed client signs in; its folder is read-only meanwhile where the file system enforces
# it (not for root), and is compared before and after either way.
before=$(snapshot)
chmod -R a-w "$folder"
log="$scratch/ctest.log"
CV3_PACKAGE_DIR="$target" ctest --test-dir build/windows -R 'ThePackagedClientSignsIn' \
  --output-on-failure >"$log" 2>&1
rc=$?
chmod -R u+w "$folder"
grep -vE '^ +Start |Passed +[0-9.]+ sec$' "$log"
check "the installed client signs in" \
  grep -qE 'ThePackagedClientSignsInFromItsUnpackedFolder +\.+ +Passed' "$log"
check "the signing-in test ran and passed" test "$rc" -eq 0
check "the installed client wrote nothing into its folder" test "$before" = "$(snapshot)"

# Settings the player changed, and starting with Windows, as the client stores them.
win reg add "$settings_key" /v CvAddress /d "lobby.example.net" /f
win reg add "$run_key" /v CV30 /d "\"$target\\cv3client.exe\"" /f
settings() { win reg query "$settings_key" /s | sort; }

# While the installed client runs, an install replaces nothing under it and says so by its code.
wine "$target\\cv3client.exe" </dev/null >/dev/null 2>&1 &
# The client takes its instance name before it makes its main window, which X then shows.
main_window() { xwininfo -root -tree 2>/dev/null | grep -qF '"Corvane 3.0 BETA"'; }
client_gone() { ! grep -qi 'cv3client\.exe' <<<"$(wine_env_processes)"; }
check "the installed client runs" within 30 main_window
printf 'changed by the check' >>"$folder/pictures/cvlogo.gif"
marked=$(snapshot)
install
check "an install while the client runs ends with exit code 2" test $? -eq 2
check "an install while the client runs replaces nothing" test "$marked" = "$(snapshot)"
win taskkill /f /im cv3client.exe >/dev/null
within 30 client_gone
changed=$(settings)

# Beside another install or uninstall (the setup mutex held) and beside a client started elevated
# (its mutex held, and we may not open it), an install or an uninstall ends with exit code 2 having
# changed nothing.
refusals=(
  "an install beside another install|Corvane3.setup||install"
  "an install beside an elevated install|Corvane3.setup|denied|install"
  "an uninstall beside an install|Corvane3.setup||uninstall_in_place"
  "an install beside an elevated client|Corvane3.cv3client.instance|denied|install"
)
for refusal in "${refusals[@]}"; do
  IFS='|' read -r what name denied command <<<"$refusal"
  check "the setup tool holds $name${denied:+ (denied)}" hold "$name" $denied || { release; continue; }
  $command
  rc=$?
  release
  check "$what ends with exit code 2" test "$rc" -eq 2
  check "$what changes nothing" test "$marked" = "$(snapshot)"
done

check "a second install succeeds" install
check "the second install put the files back" test "$(listing "$folder")" = "$expected" -a \
  "$(cmp -s "$folder/pictures/cvlogo.gif" assets/pictures/cvlogo.gif && echo same)" = same
check "the second install kept every setting" test "$changed" = "$(settings)"

check "a silent uninstall succeeds" uninstall
check "no program file is left" test ! -e "$folder"
check "no Start menu shortcut is left" test ! -e "$shortcut"
check "no uninstall entry is left" bash -c "! wine reg query '$uninstall_key' >/dev/null 2>&1"
check "no \"CV30\" Run value is left" test -z "$(value "$run_key" CV30)"
check "the settings are kept" test "$changed" = "$(settings)"

# A community's own build names its web site with /SITE=, and its TLS server with /TLS and the
# server key's pin (/PIN=, base64 with its own "/" and "+"); an install without them leaves the
# values.
site=http://lobby.example.org
pin=n4bQgYhMfWWaL+qgxVrQFaO/TxsrC4Is0V1sFbDwCgg=
ours() {  # the three values the switches write, "|" between them
  echo "$(value "$settings_key" CvWebSite)|$(value "$settings_key" CvTls)|$(value "$settings_key" CvTlsPin)"
}
check "no install so far wrote \"CvWebSite\", \"CvTls\" or \"CvTlsPin\"" test "$(ours)" = "||"
check "a silent install with /SITE=, /TLS and /PIN= succeeds" install "/SITE=$site" /TLS "/PIN=$pin"
check "they stored \"CvWebSite\", \"CvTls\" 1 and \"CvTlsPin\"" test "$(ours)" = "$site|0x1|$pin"
check "an install without them succeeds" install
check "it kept all three" test "$(ours)" = "$site|0x1|$pin"
check "the silent uninstall succeeds" uninstall

# An administrator's install into a folder of his choice, with a desktop shortcut, and an
# uninstall that takes the settings too.
custom='C:\Games\Corvane Three'
folder=$(unix "$custom")
# NSIS takes /D= last and unquoted, as typed at a command prompt: given as two words here, so that
# Wine joins them with a space and quotes neither.
check "a silent install into /D= with /DESKTOP succeeds" install /DESKTOP '/D=C:\Games\Corvane' Three
check "the files are in the chosen folder" test "$(listing "$folder")" = "$expected"
check "the desktop has the shortcut" test -f "$(unix "$desktop\\Corvane 3.lnk")"
check "the uninstall entry names the chosen folder" entry_is InstallLocation "$custom"
check "a silent uninstall with /REMOVESETTINGS succeeds" uninstall /REMOVESETTINGS
check "no program file or desktop shortcut is left" \
  test ! -e "$folder" -a ! -e "$(unix "$desktop\\Corvane 3.lnk")"
check "the settings are gone" bash -c "! wine reg query '$settings_key' >/dev/null 2>&1"

# A player's own "Corvane 3" shortcuts, on the desktop and in the Start menu, start a portable copy:
# an install, even with /DESKTOP, and an uninstall leave them as they are.
portable='C:\Portable\Corvane 3'
mkdir -p "$(unix "$portable")" && cp build/windows-release/cv3client.exe "$(unix "$portable")/"
links=("$desktop\\Corvane 3.lnk" "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Corvane 3.lnk")
for link in "${links[@]}"; do
  check "a player's own shortcut starts the portable copy: $link" \
    wine "$tool" shortcut "$link" "$portable\\cv3client.exe" </dev/null
done
players_links() {  # never the same twice when one is missing
  for link in "${links[@]}"; do md5sum <"$(unix "$link")" 2>/dev/null || echo "missing $RANDOM"; done
}
theirs=$(players_links)
folder=$(unix "$target")
check "a silent install with /DESKTOP beside them succeeds" install /DESKTOP
check "the install left the player's shortcuts as they were" test "$theirs" = "$(players_links)"
check "the silent uninstall beside them succeeds" uninstall
check "the uninstall left the player's shortcuts as they were" test "$theirs" = "$(players_links)"
finish
