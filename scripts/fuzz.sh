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

# Seed with the golden chunks; findings and the grown corpus stay in the build tree.
corpus=build-fuzz/corpus
mkdir -p "$corpus" build-fuzz/findings
cp tests/data/*.vstchunk "$corpus"/
export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
log=build-fuzz/fuzz.log
if ! build-fuzz/tests/fuzz/vrc_state_fuzzer -max_total_time="$seconds" -max_len=4096 \
        -artifact_prefix=build-fuzz/findings/ -print_final_stats=1 "$corpus" > "$log" 2>&1; then
    tail -n 80 "$log"
    echo "fuzz.sh: the fuzzer found a problem; the input is in build-fuzz/findings/" >&2
    exit 1
fi
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$log"
