#!/bin/sh
# Regenerates samples/section.jpg and samples/leaflet.jpg with the exact command lines used.
# Usage: tools/make_samples.sh path/to/scan_generator [output directory, default: samples]
set -eu
gen=${1:?usage: $0 path/to/scan_generator [outdir]}
out=${2:-$(dirname "$0")/../samples}
mkdir -p "$out"

# A five-lobed cane section, radius 350, turned by 17 degrees, concave hollows, rounded corners.
"$gen" section "$out/section.jpg" --width 1000 --height 1000 --seed 11 \
    --radius 350 --cx 500 --cy 500 --rotation 17 --hollow-depth 0.25 --rounding 0.5

# Six leaflets (angles 0 and 90 among them) and 40 specks on a dark background.
"$gen" leaflet "$out/leaflet.jpg" --width 1600 --height 1200 --seed 5 --specks 40 \
    --leaf 330,280,380,150,0 \
    --leaf 820,260,360,140,35 \
    --leaf 1330,420,400,160,90 \
    --leaf 300,800,340,130,120 \
    --leaf 780,880,380,150,160 \
    --leaf 1250,960,300,120,60
