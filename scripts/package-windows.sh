#!/usr/bin/env bash
# Builds the 32-bit Windows plug-in (the i686 tree, build-win32) and packs what a user installs into
# dist/Zarbex-<version>-win32.zip: Zarbex.ext stripped, README-Windows.txt and the licences of what the
# library contains. Expects the packages of scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

cmake -S . -B build-win32 -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" >/dev/null
cmake --build build-win32 -j"$jobs" --target Zarbex

version=$(sed -n 's/.*Version\[\] = u"\([0-9.]*\).*/\1/p' Plugins/Zarbex/Zarbex.h)
[ -n "$version" ] || { echo "package-windows: no version found in Plugins/Zarbex/Zarbex.h" >&2; exit 1; }
library=$(find build-win32 -name Zarbex.ext -type f | head -1)
[ -n "$library" ] || { echo "package-windows: build-win32 holds no Zarbex.ext" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/licenses"
i686-w64-mingw32-strip -o "$stage/Zarbex.ext" "$library"
# Windows users read the text with Notepad: CR LF line ends.
sed 's/$/\r/' packaging/README-Windows.txt >"$stage/README-Windows.txt"
cp /usr/share/doc/mingw-w64-i686-dev/copyright "$stage/licenses/mingw-w64-runtime.txt"
cp /usr/share/doc/gcc-mingw-w64-i686-posix-runtime/copyright "$stage/licenses/gcc-runtime.txt"
cp /usr/share/doc/unicode-data/copyright "$stage/licenses/unicode-data.txt"

mkdir -p dist
zip=$PWD/dist/Zarbex-$version-win32.zip
rm -f "$zip"
(cd "$stage" && zip -q -X -r "$zip" Zarbex.ext README-Windows.txt licenses)
echo "$zip"
