#!/usr/bin/env bash
# Builds the portable zip and the installer (scripts/package.sh) and checks what a player gets:
# the programs import Windows system DLLs only, carry their version resource, stay within their
# sizes, and the zip, unpacked into a folder with spaces, holds the programs, pictures and sounds,
# both programs signed (with a throwaway certificate) so that their signatures verify, and its
# cv3client.exe signs in to the test lobbyd under Wine; then the installer
# (scripts/check-installer.sh). Run by scripts/test.sh with Wine started and CV3_LOBBYD_PORT set.
# Ends with "Packages: N passed, N failed"; non-zero on any failure.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
source "$top/scripts/counted-checks.sh"

# The DLLs a release program may import: Windows' own, never the compiler's runtime.
allowed="ADVAPI32 COMCTL32 COMDLG32 GDI32 GDIPLUS KERNEL32 MSVCRT OLE32 OLEAUT32 SHELL32 SHLWAPI
USER32 VERSION WINMM WS2_32 SECUR32 CRYPT32"
system_dlls_only() {  # exe
  local dlls bad=0
  dlls=$(x86_64-w64-mingw32-objdump -p "$1" | sed -nE 's/^\s*DLL Name: (.*)\.dll$/\1/Ip')
  [ -n "$dlls" ] || return 1
  for dll in $dlls; do
    grep -qw "${dll^^}" <<<"$allowed" || { echo "  $1 imports $dll.dll"; bad=1; }
  done
  return $bad
}
at_most() {  # file bytes
  local size
  size=$(stat -c %s "$1")
  echo "  $1: $size bytes (at most $2)"
  [ "$size" -le "$2" ]
}

# The package is signed with a throwaway self-signed code-signing certificate, made here and
# deleted at exit, and the signatures are verified against it below.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
make_certificate() {  # folder: cert.pem (the certificate) and sign.p12 (it with its key)
  openssl req -x509 -newkey rsa:2048 -nodes -days 3 -subj "/CN=Corvane 3 test signing" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$1/key.pem" -out "$1/cert.pem" 2>/dev/null &&
    openssl pkcs12 -export -inkey "$1/key.pem" -in "$1/cert.pem" -out "$1/sign.p12" \
      -passout pass:throwaway
}
check "a throwaway signing certificate is made" make_certificate "$scratch" || finish
check "package builds" env CV3_SIGN_PKCS12="$scratch/sign.p12" CV3_SIGN_PASSWORD=throwaway \
  "$top/scripts/package.sh" || finish
release=build/windows-release
check "cv3client.exe imports system DLLs only" system_dlls_only "$release/cv3client.exe"
check "cv3guard.exe imports system DLLs only" system_dlls_only "$release/cv3guard.exe"
check "cv3client.exe at most 1 MB" at_most "$release/cv3client.exe" $((1024 * 1024))
check "cv3guard.exe at most 300 KB" at_most "$release/cv3guard.exe" $((300 * 1024))

# The zip holds one folder, "Corvane 3", with the programs and every picture and sound.
unpacked=$scratch
folder="$unpacked/unpacked here/Corvane 3"
zip=$(ls build/packages/Corvane3-*-portable.zip)
mkdir -p "$unpacked/unpacked here"
(cd "$unpacked/unpacked here" && cmake -E tar xf "$top/$zip")
expected=$( (echo cv3client.exe; echo cv3guard.exe; cd assets && find pictures sounds -type f) | sort)
actual=$(cd "$unpacked/unpacked here" && find . -type f | sed 's|^\./||' | sort)
check "the zip holds Corvane 3 with the programs, pictures and sounds" \
  test "$actual" = "$(sed 's|^|Corvane 3/|' <<<"$expected")"
cmp -s "$folder/cv3client.exe" "$release/cv3client.exe"
check "the zip's cv3client.exe is the release build's" test $? -eq 0
signed() { signature_verifies "$scratch/cert.pem" "$1"; }
check "the zip's cv3client.exe is signed and verifies" signed "$folder/cv3client.exe"
check "the zip's cv3guard.exe is signed and verifies" signed "$folder/cv3guard.exe"

# Read back under Wine by the Windows tests that wait for an unpacked package: the version
# resources of both programs and a sign-in of the unpacked client. Both must run, not be skipped.
log="$unpacked/ctest.log"
CV3_PACKAGE_DIR="$folder" ctest --test-dir build/windows -R 'Packaged' --output-on-failure \
  >"$log" 2>&1
rc=$?
cat "$log" | grep -vE '^ +Start |Passed +[0-9.]+ sec$'
ran=$(grep -cE 'Test +#[0-9]+: .*Packaged.* +Passed' "$log")
check "the packed programs carry their version resource" \
  grep -qE 'VersionResource\.ThePackagedProgramsCarryTheProductVersion +\.+ +Passed' "$log"
check "the unpacked cv3client.exe signs in under Wine" \
  grep -qE 'ClientEndToEnd\.ThePackagedClientSignsInFromItsUnpackedFolder +\.+ +Passed' "$log"
check "no packaged test skipped or failed" test "$rc" -eq 0 -a "$ran" -eq 2

# The installer, in a fresh prefix of its own; its checks count with these.
CV3_SIGN_CA="$scratch/cert.pem" "$top/scripts/check-installer.sh" | tee "$scratch/installer.log"
read -r ip if <<<"$(sed -nE 's/^Packages: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$scratch/installer.log")"
passed=$((passed + ${ip:-0})) failed=$((failed + ${if:-1}))
finish
