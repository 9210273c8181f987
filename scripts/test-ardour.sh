#!/usr/bin/env bash
# VR-C in a real host: Ardour 7 from Debian, headless (its Lua interpreter).
# For each of VST2, VST3 and LV2: a session with a test signal into VR-C, every
# parameter set away from its default, rendered and saved; then reopened,
# rendered again, its parameters checked and saved as another snapshot. All six
# renders must be the same, sample for sample, and all six snapshots must hold
# the same settings chunk.
#   scripts/test-ardour.sh     (uses the formats built in build/, or VRC_BUILD_DIR)
set -euo pipefail
cd "$(dirname "$0")/.."
src_dir=$PWD
build_dir=$(cd "${VRC_BUILD_DIR:-build}" && pwd)
work=$build_dir/ardour-test

scripts/setup.sh --ardour
cmake --build "$build_dir" --target VRC_VST VRC_VST3 VRC_LV2 VRC_Standalone --parallel "${VRC_JOBS:-2}"

# A private home: Ardour's configuration, plug-in caches and the installed
# formats live there, never in the user's own.
rm -rf "$work"; mkdir -p "$work/home/.config/ardour7/export" "$work/home/.config/ardour7/scripts" "$work/renders"
export HOME=$work/home LXVST_PATH=$work/home/.vst
VRC_BUILD_DIR=$build_dir scripts/install.sh >/dev/null
cp tests/ardour/vrc-float.preset "$HOME/.config/ardour7/export/"
cp tests/ardour/vrc_test_signal.lua "$HOME/.config/ardour7/scripts/"

status=0
# Success is the script's own report: Ardour may still abort while exiting.
run() { # format, step, [render folder]
    local log=$work/$1-$2.log
    (cd "$work" && ardour7-lua "$src_dir/tests/ardour/session.lua" "$work/session-$1" "$@" >"$log" 2>&1) || true
    if grep -q '^VRC-OK' "$log"; then
        grep '^VRC-OK\|Ardour shows' "$log" | sed 's/^VRC-OK /ardour: /; s/^LV2: Ardour shows/ardour: note: LV2: Ardour shows/'
    else
        echo "ardour: FAIL ($1 $2), log:"; { grep -v '^\[WARNING\]\|^\[ERROR\]: Ignored format' "$log" || true; } | tail -n 20
        status=1
    fi
}
# Ardour reads VST2 and VST3 plug-ins from the caches its scanners write, for
# the files it has listed once.
run - scan
(export LD_LIBRARY_PATH=/usr/lib/ardour7${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
 /usr/lib/ardour7/ardour-vst-scanner -q -f "$HOME/.vst/VR-C.so"
 /usr/lib/ardour7/ardour-vst3-scanner -q -f "$HOME/.vst3/VR-C.vst3")
for format in VST2 VST3 LV2; do
    mkdir -p "$work/renders/$format" "$work/renders/$format-reopened"
    run "$format" make "$work/renders"
    run "$format" check "$work/renders"
done

renders=()
for name in VST2 VST3 LV2 VST2-reopened VST3-reopened LV2-reopened; do renders+=("$work/renders/$name/export.wav"); done
python3 tests/ardour/compare_renders.py "${renders[@]}" || status=1
# The settings each session saved, and saved again after reopening, are the same chunk.
python3 tests/ardour/compare_states.py "$work/session-VST2:vrc" "$work/session-"{VST3,LV2}":vrc" \
    "$work/session-"{VST2,VST3,LV2}":reopened" || status=1
if [ "$status" = 0 ]; then echo "test-ardour: passed"; else echo "test-ardour: FAILURES"; fi
exit "$status"
