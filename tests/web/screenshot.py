"""Takes the README's screenshot of the preview with the sample.

Usage: python3 tests/web/screenshot.py BUILD_WEB OUT.png
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import chromium, static_server  # noqa: E402

QUERY = 'codes=500&badge=1&bg=224&F0=4&F1=2&F2=2&P0=1&P1=1&P2=1&M0=1'

with static_server(sys.argv[1]) as url, chromium() as driver:
    driver.set_window_size(1400, 900)
    driver.get(url + 'index.html?' + QUERY)
    end = time.time() + 30
    while not driver.execute_script('return window.ppPreview && window.ppPreview.paints > 0'):
        if time.time() > end:
            raise SystemExit('the page did not paint')
        time.sleep(0.1)
    driver.save_screenshot(sys.argv[2])
