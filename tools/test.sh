#!/usr/bin/env bash
# One command for every test: installs what is missing, builds, runs the plain suite (the Python
# module's tests included), then the slow tests (whole samples, thread counts, a browser, the
# installed library, pip, the example), then the plain suite again built with
# AddressSanitizer and UndefinedBehaviorSanitizer (any report fails), then fuzzes each target
# (the section pipeline and the byte parsers) for 15 s, then cross-builds the Windows programs and
# runs their tests under wine (tools/build_windows.sh; the first build of OpenCV for Windows
# takes about ten minutes), compares the Windows batch's files with the Linux batch's and tries
# the installer as a lab's PC meets it (tools/test_installer.sh, about 50 s: per user, Explorer's
# folder command, one copy, for all users). `--quick` stops after the plain suite.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/install_missing.sh"
# Before the build, which skips the Python module without pybind11: the module and its tests.
install_missing python3-dev pybind11-dev python3-numpy python3-pytest
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
ctest --preset release -LE slow -j"$(nproc)"
[ "${1:-}" = "--quick" ] && exit 0

# What only the slow tests use: pip in a venv, the example's pandas and matplotlib, and a real
# browser for the results page.
install_missing python3-venv python3-setuptools python3-wheel python3-pandas python3-matplotlib \
    chromium
echo "== Slow tests"
ctest --preset release -L slow -j"$(nproc)"

echo "== The suite again under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$(nproc)"
# Distinct exit codes, so that a child program's report cannot pass for one of its own statuses.
ASAN_OPTIONS=exitcode=86:abort_on_error=0:detect_leaks=1 \
UBSAN_OPTIONS=exitcode=87:print_stacktrace=1 \
    ctest --preset sanitize -LE slow -j"$(nproc)"

echo "== Fuzz smoke run of every fuzz target"
install_missing clang libclang-rt-14-dev
"$repo/tools/fuzz.sh" 15

echo "== The Windows programs, cross-built, and their tests under wine"
bash "$repo/tools/build_windows.sh"
# A test that fails under wine is run once more, and counts as failed only if it fails again:
# about one run in six, one of the hundreds of wine processes misbehaves (the log keeps it).
ctest --preset windows -j"$(nproc)" --repeat until-pass:2
echo "== The Windows batch against the Linux batch, and the installer"
bash "$repo/tools/compare_batches.sh"
bash "$repo/tools/test_installer.sh"
