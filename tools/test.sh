#!/usr/bin/env bash
# One command for every test: installs what is missing, builds, runs the whole suite.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
