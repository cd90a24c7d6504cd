#!/usr/bin/env bash
# Makes the demo's bureau-list archive, demo/members_demo.rar: one PDF table per members_demo/*.tsv
# (number, callsign, name, city), drawn by the fixture generator of BUILD_DIR and packed by rar.
#
#   demo/make_archive.sh BUILD_DIR
#
# The tables name Ukrainian calls that demo/callbook.db holds (make_callbook.py --list-ur), calls it
# does not hold and words that are no calls; edit them and run this again.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
archive=$here/members_demo.rar

fixturegen=$build/tools/fixturegen/fixturegen
if [ ! -x "$fixturegen" ]; then
  cmake --build "$build" --target fixturegen -j2
fi
command -v rar >/dev/null || { echo "$0: the rar tool is missing (package rar, non-free)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

shopt -s nullglob
tables=("$here"/members_demo/*.tsv)
if [ ${#tables[@]} -eq 0 ]; then
  echo "$0: no tables in $here/members_demo" >&2
  exit 1
fi
for table in "${tables[@]}"; do
  QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$fixturegen" pdf "$work/$(basename "$table" .tsv).pdf" --table "$table"
done

rm -f "$archive"
rar a -ep1 -m5 -idq "$archive" "$work"/*.pdf
echo "wrote $archive ($(stat -c %s "$archive") bytes, ${#tables[@]} lists)"
