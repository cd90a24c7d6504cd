#!/usr/bin/env bash
# The Windows stage of the test run: builds the x86_64 tree (build-win64) and runs its tests under wine64,
# builds the i686 tree (build-win32), the one the real host loads, and inspects its library with objdump.
# Expects the packages of scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
started=$SECONDS

took() {
  echo "-- $1: $((SECONDS - $2)) s"
}

build() {
  local step=$SECONDS
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$2" >/dev/null
  cmake --build "$1" -j"$jobs"
  took "$1 built" "$step"
}

build build-win64 mingw-x86_64.cmake
build build-win32 mingw-i686.cmake

# The wineserver, its helper processes and the Xvfb display end with the stage, whatever its outcome.
trap 'bash scripts/windows-prefix.sh stop build-win64/wine' EXIT
step=$SECONDS
(cd build-win64 && ctest --output-on-failure -j"$jobs" --timeout 600)
took "tests under wine64" "$step"
(cd build-win32 && ctest --output-on-failure --timeout 600)
took "Windows stage" "$started"
