#!/usr/bin/env bash
# Measures the peak memory (ru_maxrss of the child, by /usr/bin/time) of section_measure and
# leaflet_crop on generated scans of 1, 4 and 9 megapixels, and prints the pair (a, b) of the
# estimate a x pixels + b that resources/memory_need.h holds for each program: a least squares
# line raised until no scan needs more than its estimate, then 5 % of headroom for what a run
# on another scan adds. Prints how far above each peak the estimate lies (at most 15 %).
#
#   bash bench/memory/memory_estimate.sh [BUILD_DIR]      (default build/; takes a few minutes)
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
generator="$build/tools/scan_generator"

# Prints "pixels peak_bytes" for one run of PROGRAM on SCAN, in a folder of its own.
peak() {
    local program=$1 scan=$2 pixels=$3 folder
    folder=$(mktemp -d -p "$work")
    (cd "$folder" && PATH="$folder:$PATH" /usr/bin/time -f '%M' -o "$folder/rss" \
        "$program" "$scan" >/dev/null 2>&1) || true
    echo "$pixels $(($(cat "$folder/rss") * 1024))"
}

fit() {
    awk -v name="$1" '
        { p[NR] = $1; m[NR] = $2; sp += $1; sm += $2; spp += $1 * $1; spm += $1 * $2 }
        END {
            n = NR; a = (n * spm - sp * sm) / (n * spp - sp * sp)
            b = -1e18; for (i = 1; i <= n; i++) if (m[i] - a * p[i] > b) b = m[i] - a * p[i]
            mb = 1024 * 1024; a = int(1.05 * a) + 1; b = (int(1.05 * b / mb) + 1) * mb
            printf "%s: a = %d bytes per pixel, b = %d bytes (%d MB)\n", name, a, b, b / mb
            for (i = 1; i <= n; i++)
                printf "  %9d pixels: peak %5.0f MB, estimate %5.0f MB (+%.1f %%)%s\n", p[i], \
                    m[i] / mb, (a * p[i] + b) / mb, 100 * ((a * p[i] + b) / m[i] - 1), \
                    (a * p[i] + b < m[i] || a * p[i] + b > 1.15 * m[i]) ? "  OUT OF BOUNDS" : ""
        }'
}

for side in 1000 2000 3000; do
    "$generator" section "$work/section_$side.png" --width "$side" --height "$side" >/dev/null
    peak "$build/section_measure/section_measure" "$work/section_$side.png" $((side * side))
done | fit section_measure

# Leaflet scans keep the generator's 4:3 layout.
for size in 1155x866 2310x1732 3464x2598; do
    w=${size%x*} h=${size#*x}
    "$generator" leaflet "$work/leaflet_$w.png" --width "$w" --height "$h" >/dev/null
    peak "$build/leaflet_crop/leaflet_crop" "$work/leaflet_$w.png" $((w * h))
done | fit leaflet_crop
