#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer into
# build-fuzz (the fuzz preset), then runs each for the given number of seconds (default 60), or
# for a number of executions with --runs N, and prints how many inputs each ran. Exits non-zero on a finding
# (crash, sanitizer report, broken property, uncaught exception, hang); the input is kept in
# build-fuzz/findings/TARGET/. A finding belongs, once mended, in tests/fuzz/corpus/NAME/.
#
#   bash tools/fuzz.sh [SECONDS | --runs N] [TARGET...]
#
# Targets: section (the measurement chain after segmentation), jpeg_markers, image_header,
# image_resolution, status_file, measurement_report, leaflet_report, results_page (the page fed
# hostile names); all by default.
set -euo pipefail
limit="-max_total_time=${1:-60}"
if [ "${1:-}" = "--runs" ]; then
    limit="-runs=$2"
    shift 2
elif [ $# -gt 0 ]; then
    shift
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
    targets=(section jpeg_markers image_header image_resolution status_file measurement_report
        leaflet_report results_page)
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz="$repo/build-fuzz"

cd "$repo"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" --target "${targets[@]/%/_fuzz}"

status=0
for target in "${targets[@]}"; do
    # The corpus grows from run to run; the committed seeds give each target a start.
    corpus="$fuzz/corpus/$target"
    findings="$fuzz/findings/$target"
    mkdir -p "$corpus" "$findings"
    log="$fuzz/last_run_$target.log"
    echo "== Fuzzing $target (${limit#-})"
    set +e
    "$fuzz/tests/fuzz/${target}_fuzz" "$limit" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$corpus" "$repo/tests/fuzz/corpus/$target" >"$log" 2>&1
    run=$?
    set -e
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    if [ "$run" -ne 0 ]; then
        grep -E '^(==|SUMMARY|artifact_prefix|Test unit written)|ERROR|runtime error|terminate|broken property' "$log" | head -40
        echo "Fuzzing $target: a finding after ${executions:-?} executions (full log: $log)"
        status=$run
        continue
    fi
    echo "Fuzzing $target: ${executions} executions without a finding"
done
exit "$status"
