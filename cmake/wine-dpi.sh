#!/usr/bin/env bash
# Runs a Windows program as cmake/wine-run.sh does, with the prefix's screen at another DPI:
#   wine-dpi.sh <dpi> <program> [arguments]
# The DPI is the prefix's "LogPixels", which Wine reads as each program starts; it is set back to
# 96 afterwards, so the programs run after this one see the prefix as it was made. CV3_DPI tells
# the program which DPI it should find.
set -u
here=$(cd "$(dirname "$0")" && pwd)
dpi=$1
shift
export WINEPREFIX="${CV3_WINEPREFIX:-$here/../build/windows/wineprefix}"
export WINEDEBUG=-all
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 96' EXIT
set_dpi "$dpi" || { echo "wine-dpi.sh: could not set LogPixels to $dpi" >&2; exit 1; }
CV3_DPI=$dpi "$here/wine-run.sh" "$@"
