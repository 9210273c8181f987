#!/usr/bin/env bash
# Sets the machine up, builds everything from scratch-or-incrementally and runs
# every test. This is what CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --parallel "$jobs"

# Editor tests need an X server; xvfb-run gives them a private one.
xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir build --output-on-failure --parallel "$jobs"

# A minute of coverage-guided fuzzing of the settings restore under
# AddressSanitizer and UndefinedBehaviorSanitizer (clang, its own build tree).
scripts/fuzz.sh 60

# The 32-bit Windows build (VR-C.dll) and its tests under wine, compared with
# the Linux build above.
VRC_LINUX_BUILD_DIR=build scripts/test-windows.sh
