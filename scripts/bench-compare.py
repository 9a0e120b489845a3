#!/usr/bin/env python3
"""Markdown table of the median x_memcpy of several Google Benchmark JSON
reports of the same benchmarks, one column a report (named after its file),
in the order given: for instance before.json sse2.json after.json."""
import json
import os
import sys


def medians(path):
    with open(path) as f:
        report = json.load(f)
    out = {}
    for b in report["benchmarks"]:
        if b.get("aggregate_name", "median") != "median" or "x_memcpy" not in b:
            continue
        name = b["run_name"].removesuffix("/manual_time").removesuffix("/real_time")
        out[name] = b
    return out


def main(paths):
    reports = [medians(p) for p in paths]
    names = [os.path.splitext(os.path.basename(p))[0] for p in paths]
    print("| benchmark | bytes | " + " | ".join(f"{n} x memcpy" for n in names) + " |")
    print("|---|---:|" + "---:|" * len(names))
    seen = []
    for report in reports:
        seen += [name for name in report if name not in seen]
    for name in seen:
        cells, size = [], 0
        for report in reports:
            b = report.get(name)
            cells.append(f"{b['x_memcpy']:.2f}" if b else "-")
            size = int(b["bytes"]) if b else size
        print(f"| {name.removeprefix('BM_')} | {size} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: bench-compare.py first.json second.json [more.json ...]")
    main(sys.argv[1:])
