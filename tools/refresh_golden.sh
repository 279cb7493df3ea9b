#!/usr/bin/env bash
# Rewrites the pinned outputs in tests/golden/ from the programs built in build/. Run it only
# for a change of output that is meant, and say why in the commit:
#   bash tools/refresh_golden.sh
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$repo/build"

pin() {  # case, program, input, name the program reads by default
    local name=$1 program=$2 input=$3 inputName=$4 work expected="$repo/tests/golden/$1"
    work=$(mktemp -d)
    cp "$repo/$input" "$work/$inputName"
    mkdir -p "$expected"
    set +e
    (cd "$work" && PATH="$work" "$program" >"$expected/stdout.txt" 2>/dev/null)
    echo $? >"$expected/status.txt"
    set -e
    (cd "$work" && find . -type f ! -path "./$inputName" | sed 's#^\./##' | LC_ALL=C sort |
        tr '\n' '\0' | xargs -0 sha256sum) >"$expected/files.sha256"
    rm -rf "$work"
    echo "pinned $name: status $(cat "$expected/status.txt"), $(wc -l <"$expected/files.sha256") files"
}

pin section_small "$build/section_measure/section_measure" tests/golden/small_section.jpg section.jpg
pin section_sample "$build/section_measure/section_measure" samples/section.jpg section.jpg
pin leaflet_sample "$build/leaflet_crop/leaflet_crop" samples/leaflet.jpg leaflet.jpg
