#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for lobbyd's tests, listening only on a unix socket in its own
# folder; clients connect with host=DIR port=5432 user=postgres (trust: nothing but the folder's
# owner and root can reach the socket).
#   pg-test-cluster.sh init DIR    make a cluster in DIR (new or empty) and start it
#   pg-test-cluster.sh start DIR   start it again after a stop
#   pg-test-cluster.sh stop DIR    stop it, cutting its sessions
#   pg-test-cluster.sh up FILE     init one in a new temporary folder and write the folder to FILE
#   pg-test-cluster.sh down FILE   stop and remove the one FILE names, and FILE
# PostgreSQL refuses to run as root: run as root, the cluster belongs to the postgres system user.
# fsync is off: a test cluster need not survive a crash of the machine.
set -eu
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
owner() {
  if [ "$(id -u)" = 0 ]; then (cd / && runuser -u postgres -- "$@"); else "$@"; fi
}
start() {
  owner "$bin/pg_ctl" -D "$1/data" -l "$1/server.log" -w -s -o \
    "-c listen_addresses='' -c unix_socket_directories='$1' -c fsync=off -c full_page_writes=off" \
    start || { cat "$1/server.log" >&2; exit 1; }
}
init() {
  mkdir -p "$1"
  if [ "$(id -u)" = 0 ]; then chown postgres: "$1"; fi
  owner "$bin/initdb" -D "$1/data" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 --no-sync \
    >"$1/initdb.log" 2>&1 || { cat "$1/initdb.log" >&2; exit 1; }
  start "$1"
}
case "$1" in
  init) init "$2" ;;
  start) start "$2" ;;
  stop) owner "$bin/pg_ctl" -D "$2/data" -m fast -w -s stop ;;
  up)
    dir=$(mktemp -d "${TMPDIR:-/tmp}/lobbyd-pg-XXXXXX")
    init "$dir"
    echo "$dir" >"$2"
    ;;
  down)
    if [ -f "$2" ]; then
      dir=$(cat "$2")
      owner "$bin/pg_ctl" -D "$dir/data" -m fast -w -s stop || true
      rm -rf "$dir" "$2"
    fi
    ;;
  *)
    echo "usage: $0 init|start|stop DIR, or up|down FILE" >&2
    exit 2
    ;;
esac
