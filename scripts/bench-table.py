#!/usr/bin/env python3
"""Median x_memcpy (and stage shares) of every benchmark in a Google
Benchmark JSON report written with --benchmark_repetitions."""
import json
import sys

SHARES = ["share_select", "share_layout", "share_compose", "share_pieces", "share_effects",
          "share_shrink", "share_fill", "share_stretch", "share_output", "share_rest"]


def main(path):
    with open(path) as f:
        report = json.load(f)
    print(f"{'benchmark':58} {'time us':>10} {'x memcpy':>9} {'bytes':>9}")
    for b in report["benchmarks"]:
        if b.get("aggregate_name", "median") != "median":
            continue
        name = b["run_name"].removesuffix("/manual_time").removesuffix("/real_time")
        scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}.get(b.get("time_unit", "ns"), 1.0)
        micros = b["real_time"] * scale
        ratio = b.get("x_memcpy")
        size = b.get("bytes")
        r = f"{ratio:9.2f}" if ratio is not None else f"{'-':>9}"
        s = f"{int(size):9d}" if size is not None else f"{'-':>9}"
        line = f"{name:58} {micros:10.1f} {r} {s}"
        shares = [f"{k[6:]} {100 * b[k]:.1f}%" for k in SHARES if k in b]
        if "faults" in b:
            shares.append(f"faults {b['faults']:.0f}")
        if shares:
            line += "  (" + ", ".join(shares) + ")"
        print(line)


if __name__ == "__main__":
    main(sys.argv[1])
