"""Drives the preview's benchmark page in headless Chromium and the same
benchmark natively, and prints each figure with its ratio to native.

Usage: python3 tests/web/bench_preview.py BUILD_WEB SAMPLES [RUNS]
"""
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import chromium, static_server  # noqa: E402


def browser_figures(web, runs):
    with static_server(web) as url, chromium() as driver:
        driver.get(url + 'bench.html?runs=%d' % runs)
        end = time.time() + 300
        while time.time() < end:
            result = driver.execute_script('return window.benchResult')
            if result:
                return result
            time.sleep(0.2)
    raise SystemExit('the benchmark page gave no result')


def main():
    web, samples = sys.argv[1:3]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 300
    native = json.loads(subprocess.run(
        [os.path.join(web, 'bench_native'), samples, str(runs)], check=True,
        capture_output=True, text=True).stdout)
    page = browser_figures(web, runs)
    if page.get('error'):
        raise SystemExit('the benchmark page: ' + page['error'])
    print('%-10s %12s %12s %8s' % ('size', 'wasm ms', 'native ms', 'ratio'))
    for size in ('640x480', '1024x768'):
        print('%-10s %12.3f %12.3f %8.2f' % (size, page[size], native[size],
                                             page[size] / native[size]))


if __name__ == '__main__':
    main()
