#!/usr/bin/env bash
# compare_batches.sh [FOLDER]: the Linux batches and the Windows batches (under wine) measure the
# same scans, sections in a folder named "mesures été ł" and leaves in "feuilles été ł" (in
# FOLDER, kept; by default a temporary one), and their outputs are compared file by file. Every
# image, every mesures.csv and petales.csv and both tables must be the same bytes, the consoles
# the same but for CR LF; what may differ (the pages, statut.txt, the run records) is listed with
# the reason.
# Needs both builds (bash tools/test.sh --quick, bash tools/build_windows.sh). Exit status 1 when
# a file that must be the same is not.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -n "${1:-}" ]; then
    mkdir -p "$1"
    work=$(cd "$1" && pwd)  # whole, as the messages give it
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
scans="$work/mesures été ł"

# Three section scans, and one with nothing to measure.
generator="$repo/build/tools/scan_generator"
source "$repo/tools/section_scans.sh"
makeSectionScans "$scans" "$generator"
"$generator" leaflet "$scans/vide_3.jpg" --width 400 --height 300 --specks 0 >/dev/null

# Leaves too: two scans of leaflets and one without any.
leaves="$work/feuilles été ł"
mkdir -p "$leaves"
"$generator" leaflet "$leaves/feuilles ł_1.jpg" --width 900 --height 700 --seed 4 >/dev/null
"$generator" leaflet "$leaves/feuilles été_2.png" --width 800 --height 800 --seed 5 >/dev/null
"$generator" leaflet "$leaves/vide_3.jpg" --width 400 --height 300 --specks 0 >/dev/null

batch() {  # program, scans folder, output folder
    (cd "$work" && "$repo/build/$1/$1" -j 2 "$2" "linux-$3" >/dev/null 2>&1) || true
    (cd "$work" && "$repo/tools/wine_run.sh" "$repo/build-windows/$1/$1.exe" -j 2 "$2" \
        "windows-$3" >/dev/null 2>&1) || true
}
batch section_batch "mesures été ł" sections
batch leaflet_batch "feuilles été ł" leaflets

# A message names a scan by its full path, in its system's form: written alike on both sides.
linuxText() { tr -d '\r' < "$1" | sed "s|$work/|<dossier>/|g"; }
windowsText() { tr -d '\r' < "$1" | tr '\\' '/' | sed "s|[A-Za-z]:$work/|<dossier>/|g"; }

same=0
different=0
compare() {  # output folder
    local file relative other ok
    while IFS= read -r -d '' file; do
        relative=${file#"$work/linux-$1/"}
        other="$work/windows-$1/$relative"
        case "$relative" in
            lancements/*) continue ;;  # named by the host and process: compared below
            */console.txt | */erreurs.txt)
                cmp -s <(linuxText "$file") <(windowsText "$other") && ok=1 || ok=0 ;;
            *) cmp -s "$file" "$other" && ok=1 || ok=0 ;;
        esac
        if [ "$ok" = 1 ]; then
            same=$((same + 1))
            continue
        fi
        case "$relative" in
            rapport.html) echo "differs, as it may: $1/$relative (the times of the runs it shows)" ;;
            */statut.txt) echo "differs, as it may: $1/$relative ($(diff <(cat "$file") <(tr -d '\r' < "$other") | grep '^[<>]' | tr '\n' ' '))" ;;
            *)
                echo "DIFFERS: $1/$relative"
                different=$((different + 1)) ;;
        esac
    done < <(find "$work/linux-$1" -type f -print0 | sort -z)
    for side in linux windows; do
        echo "run record ($1, $side): $(tr -d '\r' < "$work/$side-$1"/lancements/*.txt | grep -E '^(machine|commande|debut|fin):' | tr '\n' ' ')"
    done
}
compare sections
compare leaflets
[ -s "$work/linux-leaflets/tous_petales.csv" ] || { echo "DIFFERS: no table of leaflets"; different=$((different + 1)); }
echo "$same files the same, $different that must be the same differ"
[ "$different" = 0 ]
