#!/usr/bin/env bash
# The Windows stage of the test run: builds the x86_64 tree (build-win64) and the i686 tree (build-win32),
# the one the real host loads, and runs each tree's tests under Wine in its own prefix: x86_64 under
# wine64, i686 under wine64's loader with Wine's 32-bit half wherever the i686 tree's configuration found
# that a 32-bit program starts here (elsewhere that tree's tests only inspect the library's tables).
# The tests' PDFs are drawn by the Linux tree's fixturegen (build). Expects the packages of scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
started=$SECONDS

took() {
  echo "-- $1: $((SECONDS - $2)) s"
}

if [ ! -x build/tools/fixturegen/fixturegen ]; then
  [ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$jobs" --target fixturegen
fi

build() {
  local step=$SECONDS
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$2" >/dev/null
  cmake --build "$1" -j"$jobs"
  took "$1 built" "$step"
}

# The wineservers, their helper processes and the Xvfb displays end with the stage, whatever its outcome.
trap 'bash scripts/windows-prefix.sh stop build-win64/wine; bash scripts/windows-prefix.sh stop build-win32/wine' EXIT

build build-win64 mingw-x86_64.cmake
build build-win32 mingw-i686.cmake

# Now and then a test program under Wine fails before it prints anything (in some 0.02 s), or a dialog
# test waits for a window that never gets its input; the cause is not found yet. So the tests that failed
# run once more, one at a time: a test that fails again fails the stage, and every first failure stays in
# the output.
for tree in build-win64 build-win32; do
  step=$SECONDS
  if ! (cd "$tree" && ctest --output-on-failure -j"$jobs" --timeout 600); then
    echo "== $tree: running the failed tests once more, one at a time"
    (cd "$tree" && ctest --rerun-failed --output-on-failure --timeout 600)
  fi
  took "$tree tests" "$step"
done
took "Windows stage" "$started"
