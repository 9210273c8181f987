#!/bin/sh
# A plug-in binary's dynamic symbol table holds exactly the names its host
# looks up, so no other code in it can be bound to by a host or by another
# plug-in built with the same framework:
#   check-exports.sh <binary> <name>...
set -eu
binary=$1
shift
exported=$(nm -D --defined-only "$binary" | awk 'NF >= 3 { print $NF }' | sort | tr '\n' ' ')
wanted=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
echo "exports: $exported"
[ "$exported" = "$wanted" ] || { echo "FAIL: the exports must be exactly: $wanted"; exit 1; }
