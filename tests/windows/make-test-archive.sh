#!/usr/bin/env bash
# Makes the RAR 5 archives of the Windows UnRAR tests with the rar tool: DIR/lists.rar, and beside it the
# archived files as they were, in DIR/archived, to compare what the library extracts with; and
# DIR/encrypted.rar, the list again with its data encrypted (its name stays readable).
# Usage: make-test-archive.sh DIR
set -euo pipefail
dir=$(realpath -m "$1")
rm -rf "$dir/archived" "$dir/lists.rar" "$dir/encrypted.rar"
mkdir -p "$dir/archived/lists"
cd "$dir/archived"
# A compressible list under a Cyrillic name, and incompressible bytes in a folder.
for i in $(seq 1 3000); do echo "UR${i}ABC Петренко Тарас"; done >"Список членів.txt"
head -c 100000 /dev/urandom >lists/random.bin
rar a -ma5 -idq ../lists.rar "Список членів.txt" lists/random.bin
rar a -ma5 -idq -pSecret ../encrypted.rar "Список членів.txt"
