#!/usr/bin/env bash
# Everything `make test` checks: the core compiled for Windows (syntax only),
# the whole suite in the dev build, the Debian package unpacked and run, the
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer, the
# tests of everything that starts a thread under ThreadSanitizer, then a short
# run of every fuzz target.
# Usage: scripts/test.sh [fuzz-seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fuzz_seconds=${1:-${FUZZ_SECONDS:-10}}

suite() {  # preset
    local preset=$1 build=build/$1
    [ -f "$build/build.ninja" ] || cmake --preset "$preset" >/dev/null
    cmake --build "$build" -j "$jobs"
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
}

echo "== The core compiled for Windows"
bash scripts/windows-check.sh

echo "== Formatting"
bash scripts/format-check.sh

echo "== Tests (dev build)"
suite dev

echo "== Debian package: built once, unpacked with dpkg -x and run"
deb=$(JOBS=$jobs bash scripts/package.sh)
LIANSHUO_DEB=$deb ctest --test-dir build/dev --output-on-failure --no-tests=error \
    -R '^InstalledPackage\.'

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
suite asan

echo "== Requests, history, services, jobs and the command line under ThreadSanitizer"
# Every test folder whose tests start threads (request slots, local services, the history's
# other writers, a token shared by slots, files scanned ahead, the file converter, the
# program itself with --jobs); the windows' tests stay out of this build.
[ -f build/tsan/build.ninja ] || cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
for dir in http history services jobs cli; do
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp \
        ctest --test-dir "build/tsan/tests/$dir" --output-on-failure -j "$jobs"
done

echo "== Fuzz targets, ${fuzz_seconds}s each"
[ -f build/fuzz/build.ninja ] || cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j "$jobs"
bash scripts/fuzz.sh build/fuzz "$fuzz_seconds"
