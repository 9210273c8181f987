#!/usr/bin/env bash
# Installs the Debian packages VR-C needs. Safe to run again: it installs only
# what is missing and stays quiet otherwise.
# Usage: scripts/setup.sh [--test] [--windows] [--ardour]
#   (no option)  what building the plug-in and vrc-render needs (scripts/demo.sh)
#   --test       adds the test toolchain: GoogleTest, Google Benchmark, clang for
#                the sanitizer and fuzzing builds, valgrind, Xvfb, a German locale
#   --windows    adds the 32- and 64-bit MinGW cross tools and wine
#   --ardour     adds the Ardour 7 host for scripts/test-ardour.sh
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  juce-modules-source juce-tools fst-dev
  libasound2-dev libjack-jackd2-dev libfreetype-dev libfontconfig1-dev libx11-dev libxcomposite-dev
  libxcursor-dev libxext-dev libxinerama-dev libxrandr-dev libxrender-dev libgl-dev
  libcurl4-openssl-dev libwebkit2gtk-4.0-dev libgtk-3-dev
  libflac-dev libvorbis-dev libogg-dev libpng-dev libjpeg-dev zlib1g-dev
  libsndfile1-dev   # vrc-render reads and writes audio files through libsndfile
  fonts-dejavu-core
  lv2-dev   # the LV2 plug-in's headers, and lv2_validate
)
test_packages=(
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-utils
  libjpeg-turbo-progs
  valgrind locales
  jackd2 libjack-jackd2-dev   # the Standalone program's live-audio test runs a private JACK server
  liblilv-dev lilv-utils sordi   # the LV2 bundle hosted by lilv, described by lv2info, checked by lv2_validate
  libxtst-dev   # the LV2 UI test drags a knob with the X server's test extension
  qtractor   # a real CLAP host: its plug-in scanner reads VR-C.clap in the CLAP test
  sox flac vorbis-tools opus-tools lame sndfile-programs   # vrc-render's tests make their input files with these
  ffmpeg   # scripts/render-speed.sh times vrc-render beside ffmpeg's acompressor
)

want_windows=0
want_test=0
want_ardour=0
for arg in "$@"; do
  case "$arg" in
    --windows) want_windows=1 ;;
    --test) want_test=1 ;;
    --ardour) want_ardour=1 ;;
    *) echo "setup.sh: unknown option '$arg' (known: --test, --windows, --ardour)" >&2; exit 2 ;;
  esac
done

if [ "$want_test" = 1 ]; then
  packages+=("${test_packages[@]}")
fi

if [ "$want_windows" = 1 ]; then
  # (the Windows test programs build GoogleTest from Debian's sources, and run under Xvfb)
  packages+=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev binutils-mingw-w64-i686 dpkg-dev imagemagick
             googletest xvfb xauth)
fi

if [ "$want_windows" = 1 ]; then
  # the 64-bit cross tools and wine64, for the x64 VR-C.dll
  packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
             wine64 libgl1-mesa-dri)
fi

if [ "$want_ardour" = 1 ]; then
  packages+=(ardour python3)
fi

sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "$want_windows" = 1 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
    need_update=1
  fi
  # (the i386 GL libraries: without them wine has no DXGI adapter and the
  # framework's editor crashes on opening)
  for p in wine wine32:i386 libgl1:i386 libgl1-mesa-dri:i386; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
fi

if [ "${#missing[@]}" -gt 0 ] || [ "${need_update:-0}" = 1 ]; then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Tests check that saved settings do not depend on a decimal-comma locale.
if [ "$want_test" = 1 ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
