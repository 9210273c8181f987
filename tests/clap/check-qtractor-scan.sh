#!/bin/sh
# What a real CLAP host sees when it scans VR-C.clap: qtractor's scanner reads
# "CLAP:<file>" on its standard input and prints one line per plug-in,
#   CLAP|name|audio ins:outs|midi ins:outs|params ins:outs|flags|file|index|id
# Every plug-in must be listed with its name, ports, eight parameters, an editor
# (GUI), state (EXT) and realtime processing (RT):
#   check-qtractor-scan.sh <scanner> <VR-C.clap>
set -eu
scanner=$1
plugin=$2
lines=$(echo "CLAP:$plugin" | timeout 60 "$scanner" 2>/dev/null | cut -d'|' -f1-6,8)
echo "$lines"
expected="CLAP|VR-C|2:2|0:0|8:0|GUI,EXT,RT|0
CLAP|VR-C Mono|1:1|0:0|8:0|GUI,EXT,RT|1
CLAP|VR-C Sidechain|2:2|0:0|8:0|GUI,EXT,RT|2"
[ "$lines" = "$expected" ] || { echo "FAIL: expected"; echo "$expected"; exit 1; }
