#!/usr/bin/env bash
# Times vrc-render against plain tools on the same file, side by side in one run:
# a 10-minute stereo 24-bit 48 kHz WAV rendered to a WAV, copied by sox, and
# compressed by sox's compand (and ffmpeg's acompressor when ffmpeg is installed).
# Each figure is the median wall time of 5 runs; ratios are against sox's copy.
# Usage: scripts/render-speed.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
render="$build/bin/vrc-render"
[ -x "$render" ] || { echo "render-speed.sh: no $render (build the vrc-render target first)" >&2; exit 2; }
command -v sox > /dev/null || { echo "render-speed.sh: sox is needed (scripts/setup.sh --test)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Music-like material: noise under a tone, swelling and fading, so the compressor works.
sox -D -n -r 48000 -c 2 -b 24 "$work/in.wav" synth 600 pinknoise synth 600 sine mix 220 tremolo 0.3 60 gain -8

# median_of_5 NAME COMMAND...: prints the median wall time in seconds.
median_of_5() {
    local name=$1 times=() i start end
    shift
    for i in 1 2 3 4 5; do
        start=$(date +%s.%N)
        "$@" > /dev/null 2>&1 || { echo "render-speed.sh: $name failed" >&2; exit 1; }
        end=$(date +%s.%N)
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')")
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n 3p
}

copy=$(median_of_5 "sox copy" sox "$work/in.wav" "$work/copy.wav")
ours=$(median_of_5 vrc-render "$render" --quiet --overwrite "$work/in.wav" "$work/out.wav")
compand=$(median_of_5 "sox compand" sox "$work/in.wav" "$work/compand.wav" compand 0.05,0.1 6:-70,-60,-20 -5 -90 0.05)
ratio() { awk -v a="$1" -v b="$copy" 'BEGIN { printf "%.2fx", a / b }'; }
printf '%-22s %8s s  %s\n' "sox copy" "$copy" "1.00x"
printf '%-22s %8s s  %s\n' "vrc-render" "$ours" "$(ratio "$ours")"
printf '%-22s %8s s  %s\n' "sox compand" "$compand" "$(ratio "$compand")"
if command -v ffmpeg > /dev/null; then
    acompressor=$(median_of_5 "ffmpeg acompressor" ffmpeg -nostdin -y -loglevel error -i "$work/in.wav" -af acompressor -c:a pcm_s24le "$work/ffmpeg.wav")
    printf '%-22s %8s s  %s\n' "ffmpeg acompressor" "$acompressor" "$(ratio "$acompressor")"
else
    echo "ffmpeg acompressor      (ffmpeg is not installed)"
fi
