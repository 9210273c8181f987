#!/usr/bin/env bash
# Fuzzes every reader of hostile bytes with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer: the settings restore (chunks from a host's session),
# the state readers in front of the LV2, VST3 and CLAP layers, and vrc-render's audio
# input readers.
# Usage: scripts/fuzz.sh [seconds]   (each target runs that long; default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
seconds=${1:-60}
case "$seconds" in ''|*[!0-9]*) echo "fuzz.sh: seconds must be a whole number, got '$seconds'" >&2; exit 2 ;; esac

vrc_fuzz_tree
cmake --build build-fuzz --target vrc_state_fuzzer vrc_lv2_state_fuzzer vrc_vst3_state_fuzzer \
    vrc_clap_state_fuzzer vrc_audio_input_fuzzer --parallel "$(vrc_jobs)"
# They are built on the processor core and the readers alone: no window code.
ctest --test-dir build-fuzz -R '^vrc_fuzzers_link_no_gui$' --output-on-failure

export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# run_fuzzer NAME MAX_LEN SEED... : the grown corpus and new findings stay in the
# build tree. -timeout makes an input that runs for more than 5 s a finding (a
# hang is reported within seconds, with its input), -rss_limit_mb one that needs
# more than 2 GB; the outer timeout ends the step even if the fuzzer itself stalls.
run_fuzzer() {
    local name=$1 max_len=$2 corpus=build-fuzz/corpus-$1 log=build-fuzz/$1.log status=0 seed
    shift 2
    mkdir -p "$corpus" build-fuzz/findings
    for seed in "$@"; do if [ -f "$seed" ]; then cp -f "$seed" "$corpus"/; fi; done
    timeout --signal=KILL "$((seconds + 120))" \
        "build-fuzz/tests/fuzz/$name" -max_total_time="$seconds" -max_len="$max_len" \
            -timeout=5 -rss_limit_mb=2048 \
            -artifact_prefix=build-fuzz/findings/ -print_final_stats=1 "$corpus" > "$log" 2>&1 || status=$?
    if [ "$status" != 0 ]; then
        tail -n 80 "$log"
        if [ "$status" = 137 ]; then
            echo "fuzz.sh: $name ran past its budget and was stopped" >&2
        else
            echo "fuzz.sh: $name found a problem; the input is in build-fuzz/findings/" >&2
            echo "fuzz.sh: once fixed, keep it under tests/data/ where ctest replays it: findings/ for chunks," \
                 "state-findings/lv2-*, vst3-* or clap-* for format states, render/ for audio" >&2
        fi
        exit 1
    fi
    echo "$name:"
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log"
}

# Seeds: the golden chunks, the kept findings and the committed corpus; small
# files of each audio format.
run_fuzzer vrc_state_fuzzer 4096 tests/data/*.vstchunk tests/data/findings/* tests/data/settings-corpus/*
# A host's LV2 state text and VST3 state bytes: those the current build saves
# and the kept findings.
run_fuzzer vrc_lv2_state_fuzzer 4096 tests/data/formats/*.lv2state tests/data/state-findings/lv2-*
run_fuzzer vrc_vst3_state_fuzzer 4096 tests/data/formats/*.vst3state tests/data/state-findings/vst3-*
run_fuzzer vrc_clap_state_fuzzer 4096 tests/data/*.vstchunk tests/data/state-findings/clap-*
run_fuzzer vrc_audio_input_fuzzer 16384 tests/data/render/*
