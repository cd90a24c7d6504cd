#!/usr/bin/env bash
# Makes the archive of the end-to-end test with the rar tool: DIR/members.rar (RAR 5) holding one list,
# members.pdf, whose content is already the list's text (the stand-in converter copies it out).
# Usage: make-members-archive.sh DIR
set -euo pipefail
dir=$(realpath -m "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\r\n' "Члени QSL-бюро" "1  UR5ABC  Петренко Тарас  Київ" "2  UT1XYZ  Коваль Олена  Львів" \
  "3  DL1ABC  Schmidt Hans  Berlin" "4  UR9ZZZ  Мельник Іван  Одеса" >"$work/members.pdf"
rm -f "$dir/members.rar"
(cd "$work" && rar a -ma5 -idq "$dir/members.rar" members.pdf)
