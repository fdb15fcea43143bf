# Sourced by the package checks: counted checks, the summary line scripts/test.sh adds up, and
# the signature check they share.
passed=0 failed=0
check() {  # name command...: one counted check
  local name=$1
  shift
  if "$@"; then
    echo "PASS $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name"
    failed=$((failed + 1))
    return 1
  fi
}
finish() {  # prints "Packages: N passed, N failed" and ends, non-zero on any failure
  echo "Packages: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}
signature_verifies() {  # certificate exe: the program's signature verifies against it
  local log
  log=$(osslsigncode verify -CAfile "$1" -in "$2" 2>&1) || { sed 's/^/  /' <<<"$log"; return 1; }
}
