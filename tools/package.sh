#!/usr/bin/env bash
# Builds the Debian packages into build-package/: plant-scan-tools_<version>_<arch>.deb (the
# programs), plant-scan-tools-dev_... (the C++ library) and python3-plantscan_... (the Python
# module). Installs what is missing (dpkg-dev and file let CPack compute the dependencies from
# the binaries), builds in a folder of its own, without tests or benchmarks and with no flags
# left over from a development build, then runs CPack, and checks that each package carries its
# copyright file.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$repo/build-package"
source "$repo/tools/install_missing.sh"

install_missing cmake g++ make pkg-config libopencv-dev dpkg-dev file python3-dev pybind11-dev
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DPLANT_BUILD_TESTS=OFF -DPLANT_BUILD_BENCH=OFF -DPLANT_REQUIRE_PYTHON=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target section_measure leaflet_crop section_batch \
    leaflet_batch plantscan plantscan_python
(cd "$build" && cpack -G DEB)
# Every package carries its copyright file, in Debian's machine-readable format.
for deb in "$build"/*.deb; do
    name=$(dpkg-deb -f "$deb" Package)
    copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - "./usr/share/doc/$name/copyright" 2>/dev/null) || true
    [ "${copyright%%$'\n'*}" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] || {
        echo "package.sh: $(basename "$deb") lacks /usr/share/doc/$name/copyright in Debian's format" >&2
        exit 1
    }
done
ls "$build"/*.deb
