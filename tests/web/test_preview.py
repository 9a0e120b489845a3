"""The live preview in headless Chromium: pictures painted on the page, read
back from its canvas, must be the native tool's PNG of the same
configuration byte for byte, and so must the PNG the page saves; refused
modules must leave a message and the previous picture.

Usage: python3 tests/web/test_preview.py BUILD_WEB TOOL SAMPLES
"""
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from PIL import Image
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import chromium, static_server  # noqa: E402

WEB, TOOL, SAMPLES = (os.path.abspath(p) for p in sys.argv[1:4])

CANVAS_BYTES = """
const c = document.getElementById('picture');
const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
let s = '';
for (let i = 0; i < d.length; i += 0x8000) s += String.fromCharCode(...d.subarray(i, i + 0x8000));
return [c.width, c.height, btoa(s)];
"""

# What "Save PNG" writes: the canvas encoded by the browser.
SAVED_PNG = """
const done = arguments[arguments.length - 1];
document.getElementById('picture').toBlob(async (blob) => {
  const d = new Uint8Array(await blob.arrayBuffer());
  let s = '';
  for (let i = 0; i < d.length; i += 0x8000) s += String.fromCharCode(...d.subarray(i, i + 0x8000));
  done(btoa(s));
}, 'image/png');
"""

# name, query string, actions on the controls, the tool's arguments.
# Actions: ('click', id) clicks a checkbox; ('select', id, value) picks an
# option; ('range', id, value) moves a slider.
CASES = [
    ('default sample', '', [], ['--codes', '500']),
    ('badge with the mail frame', '', [('click', 'badge'), ('select', 'field-M0', '1')],
     ['--codes', '500', '--badge', '--options', {'M0': 1}]),
    ('fitted shrink', 'w=260&h=190', [], ['--dest', '0,0,260,190', '--codes', '500']),
    ('zoomed enlargement', '', [('select', 'level', '1'), ('range', 'zoom', '250')],
     ['--level', '1', '--zoom', '250', '--codes', '500']),
    ('everything at night, darker', 'bg=40', [('select', 'field-F0', '4'),
                                               ('select', 'field-P0', '1'),
                                               ('select', 'field-flag800', '1'),
                                               ('range', 'brightness', '-30')],
     ['--background', '40', '--brightness', '-30', '--codes', '500',
      '--options', {'F0': 4, 'P0': 1, 'flag800': 1}]),
    ('16-colour catalogue', '', [('select', 'sample', 'house16')],
     ['--codes', '500'], 'house16'),
    ('16-colour device', '', [('select', 'device', 'color16')],
     ['--device', 'color16', '--codes', '500']),
    ('256-colour device, shared link', 'device=palette256&codes=500&F1=2&badge=1', [],
     ['--device', 'palette256', '--codes', '500', '--badge', '--options', {'F1': 2}]),
]


