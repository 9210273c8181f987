#!/usr/bin/env python3
"""Table of vrc_bench results: ns per frame and the ratio to the envelope floor
of the same channel count and block size, for this engine and, where present,
the reference engine. Reads the JSON of
    vrc_bench --benchmark_format=json --benchmark_repetitions=N --benchmark_report_aggregates_only=true
(medians are used when repetitions were asked for)."""
import json
import sys

runs = json.load(open(sys.argv[1]) if len(sys.argv) > 1 else sys.stdin)["benchmarks"]
ns = {}
for r in runs:
    if r.get("run_type") == "aggregate" and r.get("aggregate_name") != "median":
        continue
    if "ns_per_frame" not in r:
        continue  # the meter's cases count values, not frames
    ns[r.get("run_name", r["name"])] = r["ns_per_frame"] * 1e9 if r["ns_per_frame"] < 1e-3 else r["ns_per_frame"]

def figure(kind, case, shape):
    return ns.get(f"{kind}/{case}/{shape}")

print("| case | channels/block | floor ns | reference ns | ratio | engine ns | ratio | 32 vs 512 |")
print("|---|---|---|---|---|---|---|---|")
for shape in ("stereo/512", "mono/512", "stereo/32", "mono/32"):
    floor = ns.get(f"floor/{shape}")
    for case in ("curve0/music", "curve0/knee", "curve0/silence", "curve1/music", "curve1/knee", "curve1/silence",
                 "curve1hard/music", "curve1hard/knee", "curve1hard/silence"):
        ref, eng = figure("reference", case, shape), figure("engine", case, shape)
        big = figure("engine", case, shape.replace("/32", "/512"))
        fmt = lambda v: f"{v:.2f}" if v is not None else "-"
        ratio = lambda v: f"{v / floor:.2f}" if v is not None and floor else "-"
        scale = f"{eng / big:.2f}" if shape.endswith("/32") and eng and big else ""
        print(f"| {case} | {shape} | {fmt(floor)} | {fmt(ref)} | {ratio(ref)} | {fmt(eng)} | {ratio(eng)} | {scale} |")
