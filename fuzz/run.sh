#!/bin/sh
# Builds the fuzz target for the word splitting and callsign test with clang's libFuzzer and runs it.
# Usage: fuzz/run.sh SECONDS   (build folder: $ZARBEX_FUZZ_BUILD, default /tmp/zarbex-fuzz)
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 SECONDS" >&2
    exit 2
fi
seconds=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZARBEX_FUZZ_BUILD:-/tmp/zarbex-fuzz}
corpus=$build/corpus
mkdir -p "$corpus"

# Qt is the model's own source of categories, apart from the library's table; it is built with reduced
# relocations and needs position-independent code.
# shellcheck disable=SC2046
clang++-14 -std=c++20 -g -O1 -fPIC -Wall -Wextra -Werror \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer \
    -I"$root" $(pkg-config --cflags Qt6Core) \
    "$root/fuzz/uCommFuncFuzz.cpp" "$root/Includes/uCommFunc.cpp" "$root/Includes/UnicodeCategoryTable.cpp" \
    "$root/PluginAPI/SysUtils.cpp" "$root/Platform/posix/CodePage.cpp" "$root/Platform/Unicode.cpp" \
    $(pkg-config --libs Qt6Core) -o "$build/uCommFuncFuzz"

# Seeds: a minimum-length byte followed by a line in UTF-16LE.
seed() {
    name=$1
    min=$2
    shift 2
    { printf "\\$(printf '%03o' "$min")"; printf '%s' "$*" | iconv -f UTF-8 -t UTF-16LE; } >"$corpus/seed-$name"
}
seed bureau 3 "  UR5ABC  UT1A  73 "
seed punct 3 "NO.  UR5ABC,UT1A (UR5ABC) UR5A' UR5_A"
seed latin1 1 "UR5A§ UR5A¶ UR5A­ UR5A· UR²A UR5A~"
seed unicode 0 "ЮР5А UR٣A UR5Á A  B UR5ABC　UT1A A B 𐐀5"

cd "$build"
exec ./uCommFuncFuzz -max_total_time="$seconds" -print_final_stats=1 "$corpus"
