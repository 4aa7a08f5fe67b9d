#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds every libFuzzer target with clang in the build folder $1 (default build-fuzz in the repository) and
# runs each for FUZZ_SECONDS (default 30), FUZZ_JOBS at a time (default: one per processor), on a scratch copy
# of its seed corpus, so the corpus in the repository only changes when someone copies a useful input in by hand.
# Exits non-zero when any target fails.
# A dictionary fuzz/NAME.dict is used when present. Full logs go to <build>/fuzz-logs/; failing inputs to
# <build>/fuzz-artifacts/NAME/, each with a replay log.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build-fuzz}
seconds=${FUZZ_SECONDS:-30}
export QT_QPA_PLATFORM=offscreen
# Qt is built without frame pointers, so ASan's fast unwinder records partly random allocation stacks, each one
# new to its stack store: memory then grows by kilobytes per input until the RSS limit reports a false crash.
# Fuzzing runs without allocation stacks; a failing input is replayed once with them for the report.
fuzz_asan=${ASAN_OPTIONS:-malloc_context_size=0}
# Scratch in RAM when there is some: the targets save files, and syncing them to a real disk is slow.
scratch_base=${TMPDIR:-/tmp}
[[ -z ${TMPDIR:-} && -w /dev/shm ]] && scratch_base=/dev/shm

# A folder already configured for fuzzing (the test command's sanitizer build, which also runs the tests) is used
# as it is: configuring it again would rebuild it.
if ! grep -qs '^TARNIBE_FUZZ:BOOL=ON$' "$build/CMakeCache.txt"; then
    generator=()
    [[ -f $build/CMakeCache.txt ]] || generator=(-G Ninja)
    # Warnings stay warnings here: a clang-only warning elsewhere in the tree must not stop the fuzzing.
    cmake -S "$repo" -B "$build" "${generator[@]}" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ \
        -DTARNIBE_FUZZ=ON -DTARNIBE_SANITIZE=ON -DTARNIBE_WERROR=OFF -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$build" --target fuzzers

mkdir -p "$build/fuzz-logs"
# Targets run side by side, one per processor; each prints its one result line when done.
parallel=${FUZZ_JOBS:-$(nproc)}

run_one() {
    local exe=$1 name
    name=$(basename "$exe")
    name=${name#fuzz_}
    seeds=$repo/fuzz/corpus/$name
    log=$build/fuzz-logs/$name.log
    scratch=$(mktemp -d "$scratch_base/tarnibe-fuzz-$name.XXXXXX")
    mkdir -p "$scratch/corpus" "$scratch/artifacts" "$scratch/tmp"
    [[ -d $seeds ]] && cp -R "$seeds/." "$scratch/corpus/"
    dict=()
    [[ -f $repo/fuzz/$name.dict ]] && dict=(-dict="$repo/fuzz/$name.dict")

    set +e
    TMPDIR=$scratch/tmp ASAN_OPTIONS=$fuzz_asan \
        "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 \
        -artifact_prefix="$scratch/artifacts/" "${dict[@]}" "$scratch/corpus" >"$log" 2>&1
    rc=$?
    set -e

    runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n 1)
    [[ -n $runs ]] || runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -n 1)
    [[ -n $runs ]] || runs=$(sed -n 's/^#\([0-9]*\)[[:space:]].*/\1/p' "$log" | tail -n 1)
    if [[ $rc -eq 0 && -n $runs ]]; then
        echo "fuzz $name: $runs execs, OK"
        rm -rf "$scratch"
    else
        keep=$build/fuzz-artifacts/$name
        rm -rf "$keep"
        mkdir -p "$keep"
        cp -R "$scratch/artifacts/." "$keep/" 2>/dev/null || true
        echo "fuzz $name: ${runs:-?} execs, FAILED (exit $rc); inputs in $keep, log in $log"
        grep -E '^(==[0-9]+==ERROR|SUMMARY)|round trip|  first read|  second read|runtime error' "$log" \
            | head -n 20 | sed 's/^/    /' || true
        for input in "$keep"/*; do
            [[ -f $input ]] || continue
            TMPDIR=$scratch/tmp "$exe" -rss_limit_mb=2048 "$input" >"$input.replay.log" 2>&1 || true
            echo "    replayed with full stacks: $input.replay.log"
        done
        rm -rf "$scratch"
        return 1
    fi
}

failed=0
found=0
running=0
for exe in "$build"/fuzz/fuzz_*; do
    [[ -f $exe && -x $exe ]] || continue
    found=1
    run_one "$exe" &
    running=$((running + 1))
    if [[ $running -ge $parallel ]]; then
        wait -n || failed=1
        running=$((running - 1))
    fi
done
while [[ $running -gt 0 ]]; do
    wait -n || failed=1
    running=$((running - 1))
done

if [[ $found -eq 0 ]]; then
    echo "no fuzz_* targets in $build/fuzz" >&2
    exit 1
fi
exit "$failed"
