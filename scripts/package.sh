#!/usr/bin/env bash
# Builds what a player gets (preset windows-release: cv3client.exe and cv3guard.exe, optimised for
# size, stripped, with no MinGW DLLs) and packs the portable zip and the installer
# (Corvane3-Setup-<version>.exe) into build/packages/; prints the programs', the zip's and the
# installer's sizes. With CV3_SIGN_PKCS12 (a PKCS#12 code-signing certificate, outside the
# repository) and CV3_SIGN_PASSWORD (its password) it signs both programs before packing them, and
# the installer and its uninstaller as makensis writes them (scripts/sign-windows.sh);
# CV3_SIGN_URL, if set, is the web address the signature names.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
cmake --preset windows-release >/dev/null
# Signing changes the programs in place, so they are linked afresh each time: an unsigned package
# never holds the programs an earlier run signed.
programs=(build/windows-release/cv3client.exe build/windows-release/cv3guard.exe)
rm -f "${programs[@]}"
cmake --build --preset windows-release
if [ -n "${CV3_SIGN_PKCS12:-}" ]; then
  for exe in "${programs[@]}"; do "$top/scripts/sign-windows.sh" "$exe"; done
else
  echo "Not signed: CV3_SIGN_PKCS12 is not set"
fi
rm -f build/packages/Corvane3-*
# The installer (NSIS) signs itself and its uninstaller as makensis writes them, with the same
# certificate; cpack's log is shown only when it fails.
cpack --config build/windows-release/CPackConfig.cmake -B build/packages >build/packages.log 2>&1 ||
  { cat build/packages.log; find build/packages -name 'NSISOutput.log' -exec cat {} +; exit 1; }
rm -rf build/packages/_CPack_Packages
for file in build/windows-release/cv3client.exe build/windows-release/cv3guard.exe \
  build/packages/Corvane3-*-portable.zip build/packages/Corvane3-Setup-*.exe; do
  echo "Size: $(stat -c %s "$file") bytes  $file"
done
