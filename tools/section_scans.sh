# Sourced by the Windows checks: the three section scans they measure, named as people name
# them (a plain one, a colour-rich one, one in TIFF), into the folder given, with the generator
# given.
makeSectionScans() {
    local folder=$1 generator=$2
    mkdir -p "$folder"
    "$generator" section "$folder/coupe ł_1.jpg" --width 600 --height 600 --seed 1 >/dev/null
    "$generator" section "$folder/coupe été_2.png" --width 700 --height 600 --seed 2 \
        --rotation 20 --sensor-noise 3 --colour-cast 6 >/dev/null
    "$generator" section "$folder/coupe_10.tif" --width 500 --height 500 --seed 3 \
        --hollow-depth 0.3 >/dev/null
}
