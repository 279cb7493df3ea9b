#!/usr/bin/env bash
# Builds the fuzz target of the section pipeline with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz (the fuzz preset), then runs it for the given
# number of seconds (default 60) and prints how many inputs it ran. Exits non-zero on a finding
# (crash, sanitizer report, uncaught exception, hang); the input is kept in build-fuzz/findings/.
set -euo pipefail
seconds=${1:-60}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz="$repo/build-fuzz"

cd "$repo"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" --target section_fuzz

# The corpus grows from run to run; the committed seeds give it a measurable section to start from.
corpus="$fuzz/corpus"
findings="$fuzz/findings"
mkdir -p "$corpus" "$findings"
log="$fuzz/last_run.log"
echo "== Fuzzing the section pipeline for ${seconds} s"
set +e
"$fuzz/tests/fuzz/section_fuzz" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$repo/tests/fuzz/seeds" >"$log" 2>&1
status=$?
set -e
executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
if [ "$status" -ne 0 ]; then
    grep -E '^(==|SUMMARY|artifact_prefix|Test unit written)|ERROR|runtime error|terminate' "$log" | head -40
    echo "Fuzzing: a finding after ${executions:-?} executions (full log: $log)"
    exit "$status"
fi
echo "Fuzzing: ${executions} executions in ${seconds} s without a finding"
