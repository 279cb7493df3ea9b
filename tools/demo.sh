#!/usr/bin/env bash
# One command for a first look: installs what is missing, builds, and runs the programs on
# the bundled samples into demo/.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

demo="$repo/demo"
run_in() {  # folder, program, arguments...
    local dir=$1 program=$2
    shift 2
    if [ ! -x "$program" ]; then
        echo "(not built yet) would run in $dir: $program $*"
        return 0
    fi
    echo "== $dir: $(basename "$program") $*"
    (cd "$dir" && "$program" "$@") || echo "(exit status $?)"
}

mkdir -p "$demo/section" "$demo/leaflet"
cp "$repo/samples/section.jpg" "$demo/section/section.jpg"
cp "$repo/samples/leaflet.jpg" "$demo/leaflet/leaflet.jpg"
run_in "$demo/section" "$build/section_measure/section_measure"
run_in "$demo/leaflet" "$build/leaflet_crop/leaflet_crop"

# A small batch: a few generated scans measured on every core.
mkdir -p "$demo/batch/scans"
for seed in 1 2 3 4; do
    "$build/tools/scan_generator" section "$demo/batch/scans/cane_$seed.jpg" \
        --width 700 --height 700 --radius 250 --rotation $((seed * 17)) --seed "$seed"
done
run_in "$demo" "$build/section_batch/section_batch" batch/scans batch/resultats

# And a folder of leaf scans, every leaflet cropped and measured.
mkdir -p "$demo/leaflets/scans"
for seed in 1 2 3; do
    "$build/tools/scan_generator" leaflet "$demo/leaflets/scans/planche_$seed.jpg" --seed "$seed"
done
run_in "$demo" "$build/leaflet_batch/leaflet_batch" leaflets/scans leaflets/resultats_petales

echo
echo "Results are in $demo/: section/ (images and mesures.csv), leaflet/ (PETALES/ and drawing.jpg),"
echo "batch/resultats/ (one folder per scan and toutes_mesures.csv), leaflets/resultats_petales/"
echo "(one folder per scan, tous_petales.csv and rapport.html)."
