#!/bin/sh
# Usage: bare-x-server.sh COMMAND [ARG...]
# Runs COMMAND against a private X server that no other client has used: no
# window manager, no atoms interned beyond the server's own (render machines
# under Xvfb, kiosks). X errors are fatal in the test host there, as in a
# minimal host, so a plug-in that provokes one ends the command.
set -eu
fdfile=$(mktemp)
trap 'kill "$server" 2>/dev/null || true; rm -f "$fdfile"' EXIT
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$fdfile" 2>/dev/null &
server=$!
for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
done
display=$(head -n 1 "$fdfile")
[ -n "$display" ] || { echo "bare-x-server.sh: Xvfb did not start" >&2; exit 1; }
DISPLAY=":$display" VRC_TEST_FATAL_X_ERRORS=1 "$@"
