#!/usr/bin/env bash
# pip_install_test.sh SOURCE: in a venv made with --system-site-packages, installs the module
# from a copy of the repository's files with pip alone (Debian's packages, no package index),
# then measures the small section with it.
set -euo pipefail
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The repository's files, without its build folders.
mkdir "$work/clone"
tar -C "$source" --exclude='./build*' --exclude=./demo --exclude=./.git -cf - . |
    tar -xf - -C "$work/clone"

/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install --no-build-isolation --no-index --quiet "$work/clone"
cd "$work"
"$work/venv/bin/python" - "$source/tests/golden/small_section.jpg" <<'PYTHON'
import sys
import plantscan
print(plantscan.__file__)
assert "/venv/" in plantscan.__file__
width = plantscan.measure_section(sys.argv[1])["width"]
print("width", width)
assert round(width, 2) == 4.89  # section_measure's "largeur : 4.8889 mm"
PYTHON
