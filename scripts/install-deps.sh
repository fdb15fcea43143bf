#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run. Idempotent: when all
# are present it changes nothing.
set -eu
packages=(
  cmake make g++ pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libasio-dev libsqlite3-dev libsodium-dev sqlite3
  # lobbyd's store in PostgreSQL (libpq); its tests start a throwaway cluster of their own.
  libpq-dev postgresql
  # lobbyd's nodes talk over NATS (nats.c); its tests start a nats-server of their own.
  libnats-dev nats-server
  # lobbyd over TLS: OpenSSL under Asio's SSL stream (its tests make certificates with openssl).
  libssl-dev openssl
  # lobbyd's web side: Markdown for the FAQ; for its tests an HTTP client, Chromium and the
  # metrics parser.
  libcpp-httplib-dev libcmark-dev chromium fonts-dejavu-core python3-prometheus-client
  mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  # fonts-wine is only recommended by wine, so --no-install-recommends would leave it out; without
  # Wine's own fonts the title bars draw their buttons as letters (wine-prefix.sh links them in).
  wine wine64 fonts-wine xvfb xauth x11-utils imagemagick
  # The Japanese, Russian and Czech locales the code-page prefixes are made in
  # (scripts/test-prefixes.sh generates them).
  locales
  # sox makes the message sound (assets/make_assets.sh).
  sox
  # clang with its sanitizer and libFuzzer runtimes: the sanitizer build and the fuzz targets
  # (the native-asan preset, scripts/fuzz.sh). systemd-analyze checks lobbyd's unit.
  clang libclang-rt-14-dev systemd
  # lobbyd's keepalive test puts a pilot in a network namespace of its own (ip netns, veth).
  iproute2
  # The format check (scripts/check-format.sh) is pinned to this clang-format.
  clang-format-14
  # lobbyd's Debian package (scripts/package-deb.sh, scripts/test-deb.sh): its manual page, the
  # library dependencies CPack computes (file finds the programs, dpkg-shlibdeps their libraries)
  # and the package checks.
  help2man file dpkg-dev lintian
  # Signing the Windows programs (scripts/package.sh) and the throwaway certificate the package
  # check signs them with (scripts/check-package.sh).
  osslsigncode openssl
  # The players' installer (CPack's NSIS generator; scripts/package.sh).
  nsis
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
