#!/usr/bin/env bash
# Builds the Debian package plant-scan-tools_<version>_<arch>.deb into build-package/: installs
# what is missing (dpkg-dev and file let CPack compute the dependencies from the binaries),
# builds the three programs in a folder of their own, without tests or benchmarks and with no
# flags left over from a development build, then runs CPack.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$repo/build-package"
source "$repo/tools/install_missing.sh"

install_missing cmake g++ make pkg-config libopencv-dev dpkg-dev file
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPLANT_BUILD_TESTS=OFF \
    -DPLANT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target section_measure leaflet_crop section_batch
(cd "$build" && cpack -G DEB)
ls "$build"/plant-scan-tools_*.deb
