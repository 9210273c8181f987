# Shared by the project's scripts (source it; it sets nothing else):
#   vrc_jobs       how many build and test jobs: VRC_JOBS when set, else the machine's cores
#   vrc_xvfb CMD   runs CMD with a private X server, as the editor tests need
#   vrc_xvfb_args  that server's arguments, for a script that starts it itself

vrc_jobs() { echo "${VRC_JOBS:-$(nproc)}"; }

# 24-bit and larger than any window the tests open. -noreset: by default the
# server resets whenever its last client leaves, and a client connecting during
# the reset loses its connection (SIGPIPE), which tests run in parallel hit.
vrc_xvfb_args="-screen 0 1280x1024x24 -noreset"
vrc_xvfb() { xvfb-run -a -s "$vrc_xvfb_args" "$@"; }

# The Windows cross build's tree for 32-bit (0) or 64-bit (1): VRC_WINDOWS_BUILD_DIR
# when set, else build-win or build-win64 in the source tree (the current folder).
vrc_windows_build_dir() {
    if [ "$1" = 1 ]; then echo "${VRC_WINDOWS_BUILD_DIR:-$PWD/build-win64}"; else echo "${VRC_WINDOWS_BUILD_DIR:-$PWD/build-win}"; fi
}

# vrc_clang_tree DIR CMAKE-OPTION...: configures DIR as a clang build of the
# project and its tests (RelWithDebInfo, ccache when installed) with the given
# options, as the sanitizer and fuzzing runs use it; the configure log is shown
# only when configuring fails. Safe to run again on an existing tree.
vrc_clang_tree() {
    local dir=$1 launcher=()
    shift
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    mkdir -p "$dir"
    CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVRC_BUILD_TESTS=ON -DVRC_BUILD_BENCH=OFF "${launcher[@]}" "$@" > "$dir/configure.log" 2>&1 \
        || { cat "$dir/configure.log"; return 1; }
}
# The fuzzing tree: AddressSanitizer and UndefinedBehaviorSanitizer with libFuzzer.
vrc_fuzz_tree() { vrc_clang_tree build-fuzz -DVRC_SANITIZE=ON -DVRC_FUZZ=ON; }
