#!/usr/bin/env bash
# Installs what the build needs on Debian 12 (only what is missing), then configures and
# builds everything into build/ (the release preset). Sourced by demo.sh and test.sh.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$repo/build"

install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

install_missing cmake g++ make pkg-config libopencv-dev libgtest-dev
cd "$repo"
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
