#!/usr/bin/env bash
# Checks lobbyd's systemd unit as systemd reads it: `systemd-analyze verify` must find nothing to
# say (unknown keys are only warnings there, so any output fails), and its hardening must keep
# `systemd-analyze security` at "OK" (2.0) or better. The unit's program path is replaced by the
# built lobbyd, since verify checks that the program exists. A template (NAME@.service) is checked
# as its instance NAME@a.service.
#   scripts/verify-service.sh UNIT LOBBYD
set -u
unit=$1 program=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
name=$(basename "$unit")
name=${name/@.service/@a.service}
sed "s#/usr/local/bin/lobbyd#$program#g" "$unit" >"$dir/$name"
cd "$dir"
output=$(systemd-analyze verify --man=no "./$name" 2>&1)
rc=$?
if [ $rc -ne 0 ] || [ -n "$output" ]; then
  echo "systemd-analyze verify (exit $rc):"
  echo "$output"
  exit 1
fi
if ! systemd-analyze security --offline=yes --threshold=20 "./$name" >security.txt 2>&1; then
  grep -E '✗|Overall' security.txt
  echo "the unit's hardening fell below \"OK\""
  exit 1
fi
grep -E 'Overall' security.txt
