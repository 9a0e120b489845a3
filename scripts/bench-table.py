#!/usr/bin/env python3
"""Median x_memcpy of every benchmark in a Google Benchmark JSON report."""
import json
import sys


def main(path):
    with open(path) as f:
        report = json.load(f)
    rows = []
    for b in report["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].removesuffix("/manual_time").removesuffix("/real_time")
        ratio = b.get("x_memcpy")
        micros = b["real_time"] if b.get("time_unit") == "us" else b["real_time"] / 1000
        rows.append((name, micros, ratio, b.get("bytes")))
    print(f"{'benchmark':58} {'time us':>10} {'x memcpy':>9} {'bytes':>9}")
    for name, micros, ratio, size in rows:
        r = f"{ratio:9.2f}" if ratio is not None else f"{'-':>9}"
        s = f"{int(size):9d}" if size is not None else f"{'-':>9}"
        print(f"{name:58} {micros:10.1f} {r} {s}")


if __name__ == "__main__":
    main(sys.argv[1])
