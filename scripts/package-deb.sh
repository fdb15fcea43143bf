#!/usr/bin/env bash
# Builds lobbyd's Debian package from the native build: build/packages/lobbyd_VERSION_amd64.deb.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
[ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
cmake --build build/native -j2 --target lobbyd lobbyd_man lobbyd_changelog >/dev/null
rm -f build/packages/lobbyd_*.deb
(cd build/native && cpack -G DEB >/dev/null)
ls build/packages/lobbyd_*.deb
