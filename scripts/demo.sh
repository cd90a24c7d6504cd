#!/usr/bin/env bash
# The demonstration: builds loghost with the Zarbex plug-in, lists the plug-in, then runs its command
# "Get Bureau users info (Ukraine)" headless on the demo bureau lists (demo/members_demo.rar) against
# a copy of the demo callbook, and shows what changed. Run as root on a fresh Debian 12 machine (the
# set-up installs what is missing); the shipped demo files are never modified.
#
#   scripts/demo.sh [SOURCE [CALLBOOK]]
#
# SOURCE: another archive of bureau lists, a file or an http(s) address (default: the demo archive).
# CALLBOOK: another SQLite callbook with a CALLBOOK table (default: the demo callbook). It is worked
# on as a copy, kept in the current folder as updated-callbook.db; the original is not touched.
set -euo pipefail
here=$PWD
repo=$(cd "$(dirname "$0")/.." && pwd)
source_arg=${1:-$repo/demo/members_demo.rar}
callbook_arg=${2:-}
location=local
case "$source_arg" in
  http://* | https://* | HTTP://* | HTTPS://*) location=internet ;;
  /*) ;;
  *) source_arg=$here/$source_arg ;;
esac
if [ -n "$callbook_arg" ]; then
  case "$callbook_arg" in /*) ;; *) callbook_arg=$here/$callbook_arg ;; esac
  [ -f "$callbook_arg" ] || { echo "$0: no callbook at $callbook_arg" >&2; exit 2; }
fi
cd "$repo"

bash scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target loghost
loghost=$repo/build/Host/loghost

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "${callbook_arg:-demo/callbook.db}" "$work/callbook.db"
chmod u+w "$work/callbook.db"
# The demo's own configuration folder, so that nothing lands in the user's.
export XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

echo
echo "== The plug-ins loghost finds beside it"
"$loghost" --list --callbook "$work/callbook.db" --log "$work/loghost.log"

count_flags() {
  sqlite3 "$work/callbook.db" "SELECT COUNT(*) FROM CALLBOOK WHERE Use_BUREAU"
}
echo
echo "== Before: $(count_flags) callbook entries carry the bureau flag"

echo
echo "== Get Bureau users info (Ukraine), from $source_arg"
status=0
"$loghost" --headless --invoke "Get Bureau users info (Ukraine)" --location "$location" \
  --source "$source_arg" --callbook "$work/callbook.db" --ini "$work/loghost.ini" \
  --download "$work/download" --log "$work/loghost.log" || status=$?

echo
echo "== The host's log"
cat "$work/loghost.log"
echo
echo "== After: $(count_flags) callbook entries carry the bureau flag"
echo "   for example: $(sqlite3 "$work/callbook.db" \
  "SELECT group_concat(OMCALL, ' ') FROM (SELECT OMCALL FROM CALLBOOK WHERE Use_BUREAU ORDER BY OMCALL LIMIT 8)")"
if [ -n "$callbook_arg" ]; then
  cp "$work/callbook.db" "$here/updated-callbook.db"
  echo "   the updated copy of $callbook_arg: $here/updated-callbook.db"
fi
exit "$status"
