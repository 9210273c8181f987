#!/usr/bin/env bash
# Data races between a host's threads and the plug-in's, seen from both sides:
# VR-C's VST2, VST3, LV2 and CLAP binaries and the project's own hosts built
# together with ThreadSanitizer (clang, its own build tree build-tsan), then the
# VST2 host suite (audio beside the editor's UI thread), the format state tests,
# the processor tests and the CLAP host's tests (the editor's loop on the
# plug-in's own thread beside the host's); and vrc-render's suite on an
# instrumented vrc-render (decoding, processing and writing on their own
# threads, batches on a pool). Any report fails the run.
# Usage: scripts/tsan.sh   (part of scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

vrc_clang_tree build-tsan -DVRC_SANITIZE_THREAD=ON
# Only what the run needs: the four plug-in binaries, vrc-render and the six test programs.
cmake --build build-tsan --parallel "$(vrc_jobs)" --target \
    VRC_VST VRC_VST3 VRC_LV2 VRC_CLAP vrc-render vrc_host_tests vrc_format_state_tests vrc_processor_tests \
    vrc_clap_tests vrc_clap_editor_tests vrc_render_tests

# Every report is printed and the run goes on; a program with any report exits 66.
export TSAN_OPTIONS="exitcode=66 second_deadlock_stack=1 history_size=4"
status=0
run() {
    echo "tsan.sh: $*"
    "$@" --gtest_brief=1 || status=1
}
run vrc_xvfb build-tsan/tests/host/vrc_host_tests
run build-tsan/tests/formats/vrc_format_state_tests
run vrc_xvfb build-tsan/tests/processor/vrc_processor_tests
run build-tsan/tests/clap/vrc_clap_tests
run vrc_xvfb build-tsan/tests/clap/vrc_clap_editor_tests
# (a report makes vrc-render exit 66, which every render test notices)
run build-tsan/tests/render/vrc_render_tests
[ "$status" = 0 ] || { echo "tsan.sh: ThreadSanitizer reported races or a test failed (above)" >&2; exit 1; }
echo "tsan.sh: no ThreadSanitizer reports"
