#!/usr/bin/env bash
# The HTTP server of the Windows end-to-end test, as a ctest fixture: tests/http/http_test_server.py on
# 127.0.0.1 serving DIR's files, its port written to DIR/http-port for the Windows programs to read.
#   http-server.sh start DIR   starts it and returns once the port is known
#   http-server.sh stop DIR    ends it
# The server serves until its standard input ends: a sleep holds the pipe open, and stop ends that sleep.
set -euo pipefail
action=$1
dir=$(realpath -m "$2")
server=$(dirname "$(realpath "$0")")/../../http/http_test_server.py
case $action in
start)
  rm -f "$dir/http-port" "$dir/http-server.pid"
  setsid bash -c 'sleep 3600 | python3 "$0" --root "$1" >"$1/http-port.tmp"' "$server" "$dir" \
    </dev/null >/dev/null 2>&1 &
  echo $! >"$dir/http-server.pid"
  for _ in $(seq 100); do
    if [ -s "$dir/http-port.tmp" ] && head -1 "$dir/http-port.tmp" | grep -q '^[0-9]\+$'; then
      head -1 "$dir/http-port.tmp" >"$dir/http-port"
      exit 0
    fi
    sleep 0.1
  done
  echo "the HTTP test server did not start" >&2
  exit 1
  ;;
stop)
  if [ -s "$dir/http-server.pid" ]; then
    # The session the start made: the sleep and the server.
    kill -- "-$(cat "$dir/http-server.pid")" 2>/dev/null || true
  fi
  rm -f "$dir/http-port" "$dir/http-port.tmp" "$dir/http-server.pid"
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2
  exit 2
  ;;
esac
