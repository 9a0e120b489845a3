#!/usr/bin/env python3
"""Two builds' benchmarks in alternating rounds.

Usage: scripts/bench-rounds.py BEFORE AFTER [--filter REGEX] [--rounds N]

BEFORE and AFTER are pp_bench executables (or build directories holding
bench/pp_bench), for instance another checkout's build-bench and this one's.
Each round runs BEFORE and then AFTER, each with three repetitions, so both
see the same neighbours on a shared machine; a single run can move by a third
there, and only rounds run in turn like this are worth comparing. Prints, per
benchmark, the median over the rounds of each round's median x memcpy, the
fastest round after a slash, and after / before of the medians.
"""
import argparse
import json
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile


def executable(path):
    path = pathlib.Path(path).resolve()
    if path.is_dir():
        path = path / "bench" / "pp_bench"
    if not os.access(path, os.X_OK) or path.is_dir():
        sys.exit(f"bench-rounds: no benchmark executable at {path}")
    return path


def one_round(binary, regex, out):
    """The median x_memcpy of every benchmark matching regex, one run."""
    command = [str(binary), f"--benchmark_filter={regex}", "--benchmark_repetitions=3",
               "--benchmark_report_aggregates_only=true", "--benchmark_min_time=0.2",
               f"--benchmark_out={out}", "--benchmark_out_format=json"]
    run = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if run.returncode != 0:
        sys.exit(f"bench-rounds: {binary} failed ({run.returncode}): {run.stderr.strip()}")
    # No benchmark matched: the report is left empty.
    if not out.exists() or out.stat().st_size == 0:
        return {}
    with open(out) as f:
        report = json.load(f)
    medians = {}
    for b in report["benchmarks"]:
        if b.get("aggregate_name") == "median" and "x_memcpy" in b:
            name = b["run_name"].removesuffix("/manual_time").removesuffix("/real_time")
            medians[name.removeprefix("BM_")] = b["x_memcpy"]
    return medians


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--filter", default=".", help="benchmark names, a regular expression")
    parser.add_argument("--rounds", type=int, default=4)
    args = parser.parse_args()
    if args.rounds < 1:
        sys.exit("bench-rounds: --rounds must be at least 1")
    builds = {"before": executable(args.before), "after": executable(args.after)}
    figures = {label: {} for label in builds}
    with tempfile.TemporaryDirectory() as scratch:
        for r in range(args.rounds):
            for label, binary in builds.items():
                out = pathlib.Path(scratch) / f"{label}-{r}.json"
                for name, ratio in one_round(binary, args.filter, out).items():
                    figures[label].setdefault(name, []).append(ratio)
            print(f"round {r + 1} of {args.rounds} done", file=sys.stderr)
    if not figures["after"]:
        sys.exit(f"bench-rounds: no benchmark matches {args.filter!r}")
    print("| benchmark | before, median / fastest | after, median / fastest | after / before |")
    print("|---|---:|---:|---:|")
    for name, after in figures["after"].items():
        before = figures["before"].get(name)
        cell = lambda v: f"{statistics.median(v):.2f} / {min(v):.2f}" if v else "-"
        ratio = (f"{statistics.median(after) / statistics.median(before):.2f}"
                 if before else "-")
        print(f"| {name} | {cell(before)} | {cell(after)} | {ratio} |")


if __name__ == "__main__":
    main()
