#!/usr/bin/env bash
# The test HTTP servers of the Windows download tests, as a ctest fixture: Windows programs under Wine use
# the host's sockets, so tests/http/http_test_server.py serves them on 127.0.0.1. One server speaks http,
# one https with a self-signed certificate; their ports go to DIR/http-server.port and
# DIR/https-server.port, beside the test programs, which read them.
#
# Usage: http-server.sh start|stop DIR
set -euo pipefail
action=$1
dir=$(realpath -m "$2")
script=$(dirname "$(realpath "$0")")/../http/http_test_server.py
state=$dir/http-server

stop() {
  for pidfile in "$state"/*.pid; do
    [ -e "$pidfile" ] || continue
    # The session's group: the shell, its sleeper and the server.
    kill -- "-$(cat "$pidfile")" 2>/dev/null || true
    rm -f "$pidfile"
  done
  rm -f "$dir/http-server.port" "$dir/https-server.port"
}

# Runs the server in a session of its own, its stdin a pipe from a sleeper so that it serves until it is
# stopped, its output in files: ctest waits for every process that holds its pipes.
serve() {
  local name=$1
  shift
  setsid bash -c 'sleep infinity | python3 "$@"' serve "$script" --root "$state/root" "$@" \
    </dev/null >"$state/$name.out" 2>"$state/$name.log" &
  echo $! >"$state/$name.pid"
}

wait_for_port() {
  local name=$1
  for _ in $(seq 300); do
    if [ -s "$state/$name.out" ] && grep -q '^[0-9][0-9]*$' "$state/$name.out"; then
      head -n1 "$state/$name.out" >"$dir/$name.port"
      return 0
    fi
    sleep 0.1
  done
  echo "the $name server did not start; see $state/$name.log" >&2
  exit 1
}

case $action in
start)
  stop
  mkdir -p "$state/root"
  printf 'UR5ABC UT1AA US0KW\n' >"$state/root/members.txt"
  touch -d @1741953600 "$state/root/members.txt" # the date the tests expect as its Last-Modified
  openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
    -keyout "$state/key.pem" -out "$state/cert.pem" 2>/dev/null
  serve http-server
  serve https-server --cert "$state/cert.pem" --key "$state/key.pem"
  wait_for_port http-server
  wait_for_port https-server
  ;;
stop)
  stop
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2
  exit 2
  ;;
esac
