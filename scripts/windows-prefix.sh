#!/usr/bin/env bash
# The Wine set-up of a build tree's Windows tests: a Wine prefix (made once), a persistent wineserver and
# an Xvfb display for anything that opens windows. Wine's own output goes to DIR/wine.log: its helper
# processes outlive the programs and would keep the callers' pipes open.
#
#   windows-prefix.sh start DIR   prepares what is missing and prints the environment to run wine64 with
#                                 (NAME=value lines, quoted for the shell)
#   windows-prefix.sh stop DIR    ends the wineserver (and with it every Windows process) and the display
set -euo pipefail

action=$1
dir=$(realpath -m "$2")
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
mkdir -p "$dir"
log=$dir/wine.log

export WINEPREFIX=$dir/prefix
export WINEDEBUG=-all
# No .NET or HTML engine: the tests need neither, and wineboot would otherwise ask for them. No menu
# entries or file associations written into the user's home.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

display_alive() {
  [ -s "$dir/display" ] && [ -s "$dir/xvfb.pid" ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null
}

start_display() {
  rm -f "$dir/display"
  # -displayfd picks a free display number and writes it once the server accepts connections.
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" \
    </dev/null >>"$log" 2>&1 9>&- &
  echo $! >"$dir/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$dir/display" ] && return 0
    sleep 0.1
  done
  echo "Xvfb did not start; see $log" >&2
  exit 1
}

case $action in
start)
  exec 9>"$dir/lock"
  flock 9
  display_alive || start_display
  export DISPLAY=":$(tr -d '\n' <"$dir/display")"
  # A new prefix is made to the end before any program runs in it: wineboot --init under a server of its
  # own, and that server's end awaited, by which time wineboot's helpers (the services, the 32-bit half's
  # set-up) have finished and the registry is on disk. A program started while they still ran could fail
  # before it printed anything.
  # A prefix counts as made only once its making has ended (the stamp): one whose making was interrupted
  # (a killed build) is made again from nothing, not used half made.
  if [ ! -f "$dir/prefix.made" ]; then
    "$wineserver" -k </dev/null >>"$log" 2>&1 9>&- || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    setsid "$wine64" wineboot --init </dev/null >>"$log" 2>&1 9>&- || true
    "$wineserver" -w </dev/null >>"$log" 2>&1 9>&-
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "the Wine prefix $WINEPREFIX could not be made; see $log" >&2
      exit 1
    fi
    touch "$dir/prefix.made"
  fi
  # The server the programs use is persistent and in a session of its own, so that no Windows program
  # started later inherits a caller's pipe or process group through it. It returns once it serves; a
  # second start finds it running and leaves with 2. Nothing started here may inherit the lock
  # (descriptor 9), or the next start would wait forever.
  status=0
  setsid -w "$wineserver" -p </dev/null >>"$log" 2>&1 9>&- || status=$?
  case $status in
  0)
    if ! "$wine64" wineboot </dev/null >>"$log" 2>&1 9>&-; then
      echo "wineboot failed in $WINEPREFIX; see $log" >&2
      exit 1
    fi
    ;;
  2) ;;
  *)
    echo "wineserver did not start; see $log" >&2
    exit 1
    ;;
  esac
  printf 'WINEPREFIX=%q\nWINEDEBUG=%q\nWINEDLLOVERRIDES=%q\nDISPLAY=%q\n' \
    "$WINEPREFIX" "$WINEDEBUG" "$WINEDLLOVERRIDES" "$DISPLAY"
  ;;
stop)
  "$wineserver" -k >>"$log" 2>&1 || true
  if display_alive; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
  fi
  rm -f "$dir/display" "$dir/xvfb.pid"
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2
  exit 2
  ;;
esac
