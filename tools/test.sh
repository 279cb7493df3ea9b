#!/usr/bin/env bash
# One command for every test: installs what is missing, builds, runs the whole suite, then
# runs it again built with AddressSanitizer and UndefinedBehaviorSanitizer (any report fails),
# then fuzzes the section pipeline for 60 s. `--quick` stops after the plain suite.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
[ "${1:-}" = "--quick" ] && exit 0

echo "== The suite again under AddressSanitizer and UndefinedBehaviorSanitizer"
# GCC 12 reports false maybe-uninitialized warnings inside <regex> once the sanitizers are on.
sanitized="$repo/build-sanitize"
cmake -S "$repo" -B "$sanitized" -DCMAKE_BUILD_TYPE=Debug -DPLANT_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-O1 -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -Wno-maybe-uninitialized" >/dev/null
cmake --build "$sanitized" -j"$(nproc)"
# Distinct exit codes, so that a child program's report cannot pass for one of its own statuses.
ASAN_OPTIONS=exitcode=86:abort_on_error=0:detect_leaks=1 \
UBSAN_OPTIONS=exitcode=87:print_stacktrace=1 \
    ctest --test-dir "$sanitized" --output-on-failure -j"$(nproc)"

echo "== Fuzz smoke run of the section pipeline"
install_missing clang libclang-rt-14-dev
"$repo/tools/fuzz.sh" 60
