#!/usr/bin/env bash
# Cross-builds the Windows plug-in VR-C.dll on Debian 12:
#   scripts/build-windows.sh            -> build-win/VRC_artefacts/Release/VST/VR-C.dll    (32-bit)
#   scripts/build-windows.sh --x64      -> build-win64/VRC_artefacts/Release/VST/VR-C.dll  (64-bit)
# Beside the DLL, the VST3 bundle (--no-vst3 leaves it out):
#   VRC_artefacts/Release/VST3/VR-C.vst3/Contents/{x86,x86_64}-win/VR-C.vst3
# Installs the MinGW-w64 tools and wine (scripts/setup.sh --windows), builds
# static MinGW libpng and libjpeg from Debian's source packages once (kept in
# build-win/deps), then configures and builds. Extra arguments are passed to
# the build step (e.g. a --target list); by default the plug-in and the Windows
# test programs are built.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
src_dir=$PWD
x64=0
vst3=ON
while [ $# -gt 0 ]; do
    case "$1" in
        --x64) x64=1 ;;
        --no-vst3) vst3=OFF ;;
        *) break ;;
    esac
    shift
done
if [ "$x64" = 1 ]; then
    toolchain=$src_dir/cmake/windows/mingw-x86_64.cmake
else
    toolchain=$src_dir/cmake/windows/mingw-i686.cmake
fi
build_dir=$(vrc_windows_build_dir "$x64")
deps_dir=$build_dir/deps
prefix=$deps_dir/prefix
jobs=$(vrc_jobs)

scripts/setup.sh --windows

