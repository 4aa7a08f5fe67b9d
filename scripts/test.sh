#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Tarnibe and runs every test: the normal build (gcc, warnings as errors), then one clang build with
# AddressSanitizer and UndefinedBehaviorSanitizer that runs the same tests, replays every fuzz seed as a test, and
# runs every fuzz target for FUZZ_SECONDS (default 30).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" build test

jobs=$(nproc)
# Most tests spend their time waiting on servers, processes and the X server, so twice as many run side by side.
test_jobs=$((2 * jobs))
# lld links the fifty-odd test programs in a fraction of the time of the default linker.
linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
export QT_QPA_PLATFORM=offscreen

echo "== build and test"
# No optimiser and no debug information: the tests gain nothing from either, and the build takes 60 % of the time.
cmake -S "$top" -B "$top/build-test" -G Ninja -DCMAKE_BUILD_TYPE= -DTARNIBE_WERROR=ON "${linker[@]}" >/dev/null
cmake --build "$top/build-test" -j "$jobs"
ctest --test-dir "$top/build-test" --output-on-failure -j "$test_jobs"

echo "== install and package"
"$top/scripts/test-package.sh" "$top/build-test"

echo "== sanitizers and fuzz seeds"
# Line tables are all the sanitizers' reports need.
cmake -S "$top" -B "$top/build-san" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only \
    -DCMAKE_CXX_COMPILER=clang++ -DTARNIBE_FUZZ=ON "${linker[@]}" >/dev/null
cmake --build "$top/build-san" -j "$jobs"
(
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
    export LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ctest --test-dir "$top/build-san" --output-on-failure -j "$test_jobs"
)

echo "== fuzzing"
"$top/fuzz/run_all.sh" "$top/build-san"

"$top/scripts/test-share.sh"
