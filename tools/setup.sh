#!/usr/bin/env bash
# Installs what the build needs on Debian 12 (only what is missing), then configures and
# builds everything into build/ (the release preset). Sourced by demo.sh and test.sh.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$repo/build"

source "$repo/tools/install_missing.sh"
install_missing cmake g++ make pkg-config libopencv-dev libgtest-dev
cd "$repo"
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
