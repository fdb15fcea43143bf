#!/usr/bin/env bash
# Runs a Windows program under Wine in the build folder's private prefix, headless and quiet.
# CMake uses it as the cross-compiling emulator; the prefix is made by scripts/wine-prefix.sh.
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${CV3_WINEPREFIX:-$here/build/windows/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
