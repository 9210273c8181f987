#!/usr/bin/env bash
# Sets the machine up, builds everything from scratch-or-incrementally and runs
# every test. This is what CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

scripts/setup.sh --test

# The hand-made faults of scripts/mutants.sh must still apply to the code they
# test (text only; running them is a developer's job, not CI's).
scripts/mutants.sh --check-stale

jobs=$(vrc_jobs)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVRC_BUILD_TESTS=ON -DVRC_BUILD_BENCH=ON
cmake --build build --parallel "$jobs"

# Editor tests need an X server; xvfb-run gives them a private one.
vrc_xvfb \
    ctest --test-dir build --output-on-failure --parallel "$jobs"

# The slow render test: a 4 GiB WAV output (written as RF64), deleted after.
VRC_LARGE_TESTS=1 build/tests/render/vrc_render_tests --gtest_filter='RenderLarge.*' --gtest_brief=1

# A real host: Ardour 7 from Debian, headless, with VR-C as VST2, VST3 and LV2
# in sessions that are made, rendered, saved, reopened and rendered again.
VRC_BUILD_DIR=build scripts/test-ardour.sh

# A minute each of coverage-guided fuzzing of the settings restore, the VST3,
# LV2 and CLAP state readers and vrc-render's audio input readers under
# AddressSanitizer and UndefinedBehaviorSanitizer (clang, its own build tree).
scripts/fuzz.sh 60

# The host test suite again, in that sanitizer build: the instrumented VR-C.so
# driven through the VST2 binary interface, editor opened and closed 100 times;
# then the instrumented VST3 and LV2 binaries' state interfaces given hostile
# bytes, and the instrumented VR-C.clap through the project's CLAP host (audio,
# events, state, hostile streams, the editor opened and closed 100 times). (The
# LV2 bundle's Turtle files come from a small program of their own, which never
# loads the plug-in.) The tree is the fuzzing run's, configured here too so this
# step stands on its own.
vrc_fuzz_tree
export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake --build build-fuzz --target VRC_VST vrc_host_tests vrc_format_state_tests \
    VRC_CLAP vrc_clap_tests vrc_clap_editor_tests --parallel "$jobs"
vrc_xvfb build-fuzz/tests/host/vrc_host_tests --gtest_brief=1
build-fuzz/tests/formats/vrc_format_state_tests --gtest_brief=1
# (VR-C.clap and its host leak nothing, the editor's 100 openings included)
ASAN_OPTIONS=detect_leaks=1 build-fuzz/tests/clap/vrc_clap_tests --gtest_brief=1
ASAN_OPTIONS=detect_leaks=1 vrc_xvfb build-fuzz/tests/clap/vrc_clap_editor_tests --gtest_brief=1
unset ASAN_OPTIONS UBSAN_OPTIONS

# Races between a host's threads and the plug-in's: plug-in and hosts built
# together with ThreadSanitizer (its own tree, build-tsan), no report allowed.
scripts/tsan.sh

# The 32-bit Windows build (VR-C.dll) and its tests under wine, compared with
# the Linux build above.
VRC_LINUX_BUILD_DIR=build scripts/test-windows.sh
# The same for the 64-bit DLL, under 64-bit wine.
VRC_LINUX_BUILD_DIR=build scripts/test-windows.sh --x64
