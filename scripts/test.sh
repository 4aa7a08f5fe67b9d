#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Tarnibe and runs every test: the normal build (gcc, warnings as errors), then one clang build with
# AddressSanitizer and UndefinedBehaviorSanitizer that runs the same tests, replays every fuzz seed as a test, and
# runs every fuzz target for FUZZ_SECONDS (default 30), FUZZ_JOBS at a time (default one per processor).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" build test

jobs=$(nproc)
# Most tests spend their time waiting on servers, processes and the X server, so twice as many run side by side.
test_jobs=$((2 * jobs))
# lld links the fifty-odd test programs in a fraction of the time of the default linker.
linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
export QT_QPA_PLATFORM=offscreen

san_flags=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only -DCMAKE_CXX_COMPILER=clang++
           -DTARNIBE_FUZZ=ON -DTARNIBE_WERROR=ON)
cmake -S "$top" -B "$top/build-test" -G Ninja -DCMAKE_BUILD_TYPE= -DTARNIBE_WERROR=ON "${linker[@]}" >/dev/null
cmake -S "$top" -B "$top/build-san" -G Ninja "${san_flags[@]}" "${linker[@]}" >/dev/null

# Whatever runs in the background goes when this script does, however it ends.
# With job control each runs in a process group of its own, so that its compilers or fuzzers go with it. (A new
# session would not do: the kernel then shares the processors between sessions equally, whatever their niceness.)
set -m
trap 'for job in $(jobs -p); do kill -- "-$job" 2>/dev/null || true; done' EXIT
# Waits for background job $1; on failure shows the end of its log $2 and stops.
finish() {
    if ! wait "$1"; then
        tail -n 60 "$2"
        echo "FAILED: see $2"
        exit 1
    fi
}

# The sanitizer build runs beside the normal build and its tests at the lowest priority: it gets the processor time
# they leave, the gaps in the build and most of the tests' time, as they wait on servers, processes and the X server.
san_log=$top/build-san/build.log
nice -n 19 cmake --build "$top/build-san" -j "$jobs" >"$san_log" 2>&1 &
san_build=$!

echo "== build and test"
# No optimiser and no debug information: the tests gain nothing from either, and the build takes 60 % of the time.
cmake --build "$top/build-test" -j "$jobs"
# A test that fails runs once more, and its first failure stays in the log: on a loaded machine the desktops' own
# programs (a panel finding its place, a window manager framing a window) now and then miss a scenario's waits. A
# fault of the suite fails both runs. The sanitizer build's tests, below, get no second run.
ctest --test-dir "$top/build-test" --output-on-failure -j "$test_jobs" --repeat until-pass:2

echo "== install and package"
"$top/scripts/test-package.sh" "$top/build-test"

echo "== sanitizers and fuzz seeds"
finish "$san_build" "$san_log"
# The fuzzers likewise run beside the sanitizer build's tests, at the lowest priority.
fuzz_log=$top/build-san/fuzz.log
nice -n 19 "$top/fuzz/run_all.sh" "$top/build-san" >"$fuzz_log" 2>&1 &
fuzzing=$!
(
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
    export LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ctest --test-dir "$top/build-san" --output-on-failure -j "$test_jobs"
)

echo "== fuzzing"
finish "$fuzzing" "$fuzz_log"
cat "$fuzz_log"

"$top/scripts/test-share.sh"
