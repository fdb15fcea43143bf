#!/usr/bin/env bash
# Creates the private Wine prefix of the Windows build once, before any test needs it, so no test
# pays the 10-20 s of its creation or meets the Mono/Gecko installer prompts.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${CV3_WINEPREFIX:-$top/build/windows/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  echo "Creating the Wine prefix $WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1 || true
  wineserver -w
fi
# Debian's Wine does not look for its own fonts (fonts-wine) where that package puts them; link
# them into the prefix's Fonts folder, where Wine does look. Without Marlett the title bars draw
# their buttons as the letters "0 1 r".
if [ -d /usr/share/wine/fonts ]; then
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
fi
# Without a window manager (the tests' bare Xvfb) Wine waits about 2 s for one to confirm each
# hide of a managed window; unmanaged windows hide at once. The tests' own prefix, and any prefix
# made with CV3_UNMANAGED_WINDOWS set (the benchmarks'); a player's windows (scripts/run.sh, the
# installer check) keep their window manager.
if { [ -z "${CV3_WINEPREFIX:-}" ] || [ -n "${CV3_UNMANAGED_WINDOWS:-}" ]; } &&
  ! grep -A2 -F '[Software\\Wine\\X11 Driver]' "$WINEPREFIX/user.reg" | grep -q '"Managed"="N"'; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  wineserver -w
fi
