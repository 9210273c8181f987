#!/usr/bin/env bash
# Puts the built plug-in, in every format that is built, where Linux hosts look
# for it (the formats not built are named; nothing built at all is an error):
#
#   scripts/install.sh                    VR-C.so into ~/.vst, VR-C.vst3 into ~/.vst3,
#                                         VR-C.lv2 into ~/.lv2, VR-C.clap into ~/.clap,
#                                         the VR-C application into ~/.local/bin
#   scripts/install.sh /some/folder       all of them into that folder (created if missing;
#                                         a relative name is taken from where you run it)
#   scripts/install.sh --uninstall [/some/folder]
#                                         removes what the same command without --uninstall installed
#
# The files are taken from build/ (set VRC_BUILD_DIR to use another build folder).
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."

uninstall=0
if [[ "${1:-}" == "--uninstall" ]]; then
    uninstall=1
    shift
fi

build_dir="${VRC_BUILD_DIR:-build}"
artefacts="$build_dir/VRC_artefacts/Release"
dest="${1:-}"
[[ -z "$dest" || "$dest" = /* ]] || dest="$caller/$dest"

# format | what is built | its folder when no destination is given
formats=(
    "VST2|$artefacts/VST/VR-C.so|$HOME/.vst"
    "VST3|$artefacts/VST3/VR-C.vst3|$HOME/.vst3"
    "LV2|$artefacts/LV2/VR-C.lv2|$HOME/.lv2"
    "CLAP|$artefacts/CLAP/VR-C.clap|$HOME/.clap"
    "Standalone|$artefacts/Standalone/VR-C|$HOME/.local/bin"
)

if [[ "$uninstall" == 1 ]]; then
    for entry in "${formats[@]}"; do
        IFS='|' read -r format built folder <<<"$entry"
        target="${dest:-$folder}/$(basename "$built")"
        if [[ -e "$target" ]]; then
            rm -rf -- "$target"
            echo "Removed $target"
        fi
    done
    exit 0
fi

installed=0
not_built=()
for entry in "${formats[@]}"; do
    IFS='|' read -r format built folder <<<"$entry"
    if [[ ! -e "$built" ]]; then
        not_built+=("$format")
        continue
    fi
    folder="${dest:-$folder}"
    name=$(basename "$built")
    if ! mkdir -p "$folder" 2>/dev/null; then
        echo "install.sh: cannot create the folder $folder (check its permissions)." >&2
        exit 1
    fi
    # A bundle is replaced whole, so no file of an older build stays behind.
    if ! { rm -rf -- "${folder:?}/$name" && cp -R -- "$built" "$folder/$name"; } 2>/dev/null; then
        echo "install.sh: cannot write $folder/$name (check the folder's permissions)." >&2
        exit 1
    fi
    echo "Installed $format: $folder/$name"
    installed=$((installed + 1))
done

# What is built is installed; what is not is named, with the command that builds it.
if [[ ${#not_built[@]} -gt 0 ]]; then
    [[ "$installed" == 0 ]] && echo "install.sh: nothing is built in $build_dir yet." >&2
    echo "Not built, so not installed: ${not_built[*]}. To build every format:" >&2
    echo "    cmake -S . -B $build_dir -G Ninja -DCMAKE_BUILD_TYPE=Release" >&2
    echo "    cmake --build $build_dir --target VRC_All" >&2
    [[ "$installed" == 0 ]] && exit 1
fi

if [[ -n "$dest" ]]; then
    echo "Hosts find plug-ins outside their usual folders through these variables (or add"
    echo "$dest to the plug-in folders in your host's preferences):"
    for var in VST_PATH VST3_PATH LV2_PATH CLAP_PATH; do
        echo "    export $var=\"$dest\${$var:+:\$$var}\""
    done
fi
echo "Let your host rescan its plug-ins; VR-C appears as an effect by veskara."
