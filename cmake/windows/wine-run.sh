#!/usr/bin/env bash
# Runs a Windows program under wine in the build tree's own prefix:
#   wine-run.sh --prefix <dir> [--arch win32|win64] program.exe [args...]
# (a prefix is made for one word size: win32, the default, or win64)
# ctest and GoogleTest discovery use it as the cross-compiling emulator.
# - WINEDEBUG=-all keeps wine's own diagnostics out of the test output.
# - mscoree/mshtml are disabled so creating the prefix never asks to install
#   Mono or Gecko; winedbg is disabled so a crash ends the run instead of
#   waiting in the debugger.
# - A wineserver started without DISPLAY cannot open windows later, even for
#   clients that have one: the server is restarted whenever the display changes.
set -euo pipefail

if [ "${1:-}" != "--prefix" ] || [ $# -lt 3 ]; then
    echo "usage: wine-run.sh --prefix <dir> [--arch win32|win64] program.exe [args...]" >&2
    exit 2
fi
export WINEPREFIX=$2
shift 2
export WINEARCH=win32
if [ "${1:-}" = "--arch" ] && [ $# -ge 3 ]; then
    WINEARCH=$2
    shift 2
fi

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

# Runs start in parallel (the build discovers several test programs' tests at
# once): the prefix is made, and the server restarted, by one run at a time. Two
# runs creating the same fresh prefix together break it ("could not load
# kernel32.dll") for good.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
display_stamp=$WINEPREFIX.display
current_display=${DISPLAY:-none}
if [ -d "$WINEPREFIX" ] && [ "$(cat "$display_stamp" 2>/dev/null || true)" != "$current_display" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
fi
if [ ! -d "$WINEPREFIX" ]; then
    wineboot --init >/dev/null 2>&1
    wineserver -w
fi
echo "$current_display" >"$display_stamp"
flock -u 9
exec 9>&-

exec wine "$@"
