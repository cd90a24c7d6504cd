#!/usr/bin/env bash
# Builds the 32-bit Windows plug-in (the i686 tree, build-win32) with the two programs it runs beside itself,
# and packs what a user installs into dist/Zarbex-<version>-win32.zip: Zarbex.ext stripped, UnRAR.dll and
# pdftotext.exe (built from Debian's source packages), README-Windows.txt, and licenses/ for everything
# inside with the source package and version of each built component. Expects the packages of
# scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

cmake -S . -B build-win32 -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" >/dev/null
cmake --build build-win32 -j"$jobs" --target Zarbex unrar_dll pdftotext_exe

version=$(sed -n 's/.*Version\[\] = u"\([0-9.]*\).*/\1/p' Plugins/Zarbex/Zarbex.h)
[ -n "$version" ] || { echo "package-windows: no version found in Plugins/Zarbex/Zarbex.h" >&2; exit 1; }
library=$(find build-win32 -name Zarbex.ext -type f -not -path '*/app/*' | head -1)
[ -n "$library" ] || { echo "package-windows: build-win32 holds no Zarbex.ext" >&2; exit 1; }
unrar_src=$(cd build-win32/unrar/work/unrar-nonfree-*/ && pwd)
poppler_src=$(cd build-win32/pdftotext/work/poppler-[0-9]*/ && pwd)
freetype_src=$(cd build-win32/pdftotext/work/freetype-[0-9]*/ && pwd)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/licenses"
i686-w64-mingw32-strip -o "$stage/Zarbex.ext" "$library"
cp build-win32/unrar/UnRAR.dll build-win32/pdftotext/pdftotext.exe "$stage/"
# Windows users read the texts with Notepad: CR LF line ends.
crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }
crlf packaging/README-Windows.txt "$stage/README-Windows.txt"
crlf /usr/share/doc/mingw-w64-i686-dev/copyright "$stage/licenses/mingw-w64-runtime.txt"
crlf /usr/share/doc/gcc-mingw-w64-i686-posix-runtime/copyright "$stage/licenses/gcc-runtime.txt"
crlf /usr/share/doc/unicode-data/copyright "$stage/licenses/unicode-data.txt"
crlf "$unrar_src/license.txt" "$stage/licenses/unrar.txt"
crlf "$poppler_src/debian/copyright" "$stage/licenses/poppler.txt"
crlf "$poppler_src/COPYING" "$stage/licenses/poppler-GPL-2.txt"
crlf "$poppler_src/COPYING3" "$stage/licenses/poppler-GPL-3.txt"
crlf "$freetype_src/debian/copyright" "$stage/licenses/freetype.txt"
crlf "$freetype_src/docs/FTL.TXT" "$stage/licenses/freetype-FTL.txt"
source_version() { dpkg-parsechangelog -l "$1/debian/changelog" -S Version; }
{
  echo "What this package holds, and what each built file was made from (Debian source packages):"
  echo ""
  echo "Zarbex.ext     the plug-in $version, with the MinGW-w64 and GCC runtimes linked in"
  echo "               (mingw-w64 $(dpkg-query -W -f='${Version}' mingw-w64-i686-dev)," \
    "gcc-mingw-w64 $(dpkg-query -W -f='${Version}' gcc-mingw-w64-i686-posix-runtime));"
  echo "               its word splitter's table from unicode-data $(dpkg-query -W -f='${Version}' unicode-data)"
  echo "UnRAR.dll      unrar-nonfree $(source_version "$unrar_src")"
  echo "pdftotext.exe  poppler $(source_version "$poppler_src"), freetype $(source_version "$freetype_src")"
  echo ""
  echo "The sources of UnRAR.dll and pdftotext.exe are those Debian source packages at those versions"
  echo "(apt-get source NAME=VERSION), built with MinGW-w64 by the project's scripts/build-*.sh."
} | sed 's/$/\r/' >"$stage/licenses/COMPONENTS.txt"

mkdir -p dist
zip=$PWD/dist/Zarbex-$version-win32.zip
rm -f "$zip"
(cd "$stage" && zip -q -X -r "$zip" Zarbex.ext UnRAR.dll pdftotext.exe README-Windows.txt licenses)
echo "$zip"
