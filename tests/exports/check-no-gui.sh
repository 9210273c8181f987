#!/bin/sh
# A program that needs no screen carries none of the framework's window code:
# no component, window or desktop symbol is linked into it.
#   check-no-gui.sh <program>...
set -eu
status=0
for program in "$@"; do
    found=$(nm -C "$program" | grep -E ' juce::(Component|ComponentPeer|Desktop|TopLevelWindow|LookAndFeel)::' | head -3 || true)
    if [ -n "$found" ]; then
        echo "FAIL: $program links the framework's GUI code, e.g.:"
        echo "$found"
        status=1
    else
        echo "ok: $program links no GUI code"
    fi
done
exit $status
