#!/usr/bin/env bash
# Builds lobbyd's Debian package and checks it: its control fields and files, lintian (no error),
# and, as root, that it installs, runs, and removes cleanly keeping the store. Installing changes
# this machine, so that part runs only as root and only where no lobbyd package is installed
# already. Prints "Packages: N passed, N failed"; exits non-zero on any failure.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
version=$(sed -nE 's/^project\(corvane3 VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
source "$top/scripts/counted-checks.sh"

deb=build/packages/lobbyd_${version}_amd64.deb
check "scripts/package-deb.sh makes $deb" \
  bash -c "timeout 300 '$top/scripts/package-deb.sh' && [ -f '$deb' ]"
[ -f "$deb" ] || finish
echo "$(stat -c %s "$deb") bytes"

field() { dpkg-deb --field "$deb" "$1"; }
check "Package is lobbyd" [ "$(field Package)" = lobbyd ]
check "Version is $version" [ "$(field Version)" = "$version" ]
check "Section is net" [ "$(field Section)" = net ]
depends=$(field Depends)
echo "Depends: $depends"
check "Depends names the libraries the program links" \
  bash -c "grep -q 'libsodium' <<<'$depends' && grep -q 'libsqlite3' <<<'$depends' && grep -q 'libpq5' <<<'$depends' && grep -q 'libssl3' <<<'$depends' && grep -q 'libc6' <<<'$depends'"
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
for f in ./usr/bin/lobbyd ./lib/systemd/system/lobbyd.service ./lib/systemd/system/lobbyd@.service \
  ./usr/share/man/man8/lobbyd.8.gz \
  ./usr/share/doc/lobbyd/copyright ./usr/share/doc/lobbyd/changelog.gz; do
  check "the package holds $f" grep -qxF "$f" <<<"$contents"
done
check "the packaged unit starts /usr/bin/lobbyd" bash -c \
  "dpkg-deb --fsys-tarfile '$deb' | tar -xO ./lib/systemd/system/lobbyd.service |
   grep -qx 'ExecStart=/usr/bin/lobbyd --listen 0.0.0.0:13228 --db /var/lib/lobbyd/lobby.db'"
check "the packaged node template starts /usr/bin/lobbyd" bash -c \
  "dpkg-deb --fsys-tarfile '$deb' | tar -xO ./lib/systemd/system/lobbyd@.service |
   grep -q '^ExecStart=/usr/bin/lobbyd --node %i '"
check "the packaged unit reloads the TLS certificate on systemctl reload" bash -c \
  "dpkg-deb --fsys-tarfile '$deb' | tar -xO ./lib/systemd/system/lobbyd.service |
   grep -qxF 'ExecReload=/bin/kill -HUP \$MAINPID'"
check "the manual page is made from the program's help" bash -c \
  "dpkg-deb --fsys-tarfile '$deb' | tar -xO ./usr/share/man/man8/lobbyd.8.gz | gzip -dc |
   grep -q 'listen' && dpkg-deb --fsys-tarfile '$deb' | tar -xO ./usr/share/man/man8/lobbyd.8.gz |
   gzip -dc | grep -q 'lobbyd $version'"
lintian_out=$(timeout 120 lintian "$deb" 2>&1)
lintian_rc=$?
echo "$lintian_out"
check "lintian reports no error" [ "$lintian_rc" -eq 0 ]

if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing the package (needs root)"
elif dpkg-query -W -f='${Status}' lobbyd 2>/dev/null | grep -q installed; then
  echo "skipped: installing the package (a lobbyd package is installed here already)"
else
  check "dpkg -i installs it" bash -c "timeout 60 dpkg -i '$deb' >/dev/null"
  check "/usr/bin/lobbyd --version prints \"lobbyd $version\"" \
    [ "$(timeout 10 /usr/bin/lobbyd --version 2>&1)" = "lobbyd $version" ]
  check "the service is enabled" [ -L /etc/systemd/system/multi-user.target.wants/lobbyd.service ]
  # Without a running systemd nothing made the store: stand one in, to see removal keep it.
  made_store=no
  if [ ! -e /var/lib/lobbyd ]; then
    mkdir -p /var/lib/lobbyd && echo store >/var/lib/lobbyd/lobby.db && made_store=yes
  fi
  check "dpkg -r removes it" bash -c "timeout 60 dpkg -r lobbyd >/dev/null"
  check "no /usr/bin/lobbyd after removal" [ ! -e /usr/bin/lobbyd ]
  check "the store is kept on removal" [ -f /var/lib/lobbyd/lobby.db ]
  check "dpkg -P purges it" bash -c "timeout 60 dpkg -P lobbyd >/dev/null"
  check "the store is kept on purge" [ -f /var/lib/lobbyd/lobby.db ]
  check "no enablement left after purge" [ ! -e /etc/systemd/system/multi-user.target.wants/lobbyd.service ]
  [ "$made_store" = yes ] && rm -rf /var/lib/lobbyd
fi
finish
