#!/usr/bin/env bash
# The demonstration: builds loghost with the Zarbex plug-in, lists the plug-in, then runs its command
# "Get Bureau users info (Ukraine)" headless on the demo bureau lists (demo/members_demo.rar) against
# a copy of the demo callbook, and shows what changed. Run as root on a fresh Debian 12 machine (the
# set-up installs what is missing); the shipped demo files are never modified.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

bash scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target loghost
loghost=$repo/build/Host/loghost

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp demo/callbook.db "$work/callbook.db"
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
echo "== Get Bureau users info (Ukraine), from $repo/demo/members_demo.rar"
status=0
"$loghost" --headless --invoke "Get Bureau users info (Ukraine)" --location local \
  --source "$repo/demo/members_demo.rar" --callbook "$work/callbook.db" --ini "$work/loghost.ini" \
  --download "$work/download" --log "$work/loghost.log" || status=$?

echo
echo "== The host's log"
cat "$work/loghost.log"
echo
echo "== After: $(count_flags) callbook entries carry the bureau flag"
echo "   for example: $(sqlite3 "$work/callbook.db" \
  "SELECT group_concat(OMCALL, ' ') FROM (SELECT OMCALL FROM CALLBOOK WHERE Use_BUREAU ORDER BY OMCALL LIMIT 8)")"
exit "$status"
