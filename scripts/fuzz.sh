#!/usr/bin/env bash
# Fuzzes the settings restore with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer. Usage: scripts/fuzz.sh [seconds]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
case "$seconds" in ''|*[!0-9]*) echo "fuzz.sh: seconds must be a whole number, got '$seconds'" >&2; exit 2 ;; esac

mkdir -p build-fuzz
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVRC_SANITIZE=ON -DVRC_FUZZ=ON -DVRC_BUILD_BENCH=OFF > build-fuzz/configure.log 2>&1 \
    || { cat build-fuzz/configure.log; exit 1; }
cmake --build build-fuzz --target vrc_state_fuzzer --parallel "$(nproc)"

# Seed with the golden chunks, the kept findings and the committed corpus; the
# grown corpus and new findings stay in the build tree.
corpus=build-fuzz/corpus
mkdir -p "$corpus" build-fuzz/findings
for seeds in tests/data/*.vstchunk tests/data/findings/* tests/data/settings-corpus/*; do if [ -f "$seeds" ]; then cp -f "$seeds" "$corpus"/; fi; done
export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
log=build-fuzz/fuzz.log
# -timeout makes an input that runs for more than 5 s a finding (a hang is
# reported within seconds, with its input), -rss_limit_mb one that needs more than
# 2 GB; the outer timeout ends the step even if the fuzzer itself stalls.
status=0
timeout --signal=KILL "$((seconds + 120))" \
    build-fuzz/tests/fuzz/vrc_state_fuzzer -max_total_time="$seconds" -max_len=4096 \
        -timeout=5 -rss_limit_mb=2048 \
        -artifact_prefix=build-fuzz/findings/ -print_final_stats=1 "$corpus" > "$log" 2>&1 || status=$?
if [ "$status" != 0 ]; then
    tail -n 80 "$log"
    if [ "$status" = 137 ]; then
        echo "fuzz.sh: the fuzzer ran past its budget and was stopped" >&2
    else
        echo "fuzz.sh: the fuzzer found a problem; the input is in build-fuzz/findings/" >&2
        echo "fuzz.sh: once fixed, keep it as tests/data/findings/<name>.vstchunk (ctest replays it)" >&2
    fi
    exit 1
fi
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log"
