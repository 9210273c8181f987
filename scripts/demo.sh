#!/usr/bin/env bash
# The first command after cloning: installs what is missing, builds the plug-in
# and vrc-render, synthesises a short drum-and-chord signal and renders it
# through VR-C, then says where everything is. Safe to run again: the build is
# incremental and each demo file is replaced whole (written beside it, then
# renamed), so an interrupted run never leaves a half-written file.
# Usage: scripts/demo.sh [OUTDIR]     (OUTDIR is taken from where you run the
# script; default out/demo in the source tree; VRC_BUILD_DIR overrides build/)
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
source scripts/lib.sh

build="${VRC_BUILD_DIR:-build}"
out="${1:-out/demo}"
case "${1:-}" in
    "" | /*) ;;
    *) out="$caller/$1" ;;
esac

# Only what building needs; the test toolchain comes with scripts/test.sh.
scripts/setup.sh
# A plain configure builds no tests or benchmarks, so it needs no test libraries
# (a tree that scripts/test.sh configured keeps them).
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --target VRC_VST vrc-render --parallel "$(vrc_jobs)"

echo
"$build/bin/vrc-render" --demo "$out" --overwrite

out=$(cd "$out" && pwd)
echo
echo "Listen to $out/input.wav, then $out/output.wav"
echo "(any audio player, e.g. aplay, paplay or play from sox: aplay \"$out/output.wav\");"
echo "look at $out/plot.png."
echo "The plug-in (Linux VST 2.4): $(cd "$build/VRC_artefacts/Release/VST" && pwd)/VR-C.so"
echo "    scripts/install.sh puts it into ~/.vst, where Linux hosts look."
echo "The renderer: $(cd "$build/bin" && pwd)/vrc-render --help"
