#!/usr/bin/env bash
# Makes the RAR 5 archives of the Windows UnRAR tests with the rar tool: DIR/lists.rar, and beside it the
# archived files as they were, in DIR/archived, to compare what the library extracts with; and
# DIR/encrypted.rar, the list again with its data encrypted (its name stays readable); DIR/run.rar, two
# lists for the update run, plain text behind a PDF's header line (the stand-in converter copies them),
# the files in DIR/run;
# in DIR/томи, a folder whose name the ANSI code page cannot write, the archive in parts (rar -v) with
# every part in всі and its first part alone in перша, and cut.rar, lists.rar without its end block.
# Usage: make-test-archive.sh DIR
set -euo pipefail
dir=$(realpath -m "$1")
rm -rf "$dir/archived" "$dir/lists.rar" "$dir/encrypted.rar" "$dir/run" "$dir/run.rar" "$dir/томи"
mkdir -p "$dir/archived/lists"
cd "$dir/archived"
# A compressible list under a Cyrillic name, and incompressible bytes in a folder.
for i in $(seq 1 3000); do echo "UR${i}ABC Петренко Тарас"; done >"Список членів.txt"
head -c 100000 /dev/urandom >lists/random.bin
rar a -ma5 -idq ../lists.rar "Список членів.txt" lists/random.bin
rar a -ma5 -idq -pSecret ../encrypted.rar "Список членів.txt"
mkdir -p "$dir/томи/всі" "$dir/томи/перша"
rar a -ma5 -idq -m0 -v40k "$dir/томи/всі/lists.rar" "Список членів.txt" lists/random.bin
cp "$dir/томи/всі/lists.part1.rar" "$dir/томи/перша/"
head -c -8 ../lists.rar >"$dir/томи/cut.rar"

mkdir -p "$dir/run"
cd "$dir/run"
printf '%%PDF-1.4 stand-in\r\n1 UR5ABC Ivan\r\n2 UR3NEW Oleg\r\n3 UT2XY Petro\r\n4 nothing\r\n' >"Список UR.pdf"
printf '%%PDF-1.4 stand-in\r\nDL1ABC UR5ABC\r\n' >b.pdf
touch -d '2025-03-14 12:00' "Список UR.pdf" # the lists' dates the run's report shows
touch -d '2025-02-01 12:00' b.pdf
rar a -ma5 -idq ../run.rar "Список UR.pdf" b.pdf
