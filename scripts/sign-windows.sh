#!/usr/bin/env bash
# Signs one Windows program in place with osslsigncode: CV3_SIGN_PKCS12 names a PKCS#12
# code-signing certificate (outside the repository), CV3_SIGN_PASSWORD is its password, and
# CV3_SIGN_URL, if set, the web address the signature names. Used by package.sh for the programs
# and by the installer's script for the installer and its uninstaller.
set -euo pipefail
exe=$1
: "${CV3_SIGN_PKCS12:?names the certificate to sign with}"
# The product's web address is shown with the signature only when one is given.
url=()
[ -z "${CV3_SIGN_URL:-}" ] || url=(-i "$CV3_SIGN_URL")
# No timestamp: the signature must not depend on reaching a timestamp server.
# The password goes through a pipe, never the command line other users can read.
printf '%s' "${CV3_SIGN_PASSWORD:-}" |
  osslsigncode sign -pkcs12 "$CV3_SIGN_PKCS12" -readpass - -h sha256 -n "Corvane 3" \
    "${url[@]}" -in "$exe" -out "$exe.signed" >/dev/null
mv -f "$exe.signed" "$exe"
chmod 755 "$exe"
echo "Signed: $exe"
