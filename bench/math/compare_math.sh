#!/usr/bin/env bash
# compare_math.sh [N]: the results of the mathematical functions the programs call, on N inputs
# (default a million), in the Linux build against the Windows build (glibc's functions compiled
# for Windows, run under wine): how many differ, by at most how many units in the last place.
# On a processor with FMA, glibc on Linux runs variants of some functions that use it:
#   GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2,-FMA,-FMA4,-AVX512F bench/math/compare_math.sh
# compares with what it runs without.
# Needs both builds: bash tools/test.sh --quick and bash tools/build_windows.sh.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
count=${1:-1000000}
"$repo/build/bench/math/math_values" "$count" |
    "$repo/tools/wine_run.sh" "$repo/build-windows/bench/math/math_values.exe" "$count" --compare