class Preview(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix='pp-web-test-')
        cls.stack = []
        server = static_server(WEB)
        cls.url = server.__enter__()
        cls.stack.append(server)
        browser = chromium()
        cls.driver = browser.__enter__()
        cls.stack.append(browser)

    @classmethod
    def tearDownClass(cls):
        for context in reversed(cls.stack):
            context.__exit__(None, None, None)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def open_page(self, query):
        self.driver.get(self.url + 'index.html' + ('?' + query if query else ''))
        self.wait_for(lambda: self.driver.execute_script(
            'return window.ppPreview && window.ppPreview.paints > 0'))

    def wait_for(self, condition, seconds=30):
        end = time.time() + seconds
        while time.time() < end:
            value = condition()
            if value:
                return value
            time.sleep(0.05)
        self.fail('the page did not get there in %d s' % seconds)

    def paints(self):
        return self.driver.execute_script('return window.ppPreview.paints')

    def act(self, action):
        before = self.paints()
        element = self.driver.find_element(By.ID, action[1])
        if action[0] == 'click':
            element.click()
        elif action[0] == 'select':
            Select(element).select_by_value(action[2])
        else:  # a slider: set it as dragging would, then let the page see it
            self.driver.execute_script(
                "arguments[0].value = arguments[1];"
                "arguments[0].dispatchEvent(new Event('input', {bubbles: true}));",
                element, action[2])
        self.wait_for(lambda: self.paints() > before)

    def canvas(self):
        width, height, data = self.driver.execute_script(CANVAS_BYTES)
        return width, height, base64.b64decode(data)

    def native(self, name, args, catalogue):
        command = [TOOL, 'render', '--module', os.path.join(SAMPLES, catalogue),
                   '--aux', os.path.join(SAMPLES, catalogue + '-aux')]
        for arg in args:
            if isinstance(arg, dict):
                path = os.path.join(self.tmp, name.replace(' ', '-') + '.json')
                with open(path, 'w') as f:
                    json.dump(arg, f)
                arg = path
            command.append(arg)
        png = os.path.join(self.tmp, name.replace(' ', '-') + '.png')
        subprocess.run(command + ['-o', png], check=True, stdout=subprocess.DEVNULL)
        with Image.open(png) as image:
            return image.width, image.height, image.convert('RGBA').tobytes()

    def test_pictures_match_the_native_tool(self):
        for case in CASES:
            name, query, actions, args = case[:4]
            catalogue = case[4] if len(case) > 4 else 'house'
            with self.subTest(name):
                self.open_page(query)
                for action in actions:
                    self.act(action)
                result = self.driver.execute_script('return window.ppPreview.lastResult')
                self.assertEqual(result.get('result'), 0, result)
                width, height, page = self.canvas()
                n_width, n_height, native = self.native(name, args, catalogue)
                self.assertEqual((width, height), (n_width, n_height))
                self.assertTrue(page == native, '%s: the canvas differs from the tool\'s PNG in '
                                '%d bytes' % (name, sum(a != b for a, b in zip(page, native))))
                saved = os.path.join(self.tmp, 'saved.png')
                with open(saved, 'wb') as f:
                    f.write(base64.b64decode(self.driver.execute_async_script(SAVED_PNG)))
                with Image.open(saved) as image:
                    self.assertTrue(image.convert('RGBA').tobytes() == native, name + ': saved')
                # The link of the configuration paints the same picture.
                if actions:
                    self.open_page(self.driver.execute_script(
                        'return location.search.slice(1)'))
                    self.assertTrue(self.canvas()[2] == native, name + ': shared link')

    def bad_inputs(self):
        not_module = os.path.join(self.tmp, 'notes.dll')
        with open(not_module, 'w') as f:
            f.write('not a module at all\n' * 40)
        truncated = os.path.join(self.tmp, 'truncated')
        shutil.copytree(os.path.join(SAMPLES, 'house'), truncated)
        with open(os.path.join(truncated, '999.bin'), 'r+b') as f:
            f.truncate(300)
        short = os.path.join(self.tmp, 'short')
        os.mkdir(short)
        with open(os.path.join(short, '999.bin'), 'wb') as f:
            f.write(b'\x01' * 20)
        # A well-formed DLL holding only the sample's badge.
        description = os.path.join(self.tmp, 'no-catalogue.json')
        with open(description, 'w') as f:
            json.dump({'resources': [{'id': 29891,
                                      'file': os.path.join(SAMPLES, 'house-aux', '29891.bin')}]}, f)
        no_catalogue = os.path.join(self.tmp, 'no-catalogue.dll')
        subprocess.run([TOOL, 'catalog', 'build', description, '--out', no_catalogue],
                       check=True, stdout=subprocess.DEVNULL)
        return [
            ('not a module', 'open-dll', not_module, 'not a resource module'),
            ('a DLL without resource 999', 'open-dll', no_catalogue,
             'no catalogue (resource 999)'),
            ('a truncated catalogue', 'open-dir', truncated, 'truncated: its header claims'),
            ('a catalogue shorter than its header', 'open-dir', short, 'shorter than its'),
            ('an aux module that is not one', 'aux-dll', not_module, 'not a resource module'),
        ]

    def test_bad_input_keeps_the_picture(self):
        for name, control, path, words in self.bad_inputs():
            with self.subTest(name):
                self.open_page('')
                before = self.canvas()
                paints = self.paints()
                self.driver.find_element(By.ID, control).send_keys(path)
                message = self.wait_for(lambda: self.driver.find_element(
                    By.ID, 'message').text)
                self.assertIn(words, message)
                self.assertIn('previous module and picture are kept', message)
                self.assertEqual(self.paints(), paints)
                self.assertTrue(self.canvas() == before, name + ': the picture changed')
                # The open catalogue still answers the controls.
                self.act(('click', 'badge'))


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
