#!/usr/bin/env bash
# The first command after cloning: installs what is missing, builds the plug-in
# and vrc-render, synthesises a short drum-and-chord signal and renders it
# through VR-C, then says where everything is. Safe to run again: the build is
# incremental and each demo file is replaced whole (written beside it, then
# renamed), so an interrupted run never leaves a half-written file.
# Usage: scripts/demo.sh [OUTDIR]     (default out/demo; VRC_BUILD_DIR overrides build/)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${VRC_BUILD_DIR:-build}"
out="${1:-out/demo}"

scripts/setup.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --target VRC_VST vrc-render --parallel "$(nproc)"

echo
"$build/bin/vrc-render" --demo "$out" --overwrite

echo
echo "Listen to $out/input.wav, then $out/output.wav; look at $out/plot.png."
echo "The plug-in (Linux VST 2.4): $(cd "$build/VRC_artefacts/Release/VST" && pwd)/VR-C.so"
echo "The renderer: $(cd "$build/bin" && pwd)/vrc-render --help"
