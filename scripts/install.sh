#!/usr/bin/env bash
# Puts the built VR-C.so where Linux VST2 hosts look for plug-ins.
#
#   scripts/install.sh                 installs into ~/.vst
#   scripts/install.sh /some/folder    installs into that folder (created if missing;
#                                      a relative name is taken from where you run it)
#
# The library is taken from build/ (set VRC_BUILD_DIR to use another build folder).
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."

build_dir="${VRC_BUILD_DIR:-build}"
plugin="$build_dir/VRC_artefacts/Release/VST/VR-C.so"
dest="${1:-$HOME/.vst}"
[[ "$dest" = /* ]] || dest="$caller/$dest"

if [[ ! -f "$plugin" ]]; then
    echo "install.sh: $plugin does not exist yet." >&2
    echo "Build the plug-in first:" >&2
    echo "    cmake -S . -B $build_dir -G Ninja -DCMAKE_BUILD_TYPE=Release" >&2
    echo "    cmake --build $build_dir --target VRC_VST" >&2
    exit 1
fi

if ! mkdir -p "$dest" 2>/dev/null; then
    echo "install.sh: cannot create the folder $dest (check its permissions)." >&2
    exit 1
fi
if ! install -m 0644 "$plugin" "$dest/VR-C.so" 2>/dev/null; then
    echo "install.sh: cannot write $dest/VR-C.so (check the folder's permissions)." >&2
    exit 1
fi

echo "Installed VR-C.so into $dest"
case ":${VST_PATH:-}:" in
    *":$dest:"*) ;;
    *)
        if [[ "$dest" != "$HOME/.vst" ]]; then
            echo "Hosts that read VST_PATH find it with:  export VST_PATH=\"$dest\${VST_PATH:+:\$VST_PATH}\""
            echo "Otherwise add $dest to the plug-in folders in your host's preferences."
        fi
        ;;
esac
echo "Let your host rescan its plug-ins; VR-C appears as an effect by veskara."
