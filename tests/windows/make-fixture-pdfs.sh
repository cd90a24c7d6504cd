#!/usr/bin/env bash
# Draws the Windows tests' PDF lists with the host's fixturegen, and beside each the text Debian's
# pdftotext gives for it with -layout (as the plug-in runs the converter): the words pdftotext.exe must give.
#   DIR/members.pdf  the end-to-end test's list: a heading and four rows, Cyrillic and Latin
#   DIR/table.pdf    a bureau table over three pages
# Usage: make-fixture-pdfs.sh DIR FIXTUREGEN
set -euo pipefail
dir=$(realpath -m "$1")
fixturegen=$2
if [ ! -x "$fixturegen" ]; then
  echo "make-fixture-pdfs: no fixturegen at $fixturegen: give the Windows tree one with" \
    "-DZARBEX_FIXTUREGEN=PATH, or leave that empty for the tree to build its own" >&2
  exit 1
fi
export QT_QPA_PLATFORM=offscreen
mkdir -p "$dir"
printf '%s\n' "Члени QSL-бюро" "1  UR5ABC  Петренко Тарас  Київ" "2  UT1XYZ  Коваль Олена  Львів" \
  "3  DL1ABC  Schmidt Hans  Berlin" "4  UR9ZZZ  Мельник Іван  Одеса" |
  "$fixturegen" pdf "$dir/members.pdf" --lines -
for n in $(seq 1 100); do
  printf '%d\tU%s%d%s\tМельник Іван %d\tКиїв\n' "$n" "$(printf 'RTXR' | cut -c$((n % 4 + 1)))" $((n % 10)) \
    "$(printf 'ABCDEFGHIJKLMNOPQRSTUVWXYZ' | cut -c$((n % 26 + 1)))ZZ" "$n"
done | "$fixturegen" pdf "$dir/table.pdf" --table - --per-page 40
for list in members table; do
  pdftotext -layout "$dir/$list.pdf" "$dir/$list.layout.txt"
done
