#!/usr/bin/env bash
# Builds what a player gets (preset windows-release: cv3client.exe and cv3guard.exe, optimised for
# size, stripped, with no MinGW DLLs) and packs the portable zip into build/packages/; prints the
# programs' and the zip's sizes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
cmake --preset windows-release >/dev/null
cmake --build --preset windows-release
rm -f build/packages/Corvane3-*-portable.zip
cpack --config build/windows-release/CPackConfig.cmake -B build/packages >/dev/null
rm -rf build/packages/_CPack_Packages
for file in build/windows-release/cv3client.exe build/windows-release/cv3guard.exe \
  build/packages/Corvane3-*-portable.zip; do
  echo "Size: $(stat -c %s "$file") bytes  $file"
done