# --- libpng and libjpeg for MinGW -------------------------------------------
# Debian ships neither for MinGW. Their source packages, at the versions the
# Linux build uses where the mirror still has them, are fetched with apt-get
# through a private source list, so the machine's apt configuration is untouched.
# That list mirrors the machine's own apt configuration (whatever mirror or proxy
# it uses): every binary entry, one-line or deb822, becomes a source entry.
write_source_entries() {
    local apt_dir=$1 list parts f
    eval "$(apt-config shell list Dir::Etc::sourcelist/f parts Dir::Etc::sourceparts/d)"
    rm -rf "$apt_dir/sources.list.d"; mkdir -p "$apt_dir/sources.list.d"
    : >"$apt_dir/sources.list"
    for f in "$list" "$parts"*.list; do
        [ -f "$f" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$apt_dir/sources.list"
    done
    for f in "$parts"*.sources; do
        [ -f "$f" ] || continue
        sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt_dir/sources.list.d/$(basename "$f")"
    done
    if ! grep -qs . "$apt_dir/sources.list" "$apt_dir"/sources.list.d/*.sources; then
        echo "build-windows: apt has no package sources configured ($list, $parts)" >&2
        exit 1
    fi
}

build_codecs() {
    local apt_dir=$deps_dir/apt
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$deps_dir/src"
    write_source_entries "$apt_dir"
    local apt_opts=(
        -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
        -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
        -o APT::Sandbox::User=root -qq)
    apt-get "${apt_opts[@]}" update

    # $1 source package, $2 binary package whose installed version to match.
    fetch_source() {
        local wanted
        wanted=$(dpkg-query -W -f='${Version}' "$2:$(dpkg --print-architecture)" 2>/dev/null || true)
        rm -rf "$deps_dir/src/$1"; mkdir -p "$deps_dir/src/$1"
        if [ -n "$wanted" ] && (cd "$deps_dir/src/$1" && apt-get "${apt_opts[@]}" source "$1=$wanted" >/dev/null 2>&1); then
            :
        else
            echo "build-windows: $1 $wanted is not on the mirror; using bookworm's" >&2
            rm -rf "$deps_dir/src/$1"; mkdir -p "$deps_dir/src/$1"
            (cd "$deps_dir/src/$1" && apt-get "${apt_opts[@]}" source "$1/bookworm" >/dev/null)
        fi
        find "$deps_dir/src/$1" -maxdepth 1 -name '*.dsc' -printf '%f\n' >>"$prefix/versions.txt"
    }

    rm -rf "$prefix"; mkdir -p "$prefix/include" "$prefix/lib"
    fetch_source libpng1.6 libpng16-16
    fetch_source libjpeg-turbo libjpeg62-turbo

    local png_src jpeg_src
    png_src=$(find "$deps_dir/src/libpng1.6" -mindepth 1 -maxdepth 1 -type d)
    jpeg_src=$(find "$deps_dir/src/libjpeg-turbo" -mindepth 1 -maxdepth 1 -type d)
    local common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
                  -DCMAKE_INSTALL_PREFIX="$prefix" -Wno-dev)

    cmake -S "$png_src" -B "$deps_dir/build-png" "${common[@]}" \
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
        -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON >/dev/null
    cmake --build "$deps_dir/build-png" --parallel "$jobs" >/dev/null
    cmake --install "$deps_dir/build-png" >/dev/null

    # Only the library itself (no SIMD: that would need nasm, and the plug-in
    # decodes four small pictures once). The framework reads the library's
    # internal header too, so it goes next to jpeglib.h.
    cmake -S "$jpeg_src" -B "$deps_dir/build-jpeg" "${common[@]}" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF >/dev/null
    cmake --build "$deps_dir/build-jpeg" --parallel "$jobs" --target jpeg-static >/dev/null
    cp "$deps_dir/build-jpeg/libjpeg.a" "$prefix/lib/"
    cp "$deps_dir/build-jpeg/jconfig.h" "$jpeg_src"/{jpeglib.h,jmorecfg.h,jerror.h,jpegint.h} "$prefix/include/"
    # The library was compiled with "boolean" as unsigned char, as Windows
    # headers define it. The framework reads jpeglib.h inside a namespace of its
    # own after windows.h, so the typedef must not be skipped when windows.h
    # came first: it declares the same type again, inside that namespace.
    sed -i '/#ifndef __RPCNDR_H__/,/#endif/c\typedef unsigned char boolean;' "$prefix/include/jconfig.h"
    grep -qx 'typedef unsigned char boolean;' "$prefix/include/jconfig.h"

    touch "$prefix/.complete"
}

# --- GoogleTest for MinGW, from Debian's googletest sources --------------------
build_gtest() {
    cmake -S /usr/src/googletest -B "$deps_dir/build-gtest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF \
        -Dgtest_disable_pthreads=ON -Wno-dev >/dev/null
    cmake --build "$deps_dir/build-gtest" --parallel "$jobs" >/dev/null
    cmake --install "$deps_dir/build-gtest" >/dev/null
    touch "$prefix/.gtest-complete"
}

if [ ! -f "$prefix/.complete" ]; then
    echo "build-windows: building libpng and libjpeg for MinGW (once)" >&2
    build_codecs
fi
if [ ! -f "$prefix/.gtest-complete" ]; then
    echo "build-windows: building GoogleTest for MinGW (once)" >&2
    build_gtest
fi

# --- the plug-in --------------------------------------------------------------
# The top-level project, with a stand-in for Debian's JUCE configuration that
# accepts a 32-bit target. The tests are on: for Windows, tests/CMakeLists.txt
# takes only the test folders that build there (benchmarks stay off).
cmake -S "$src_dir" -B "$build_dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DVRC_MINGW_PREFIX="$prefix" \
    -DJUCE_DIR="$src_dir/cmake/windows" \
    -DCMAKE_BUILD_TYPE=Release \
    -DVRC_WINDOWS_VST3="$vst3" \
    -DVRC_BUILD_TESTS=ON -DVRC_BUILD_BENCH=OFF >/dev/null

targets=("$@")
if [ "${#targets[@]}" = 0 ]; then
    targets=(--target vrc_windows_all)
fi
cmake --build "$build_dir" --parallel "$jobs" "${targets[@]}"
echo "build-windows: $build_dir/VRC_artefacts/Release/VST/VR-C.dll" >&2
if [ "$vst3" = ON ]; then
    echo "build-windows: $build_dir/VRC_artefacts/Release/VST3/VR-C.vst3" >&2
fi
