#!/usr/bin/env bash
# Builds VR-C.dll if needed (scripts/build-windows.sh) and runs the Windows
# tests under wine, inside a private Xvfb display (--x64: the 64-bit DLL in
# build-win64, under 64-bit wine; VRC_WINDOWS_BUILD_DIR names another tree, as
# for build-windows.sh):
#   1. ctest in build-win: the DLL's export and import tables, the engine's
#      output against its golden hashes, and the host test suite of tests/host
#      as a 32-bit Windows program against VR-C.dll; VR-C.clap's tables and the
#      CLAP host's tests of tests/clap against it;
#   2. the same fixed session run against the Linux build (VR-C.so) and the
#      Windows build, compared: texts and chunk bytes identical, audio within
#      tolerance;
#   3. (unless --no-vst3) the same session through the VST3 bundle of both builds,
#      compared file for file, and with the Linux VST2 audio and chunk; and the
#      Windows bundle's editor opened and closed;
#   4. the editor opened and closed through the binary interface, with a
#      screenshot in build-win/editor-wine.png (--update-screenshot also copies
#      it to docs/editor-wine.png).
# The Linux half is built in build-win/linux, or taken from VRC_LINUX_BUILD_DIR
# (an existing Linux build tree of this project, as scripts/test.sh leaves it).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
src_dir=$PWD
jobs=$(vrc_jobs)

update_screenshot=0
under_xvfb=0
x64=0
vst3=1
for arg in "$@"; do
    case "$arg" in
        --update-screenshot) update_screenshot=1 ;;
        --under-xvfb) under_xvfb=1 ;;
        --x64) x64=1 ;;
        --no-vst3) vst3=0 ;;
        *) echo "test-windows.sh: unknown option '$arg' (known: --update-screenshot, --x64, --no-vst3)" >&2; exit 2 ;;
    esac
done
if [ "$x64" = 1 ]; then
    build_args=(--x64)
    wine_arch=win64
    vst3_arch=x86_64-win
else
    build_args=()
    wine_arch=win32
    vst3_arch=x86-win
fi
build_dir=$(vrc_windows_build_dir "$x64")
linux_targets=(vrc_crosscheck)
if [ "$vst3" = 1 ]; then
    linux_targets+=(VRC_VST3)
else
    build_args+=(--no-vst3)
fi
linux_dir=${VRC_LINUX_BUILD_DIR:-$build_dir/linux}
crosscheck=$build_dir/tests/windows/vrc_crosscheck.exe
wine_run=("$src_dir/cmake/windows/wine-run.sh" --prefix "$build_dir/wine" --arch "$wine_arch")

if [ "$under_xvfb" = 0 ]; then
    scripts/setup.sh --windows
    scripts/build-windows.sh "${build_args[@]}"

    if [ ! -f "$linux_dir/CMakeCache.txt" ]; then
        cmake -S "$src_dir" -B "$linux_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVRC_BUILD_TESTS=ON -DVRC_BUILD_BENCH=OFF >/dev/null
    fi
    cmake --build "$linux_dir" --parallel "$jobs" --target "${linux_targets[@]}"

    # Wine's windows need an X server; a private one keeps runs independent.
    exec xvfb-run -a -s "$vrc_xvfb_args" "$0" --under-xvfb "$@"
fi

# A wineserver left from an earlier display would break this one's windows.
WINEPREFIX=$build_dir/wine wineserver -k 2>/dev/null || true

status=0
step() { echo; echo "=== $*"; }

step "Windows tests under wine (ctest in $build_dir)"
ctest --test-dir "$build_dir" --output-on-failure --parallel "$jobs" || status=1

step "Linux build against Windows build: the same session"
compare_dir=$build_dir/compare
rm -rf "$compare_dir"; mkdir -p "$compare_dir/linux" "$compare_dir/windows"
linux_check=$(find "$linux_dir" -name vrc_crosscheck -type f -perm -u+x | head -n 1)
"$linux_check" dump "$compare_dir/linux" || { echo "Linux dump failed"; status=1; }
# Relative path: the Windows program sees it from its working directory.
(cd "$compare_dir" && "${wine_run[@]}" "$crosscheck" dump windows) ||
    { echo "Windows dump failed"; status=1; }
"$linux_check" compare "$compare_dir/linux" "$compare_dir/windows" || status=1

if [ "$vst3" = 1 ]; then
    step "VST3 bundle: Linux build against Windows build, and against the Linux VST2 build"
    vst3_linux=$linux_dir/VRC_artefacts/Release/VST3/VR-C.vst3/Contents/x86_64-linux/VR-C.so
    vst3_windows=$build_dir/VRC_artefacts/Release/VST3/VR-C.vst3/Contents/$vst3_arch/VR-C.vst3
    mkdir -p "$compare_dir/vst3-linux" "$compare_dir/vst3-windows"
    "$linux_check" vst3dump "$vst3_linux" "$compare_dir/vst3-linux" || { echo "Linux VST3 dump failed"; status=1; }
    (cd "$compare_dir" && "${wine_run[@]}" "$crosscheck" vst3dump "$vst3_windows" vst3-windows) ||
        { echo "Windows VST3 dump failed"; status=1; }
    "$linux_check" vst3compare "$compare_dir/vst3-linux" "$compare_dir/vst3-windows" "$compare_dir/linux" || status=1
    "${wine_run[@]}" "$crosscheck" vst3editor "$vst3_windows" || status=1
fi

step "Editor under wine: open, screenshot, close"
shot_dir=$build_dir/editor-shot
rm -rf "$shot_dir"; mkdir -p "$shot_dir"
(cd "$shot_dir" && exec "${wine_run[@]}" "$crosscheck" editor ready done) &
editor_pid=$!
for _ in $(seq 1 600); do
    [ -s "$shot_dir/ready" ] || ! kill -0 "$editor_pid" 2>/dev/null && break
    sleep 0.2
done
if [ -s "$shot_dir/ready" ]; then
    # (written by a Windows program: CRLF line end)
    read -r x y w h < <(tr -d '\r' <"$shot_dir/ready")
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$build_dir/editor-wine.png"
    colours=$(identify -format '%k' "$build_dir/editor-wine.png")
    echo "editor at ${x},${y}, ${w}x${h}; screenshot $build_dir/editor-wine.png has $colours colours"
    # The editor is its background picture, knobs and needles: a flat or
    # near-flat picture means the images were not decoded or not drawn.
    if [ "$w" != 800 ] || [ "$h" != 200 ] || [ "$colours" -lt 64 ]; then
        echo "FAIL: the editor under wine is not an 800x200 picture"; status=1
    elif [ "$update_screenshot" = 1 ]; then
        mkdir -p docs && cp "$build_dir/editor-wine.png" docs/editor-wine.png
    fi
fi
touch "$shot_dir/done"
if ! wait "$editor_pid"; then
    echo "FAIL: opening or closing the editor under wine failed"; status=1
fi
# This display goes away with xvfb-run: no wine process may outlive it.
WINEPREFIX=$build_dir/wine wineserver -k 2>/dev/null || true

echo
if [ "$status" = 0 ]; then echo "test-windows: all Windows tests passed"; else echo "test-windows: FAILURES"; fi
exit "$status"
