#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints how much of the C++ is tests: non-blank lines that are not only a comment, in the product's folders and in
# tests/, and the tests' share of the two together. Fuzz targets and benchmarks are counted apart.
#   scripts/test-share.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

# Lines with code on them: blank lines, // lines and the inside of /* */ blocks do not count.
count() {
    git ls-files -- "$@" | grep -E '\.(cpp|h)$' | xargs -r cat | awk '
        /^[[:space:]]*\/\*/ { block = 1 }
        block { if ($0 ~ /\*\//) block = 0; next }
        /^[[:space:]]*$/ || /^[[:space:]]*\/\// { next }
        { n++ }
        END { print n + 0 }'
}

product=$(count app core notes alarms netnotes calculator clock mail platform resources)
tests=$(count tests)
fuzz=$(count fuzz)
bench=$(count bench)
awk -v p="$product" -v t="$tests" -v f="$fuzz" -v b="$bench" 'BEGIN {
    printf "test share: %.1f %% (tests %d lines, product %d; fuzz %d and bench %d apart)\n", 100 * t / (p + t), t, p, f, b
}'
