#!/usr/bin/env bash
# Measures the peak memory (ru_maxrss of the child, by /usr/bin/time) of section_measure and
# leaflet_crop on generated scans, two OpenCV threads each, and prints the pair (a, b) of the
# estimate a x pixels + b that resources/memory_need.h holds for each program: for each a, the
# least b that keeps every estimate 3 % above its peak; the a whose largest ratio to a peak is
# the smallest. Prints how far above each peak the estimate lies: never below, and at most 15 %
# above on the scans of the memory promise (tests/bad_input/memory_promise_test.cpp).
#
# section_measure's scans: plain sections of 2000 x 2000 and 3000 x 3000, a colour-rich
# 2000 x 2000 one (a scanner's hundred thousand colours) and 1200 x 1200 of pure noise (every
# pixel its own colour, grabCut's costliest input: its peak lies above a plain section's of the
# same size, which the fixed part absorbs). A plain 1 MP section is then about a third below its
# estimate.
#
#   bash bench/memory/memory_estimate.sh [BUILD_DIR]      (default build/; takes a few minutes)
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
generator="$build/tools/scan_generator"

# Prints "pixels peak_bytes name" for one run of PROGRAM on SCAN, in a folder of its own.
peak() {
    local program=$1 scan=$2 pixels=$3 folder
    folder=$(mktemp -d -p "$work")
    (cd "$folder" && PATH="$folder:$PATH" OPENCV_FOR_THREADS_NUM=2 \
        /usr/bin/time -f '%M' -o "$folder/rss" "$program" "$scan" >/dev/null 2>&1) || true
    # time notes a non-zero status on a line of its own, before the figure.
    echo "$pixels $(($(tail -n 1 "$folder/rss") * 1024)) $(basename "$scan")"
}

fit() {
    awk -v name="$1" '
        { p[NR] = $1; m[NR] = $2; label[NR] = $3 }
        END {
            n = NR; mb = 1024 * 1024; best = 1e18
            for (a = 1; a <= 400; a++) {
                b = 0
                for (i = 1; i <= n; i++) if (1.03 * m[i] - a * p[i] > b) b = 1.03 * m[i] - a * p[i]
                b = (int(b / mb) + 1) * mb; worst = 0
                for (i = 1; i <= n; i++) if ((a * p[i] + b) / m[i] > worst) worst = (a * p[i] + b) / m[i]
                if (worst < best) { best = worst; bestA = a; bestB = b }
            }
            printf "%s: a = %d bytes per pixel, b = %d bytes (%d MB)\n", name, bestA, bestB, bestB / mb
            for (i = 1; i <= n; i++) {
                e = bestA * p[i] + bestB
                printf "  %-20s %9d pixels: peak %5.0f MB, estimate %5.0f MB (+%.1f %%)%s\n", \
                    label[i], p[i], m[i] / mb, e / mb, 100 * (e / m[i] - 1), \
                    (e < m[i] || e > 1.15 * m[i]) ? "  OUT OF BOUNDS" : ""
            }
        }'
}

"$generator" section "$work/plain_2000.png" --width 2000 --height 2000 >/dev/null
"$generator" section "$work/plain_3000.png" --width 3000 --height 3000 >/dev/null
"$generator" section "$work/colours_2000.png" --width 2000 --height 2000 --sensor-noise 3 \
    --colour-cast 6 >/dev/null
"$generator" noise "$work/noise_1200.png" --width 1200 --height 1200 >/dev/null
{
    peak "$build/section_measure/section_measure" "$work/plain_2000.png" 4000000
    peak "$build/section_measure/section_measure" "$work/plain_3000.png" 9000000
    peak "$build/section_measure/section_measure" "$work/colours_2000.png" 4000000
    peak "$build/section_measure/section_measure" "$work/noise_1200.png" 1440000
} | fit section_measure

# Leaflet scans keep the generator's 4:3 layout, up to a 6000 x 4000 scan.
for size in 1155x866 2310x1732 3464x2598 6000x4000; do
    w=${size%x*} h=${size#*x}
    "$generator" leaflet "$work/leaflet_$w.png" --width "$w" --height "$h" >/dev/null
    peak "$build/leaflet_crop/leaflet_crop" "$work/leaflet_$w.png" $((w * h))
done | fit leaflet_crop
