#!/usr/bin/env bash
# Builds and runs every test twice: a normal build, then one with AddressSanitizer and
# UndefinedBehaviorSanitizer. Set-up included: run as root on a fresh Debian 12 machine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
jobs=${JOBS:-2}

# LeakSanitizer stops a process's threads at its exit with a tracer of its own, and that tracer now and
# then crashes on a busy machine although the program did nothing wrong. So with a list of such failures
# in known (patterns of the tool's own words), a failed test whose output shows one runs once more; any
# other failure fails the suite at once (scripts/rerun-tool-failures.sh).
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 600) && return
  [ ${#known[@]} -gt 0 ] || return 1
  bash scripts/rerun-tool-failures.sh "$dir" "${known[@]}"
}

echo "== source format"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "== normal build"
known=()
run_suite build
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
known=("Tracer caught signal" "LeakSanitizer has encountered a fatal error")
run_suite build-asan -DZARBEX_SANITIZE=ON
if [ -x fuzz/run.sh ]; then
  echo "== fuzzing the word splitter for a bounded time"
  bash fuzz/run.sh "${FUZZ_SECONDS:-60}"
fi
echo "== Windows builds (MinGW-w64): x86_64 and i686, each tested under Wine where this machine runs it"
bash scripts/test-windows.sh
