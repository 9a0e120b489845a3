"""scripts/bench-rounds.py against stand-in benchmark executables: the table
from alternating rounds, and the refusals."""
import json
import os
import pathlib
import stat
import subprocess
import sys
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "bench-rounds.py"

# Writes one median aggregate per benchmark the filter matches; its ratio is
# the first argument baked in, plus the count of its earlier runs, so the
# rounds differ.
FAKE = """#!{python}
import json, pathlib, re, sys
args = dict(a.split("=", 1) for a in sys.argv[1:] if a.startswith("--"))
counter = pathlib.Path(__file__).with_suffix(".runs")
runs = int(counter.read_text()) if counter.exists() else 0
counter.write_text(str(runs + 1))
names = [n for n in ("BM_Fill/w:8/manual_time", "BM_Copy/w:8") if re.search(args["--benchmark_filter"], n)]
rows = [dict(run_name=n, aggregate_name="median", x_memcpy={ratio} + runs) for n in names]
if rows:
    pathlib.Path(args["--benchmark_out"]).write_text(json.dumps(dict(benchmarks=rows)))
"""


def fake(directory, name, ratio):
    path = pathlib.Path(directory) / name
    path.write_text(FAKE.format(python=sys.executable, ratio=ratio))
    path.chmod(path.stat().st_mode | stat.S_IXUSR)
    return path


def run(*args):
    return subprocess.run([sys.executable, str(SCRIPT), *map(str, args)], capture_output=True,
                          text=True)


class BenchRounds(unittest.TestCase):
    def test_medians_fastest_and_ratio_over_the_rounds(self):
        with tempfile.TemporaryDirectory() as d:
            before, after = fake(d, "before", 4.0), fake(d, "after", 2.0)
            result = run(before, after, "--rounds", 3)
            self.assertEqual(result.returncode, 0, result.stderr)
            # Rounds read 4, 5, 6 and 2, 3, 4.
            self.assertIn("| Fill/w:8 | 5.00 / 4.00 | 3.00 / 2.00 | 0.60 |", result.stdout)
            self.assertIn("| Copy/w:8 | 5.00 / 4.00 | 3.00 / 2.00 | 0.60 |", result.stdout)

    def test_refusals(self):
        with tempfile.TemporaryDirectory() as d:
            good = fake(d, "good", 1.0)
            cases = [((pathlib.Path(d) / "missing", good), "no benchmark executable"),
                     ((good, good, "--rounds", 0), "--rounds must be at least 1"),
                     ((good, good, "--filter", "Nothing"), "no benchmark matches")]
            for args, message in cases:
                result = run(*args)
                self.assertEqual(result.returncode, 1, args)
                self.assertIn(message, result.stderr, args)


if __name__ == "__main__":
    unittest.main()
