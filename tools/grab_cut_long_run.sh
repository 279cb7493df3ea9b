#!/bin/bash
# The long run of grabCutFromMask against cv::grabCut, after any change to
# section_measure/grab_cut.cpp or section_measure/grab_cut/: thousands of random inputs, then
# whole section_measure runs on generated scans up to 3000 x 3000, every output compared byte for
# byte with those of the same program on cv::grabCut (section_measure_opencv_grabcut). About half
# an hour on two cores.
#
#   bash tools/grab_cut_long_run.sh [INPUTS [MAX_PIXELS]]    default 3000 inputs of up to 40000 pixels
#
# BUILD_DIR names the build folder (default build/). Ends with status 1 at the first difference.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake --build "$build" -j2 --target grab_cut_tests section_measure section_measure_opencv_grabcut scan_generator

GRAB_CUT_INPUTS=${1:-3000} GRAB_CUT_MAX_PIXELS=${2:-40000} \
  "$build/tests/section_measure/grab_cut_tests" --gtest_filter='*VariedInputs' --gtest_brief=1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scans=0
# width height seed, then generator options
while read -r width height seed options; do
  scan="$work/scan_${width}x${height}_$seed.png"
  # shellcheck disable=SC2086  # the options are separate words
  "$build/tools/scan_generator" section "$scan" --width "$width" --height "$height" --seed "$seed" $options
  for program in section_measure opencv; do
    mkdir -p "$work/$program"
    binary=$build/section_measure/section_measure
    [ "$program" = opencv ] && binary=$build/bench/section_measure/section_measure_opencv_grabcut
    (cd "$work/$program" && rm -f ./* && "$binary" "$scan" > console.txt 2>&1) || true
  done
  for file in "$work"/opencv/*; do
    if ! cmp -s "$file" "$work/section_measure/$(basename "$file")"; then
      echo "DIFFERENT: $(basename "$file") for ${width}x$height seed $seed $options" >&2
      exit 1
    fi
  done
  scans=$((scans + 1))
  echo "same outputs: ${width}x$height seed $seed $options"
done <<'EOF'
1000 1000 11
1200 900 12 --sensor-noise 3 --colour-cast 6
1500 1500 13 --rotation 17 --hole 120
1500 1500 14 --sensor-noise 2 --colour-cast 10 --crack 6 200
2000 1500 15 --flat --rounding 0.2
2000 2000 16 --sensor-noise 3 --colour-cast 6
2000 2000 17 --sensor-noise 8
2500 2500 18 --rotation 40 --hollow-depth 0.35
2500 2000 19 --sensor-noise 3 --colour-cast 6 --hole 200
3000 3000 20
3000 3000 21 --sensor-noise 3 --colour-cast 6
3000 2400 22 --sensor-noise 1 --colour-cast 3 --rotation 5
EOF
echo "$scans whole scans: every output identical"
