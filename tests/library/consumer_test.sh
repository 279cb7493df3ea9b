#!/usr/bin/env bash
# consumer_test.sh BUILD SOURCE: installs the library from BUILD into a fresh prefix, builds a
# small project against it with find_package(PlantScanTools) and with pkg-config, and checks
# that both print the golden report of the small section.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --component dev --prefix "$work/prefix" >/dev/null
scan=$source/tests/golden/small_section.jpg
expected=$(grep ' mesures.csv$' "$source/tests/golden/section_small/files.sha256" | cut -d' ' -f1)

cmake -S "$source/tests/library/consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/cmake" >/dev/null
by_cmake=$("$work/cmake/consumer" "$scan" | sha256sum | cut -d' ' -f1)

pc=$(find "$work/prefix" -name plantscan.pc)
flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs plantscan)
# shellcheck disable=SC2086
c++ -std=c++17 "$source/tests/library/consumer/consumer.cpp" $flags -o "$work/consumer_pc"
by_pkg_config=$("$work/consumer_pc" "$scan" | sha256sum | cut -d' ' -f1)

echo "find_package: $by_cmake"
echo "pkg-config:   $by_pkg_config"
echo "golden:       $expected"
[ "$by_cmake" = "$expected" ] && [ "$by_pkg_config" = "$expected" ]
