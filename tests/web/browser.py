"""A local static server for build-web/ and a headless Chromium driven through
chromedriver, for the preview's browser tests and its benchmark."""
import contextlib
import functools
import http.server
import shutil
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

CHROME_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
                '--no-first-run', '--disable-background-networking',
                '--disable-component-update', '--disable-sync',
                '--disable-dev-shm-usage', '--window-size=1400,1000']


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.js': 'text/javascript',
                      '.data': 'application/octet-stream'}

    def log_message(self, *args):
        pass


@contextlib.contextmanager
def static_server(directory):
    """Serves directory on 127.0.0.1 (a free port) until the block ends."""
    handler = functools.partial(QuietHandler, directory=str(directory))
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        yield 'http://127.0.0.1:%d/' % server.server_address[1]
    finally:
        server.shutdown()
        server.server_close()
        thread.join()


@contextlib.contextmanager
def chromium():
    """A headless Chromium with a fresh profile, closed when the block ends."""
    profile = tempfile.mkdtemp(prefix='pp-chromium-')
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for flag in CHROME_FLAGS + ['--user-data-dir=' + profile]:
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    try:
        yield driver
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)
