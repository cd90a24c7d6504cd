#!/usr/bin/env bash
# The Windows stage of the test run: builds the x86_64 tree (build-win64) and the i686 tree (build-win32),
# the one the real host loads, and runs each tree's tests under Wine in its own prefix: x86_64 under
# wine64, i686 under wine64's loader with Wine's 32-bit half wherever the i686 tree's configuration found
# that a 32-bit program starts here (elsewhere that tree's tests only inspect the library's tables).
# The tests' PDFs are drawn by the Linux tree's fixturegen (build), given to both trees. Expects the packages
# of scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
started=$SECONDS

took() {
  echo "-- $1: $((SECONDS - $2)) s"
}

fixturegen=$PWD/build/tools/fixturegen/fixturegen
if [ ! -x "$fixturegen" ]; then
  [ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$jobs" --target fixturegen
fi

build() {
  local step=$SECONDS
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$2" \
    -DZARBEX_FIXTUREGEN="$fixturegen" >/dev/null
  cmake --build "$1" -j"$jobs"
  took "$1 built" "$step"
}

# The wineservers, their helper processes and the Xvfb displays end with the stage, whatever its outcome.
trap 'bash scripts/windows-prefix.sh stop build-win64/wine; bash scripts/windows-prefix.sh stop build-win32/wine' EXIT

build build-win64 mingw-x86_64.cmake
build build-win32 mingw-i686.cmake

for tree in build-win64 build-win32; do
  step=$SECONDS
  (cd "$tree" && ctest --output-on-failure -j"$jobs" --timeout 600)
  took "$tree tests" "$step"
done
took "Windows stage" "$started"
