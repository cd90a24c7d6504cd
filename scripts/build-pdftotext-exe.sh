#!/usr/bin/env bash
# Builds Poppler's pdftotext.exe for Windows with MinGW from Debian's source packages (poppler, and freetype
# for its fonts; their patches applied), statically linked into one program that imports system DLLs only.
# It is the converter the plug-in runs on Windows; the sources never enter this repository.
#
# Usage: build-pdftotext-exe.sh WORK_DIR OUTPUT_EXE TRIPLET   (TRIPLET: i686-w64-mingw32 or x86_64-w64-mingw32)
# Leaves VERSIONS beside OUTPUT_EXE: the source packages and versions it was built from. Does nothing when
# OUTPUT_EXE is already there.
set -euo pipefail

work=$(realpath -m "$1")
output=$(realpath -m "$2")
triplet=$3
jobs=${JOBS:-2}
[ -f "$output" ] && exit 0

mkdir -p "$work"
cd "$work"
for package in freetype poppler; do
  if ! compgen -G "$package-[0-9]*/CMakeLists.txt" >/dev/null; then
    # Needs a deb-src line for Debian's main component (scripts/setup.sh adds one).
    if ! apt-get source -qq "$package" >"source-$package.log" 2>&1; then
      cat "source-$package.log" >&2
      echo "Cannot fetch the source of $package: is a deb-src line for main listed? (bash scripts/setup.sh)" >&2
      exit 1
    fi
  fi
done
freetype_src=$(cd freetype-[0-9]*/ && pwd)
poppler_src=$(cd poppler-[0-9]*/ && pwd)

# The same flags for both libraries. On i686, x87 arithmetic shifts the spacing of -layout output against
# Linux's: SSE2 arithmetic gives the same words and columns.
flags="-O2"
[ "$triplet" = i686-w64-mingw32 ] && flags="$flags -msse2 -mfpmath=sse"
cross=(
  -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Windows
  -DCMAKE_C_COMPILER="$triplet-gcc-posix" -DCMAKE_CXX_COMPILER="$triplet-g++-posix"
  -DCMAKE_RC_COMPILER="$triplet-windres"
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags"
  -DCMAKE_FIND_ROOT_PATH="/usr/$triplet;$work/prefix"
  -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY
  -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY
  -DCMAKE_INSTALL_PREFIX="$work/prefix" -DBUILD_SHARED_LIBS=OFF
)

# FreeType with none of its optional compression and shaping libraries.
if [ ! -f prefix/lib/libfreetype.a ]; then
  cmake -S "$freetype_src" -B freetype-build "${cross[@]}" \
    -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON \
    -DFT_DISABLE_BROTLI=ON >freetype-configure.log
  cmake --build freetype-build -j"$jobs" --target install >freetype-build.log
fi

# Poppler's core and pdftotext only: Windows' own font lookup instead of fontconfig, its own DCT decoder,
# no colour management, JPEG 2000, network, compression or rendering libraries, no wrappers.
cmake -S "$poppler_src" -B poppler-build "${cross[@]}" \
  -DFREETYPE_INCLUDE_DIRS="$work/prefix/include/freetype2" -DFREETYPE_LIBRARY="$work/prefix/lib/libfreetype.a" \
  -DFONT_CONFIGURATION=win32 -DENABLE_UTILS=ON -DENABLE_CPP=OFF -DENABLE_GLIB=OFF \
  -DENABLE_GOBJECT_INTROSPECTION=OFF -DENABLE_QT5=OFF -DENABLE_QT6=OFF -DENABLE_BOOST=OFF \
  -DENABLE_LIBCURL=OFF -DENABLE_ZLIB=OFF -DENABLE_ZLIB_UNCOMPRESS=OFF -DENABLE_NSS3=OFF -DENABLE_GPGME=OFF \
  -DENABLE_LIBTIFF=OFF -DENABLE_LIBPNG=OFF -DENABLE_DCTDECODER=unmaintained -DENABLE_LIBOPENJPEG=none \
  -DENABLE_CMS=none -DENABLE_SPLASH=OFF -DWITH_Cairo=OFF -DWITH_NSS3=OFF -DWITH_TIFF=OFF -DWITH_PNG=OFF \
  -DWITH_JPEG=OFF -DBUILD_GTK_TESTS=OFF -DBUILD_QT5_TESTS=OFF -DBUILD_QT6_TESTS=OFF -DBUILD_CPP_TESTS=OFF \
  -DBUILD_MANUAL_TESTS=OFF -DRUN_GPERF_IF_PRESENT=OFF \
  -DCMAKE_EXE_LINKER_FLAGS="-static -static-libgcc -static-libstdc++" >poppler-configure.log
cmake --build poppler-build -j"$jobs" --target pdftotext >poppler-build.log

mkdir -p "$(dirname "$output")"
"$triplet-strip" -o "$output.part" poppler-build/utils/pdftotext.exe
{
  echo "poppler $(dpkg-parsechangelog -l "$poppler_src/debian/changelog" -S Version)"
  echo "freetype $(dpkg-parsechangelog -l "$freetype_src/debian/changelog" -S Version)"
} >"$(dirname "$output")/VERSIONS"
mv "$output.part" "$output"
