#!/usr/bin/env python3
"""Markdown table of the median x_memcpy of two Google Benchmark JSON reports
(before, after) of the same benchmarks."""
import json
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


def main(before_path, after_path):
    before, after = medians(before_path), medians(after_path)
    print("| benchmark | bytes | before x memcpy | after x memcpy |")
    print("|---|---:|---:|---:|")
    for name, b in after.items():
        old = before.get(name)
        was = f"{old['x_memcpy']:.2f}" if old else "-"
        print(f"| {name.removeprefix('BM_')} | {int(b['bytes'])} | {was} | {b['x_memcpy']:.2f} |")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
