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
