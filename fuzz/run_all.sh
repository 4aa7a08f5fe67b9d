#!/usr/bin/env bash
# Builds every libFuzzer target with clang in the build folder $1 (default build-fuzz in the repository) and
# runs each for FUZZ_SECONDS (default 60) on a scratch copy of its seed corpus, so the corpus in the repository
# only changes when someone copies a useful input in by hand. Exits non-zero when any target fails.
# Full logs go to <build>/fuzz-logs/; crashing inputs to <build>/fuzz-artifacts/NAME/.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
export QT_QPA_PLATFORM=offscreen

generator=()
[[ -f $build/CMakeCache.txt ]] || generator=(-G Ninja)
# Warnings stay warnings here: a clang-only warning elsewhere in the tree must not stop the fuzzing.
cmake -S "$repo" -B "$build" "${generator[@]}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DTARNIBE_FUZZ=ON -DTARNIBE_SANITIZE=ON -DTARNIBE_WERROR=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target fuzzers

mkdir -p "$build/fuzz-logs"
failed=0
found=0
for exe in "$build"/fuzz/fuzz_*; do
    [[ -f $exe && -x $exe ]] || continue
    found=1
    name=$(basename "$exe")
    name=${name#fuzz_}
    seeds=$repo/fuzz/corpus/$name
    log=$build/fuzz-logs/$name.log
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarnibe-fuzz-$name.XXXXXX")
    mkdir -p "$scratch/corpus" "$scratch/artifacts"
    [[ -d $seeds ]] && cp -R "$seeds/." "$scratch/corpus/"
    dict=()
    [[ -f $repo/fuzz/$name.dict ]] && dict=(-dict="$repo/fuzz/$name.dict")

    set +e
    "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 \
        -artifact_prefix="$scratch/artifacts/" "${dict[@]}" "$scratch/corpus" >"$log" 2>&1
    rc=$?
    set -e

    runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n 1)
    [[ -n $runs ]] || runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -n 1)
    if [[ $rc -eq 0 && -n $runs ]]; then
        echo "fuzz $name: $runs execs, OK"
        rm -rf "$scratch"
    else
        failed=1
        keep=$build/fuzz-artifacts/$name
        mkdir -p "$keep"
        cp -R "$scratch/artifacts/." "$keep/" 2>/dev/null || true
        echo "fuzz $name: ${runs:-?} execs, FAILED (exit $rc); inputs in $keep, log in $log"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|settings round trip|  first read|  second read)|runtime error' "$log" \
            | head -n 20 | sed 's/^/    /' || true
        rm -rf "$scratch"
    fi
done

if [[ $found -eq 0 ]]; then
    echo "no fuzz_* targets in $build/fuzz" >&2
    exit 1
fi
exit "$failed"
