// The preview page: builds its controls from the open catalogue, repaints
// through the WebAssembly module on every change and keeps the configuration
// in the address's query string.
'use strict';

const $ = (id) => document.getElementById(id);
const page = {
  api: null,
  fs: null,
  heap: () => null,
  sample: 'house', // null once the author's own module is open
  codes: [], // the codes the open catalogue reads
  fields: [], // option fields, as the module describes them
  paints: 0, // paints shown, for the tests
  lastResult: null,
  userModules: 0,
};
window.ppPreview = page;

const numberControls = ['dest-w', 'dest-h', 'avail-w', 'avail-h', 'zoom', 'background',
  'brightness'];
const recordNumbers = ['singleCode', 'selector1', 'selector2', 'extraFlag'];
// The query-string names of the controls.
const queryNames = {
  'dest-w': 'w', 'dest-h': 'h', 'avail-w': 'aw', 'avail-h': 'ah', zoom: 'zoom',
  background: 'bg', brightness: 'bright', level: 'level', device: 'device',
};

function showMessage(text) {
  const box = $('message');
  box.textContent = text;
  box.hidden = !text;
}

function intValue(id) {
  return parseInt($(id).value, 10) || 0;
}

// The configuration the controls describe, as the module reads it.
function currentConfig() {
  const w = intValue('dest-w');
  const h = intValue('dest-h');
  const same = $('avail-same').checked;
  const options = {};
  for (const field of page.fields) {
    const value = intValue('field-' + field.name);
    if (value !== 0) options[field.name] = value;
  }
  for (const name of recordNumbers) {
    const value = intValue(name);
    if (value !== 0) options[name] = value;
  }
  const codes = [];
  for (const code of page.codes) {
    if ($('code-' + code).checked) codes.push(code);
  }
  for (const part of $('more-codes').value.split(/[\s,]+/)) {
    const code = parseInt(part, 10);
    if (code >= 1 && code <= 65535 && !codes.includes(code)) codes.push(code);
  }
  return {
    dest: [0, 0, w, h],
    avail: same ? [w, h] : [intValue('avail-w'), intValue('avail-h')],
    badge: $('badge').checked,
    level: intValue('level'),
    zoom: intValue('zoom'),
    background: intValue('background'),
    brightness: intValue('brightness'),
    device: $('device').value,
    options,
    codes,
    explain: true,
  };
}

function shareQuery(config) {
  const q = new URLSearchParams();
  if (page.sample) q.set('sample', page.sample);
  q.set('w', config.dest[2]);
  q.set('h', config.dest[3]);
  if (!$('avail-same').checked) {
    q.set('aw', config.avail[0]);
    q.set('ah', config.avail[1]);
  }
  for (const id of ['level', 'zoom', 'background', 'brightness']) {
    if (intValue(id) !== 0) q.set(queryNames[id], intValue(id));
  }
  if (config.device !== 'truecolor') q.set('device', config.device);
  if (config.badge) q.set('badge', '1');
  q.set('codes', config.codes.join(','));
  for (const [name, value] of Object.entries(config.options)) q.set(name, value);
  return q.toString();
}

function showPicture(answer) {
  const width = answer.width;
  const height = answer.height;
  const start = page.api.pixels();
  const bytes = new Uint8ClampedArray(page.heap().buffer, start, width * height * 4);
  const canvas = $('picture');
  canvas.width = width;
  canvas.height = height;
  canvas.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(bytes), width, height),
    0, 0);
}

// Paints the controls' configuration; a refused one keeps the last picture.
function repaint() {
  if (!page.api) return;
  for (const id of numberControls) {
    $(id).nextElementSibling.textContent = $(id).value;
  }
  $('avail-w').disabled = $('avail-h').disabled = $('avail-same').checked;
  const config = currentConfig();
  const answer = JSON.parse(page.api.paint(JSON.stringify(config)));
  page.lastResult = answer;
  if (answer.error) {
    showMessage('Not painted: ' + answer.error);
    return;
  }
  showPicture(answer);
  $('result').textContent = 'Result ' + answer.result + ': ' + answer.meaning + '.';
  $('time').textContent = 'Painted in ' + answer.ms.toFixed(2) + ' ms.';
  $('explain').textContent = answer.explain || '';
  const query = shareQuery(config);
  $('share').href = '?' + query;
  history.replaceState(null, '', '?' + query);
  page.paints += 1;
}

function fieldLabel(field, value) {
  const codes = field.codes[value];
  return value + (codes.length ? ' \u2192 codes ' + codes.join(', ') : '');
}

// Controls for the codes and option fields of the open catalogue. Values in
// wanted (from the query string) are set where the catalogue has them.
function buildControls(wanted) {
  const described = JSON.parse(page.api.describe());
  if (described.error) return;
  page.codes = described.codes.map((c) => c.code);
  page.fields = described.fields;
  const codesBox = $('codes');
  codesBox.textContent = '';
  const wantedCodes = (wanted.codes || []).map(Number);
  for (const entry of described.codes) {
    const label = document.createElement('label');
    label.title = entry.readers.join('\n');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.id = 'code-' + entry.code;
    box.checked = wantedCodes.includes(entry.code);
    label.append(box, ' ' + entry.code);
    codesBox.append(label);
  }
  $('more-codes').value = wantedCodes.filter((c) => !page.codes.includes(c)).join(',');
  $('fields').textContent = '';
  $('other-fields').textContent = '';
  for (const field of described.fields) {
    const label = document.createElement('label');
    const select = document.createElement('select');
    select.id = 'field-' + field.name;
    for (let v = 0; v <= field.max; v += 1) {
      select.add(new Option(fieldLabel(field, v), String(v)));
    }
    const value = parseInt(wanted[field.name], 10);
    if (value >= 0 && value <= field.max) select.value = String(value);
    label.append(field.name + ' (0 to ' + field.max + ') ', select);
    (field.read ? $('fields') : $('other-fields')).append(label);
  }
  for (const name of recordNumbers) $(name).value = parseInt(wanted[name], 10) || 0;
  const h = described.header;
  $('module-name').textContent = (page.sample || 'your module') + ': ' + h.templates +
    ' templates, ' + h.colorCount + ' colours, ' + h.levelCount + ' levels' +
    (described.aux ? ', with an aux module' : '');
}

function openSample(name, wanted) {
  const mainError = page.api.open(0, '/samples/' + name);
  const auxError = mainError ? '' : page.api.open(1, '/samples/' + name + '-aux');
  if (mainError || auxError) {
    showMessage('The sample ' + name + ' cannot be opened: ' + (mainError || auxError));
    return;
  }
  page.sample = name;
  $('sample').value = name;
  buildControls(wanted);
  repaint();
}

// The query string as control values.
function readQuery() {
  const q = new URLSearchParams(location.search);
  const wanted = {};
  for (const [key, value] of q) wanted[key] = value;
  wanted.codes = q.has('codes') ? q.get('codes').split(',').filter(Boolean) : ['500'];
  for (const [id, name] of Object.entries(queryNames)) {
    if (q.has(name)) $(id).value = q.get(name);
  }
  if (q.has('aw') || q.has('ah')) $('avail-same').checked = false;
  $('badge').checked = q.get('badge') === '1';
  return wanted;
}

// Writes the chosen files into the module's file system: a directory of
// <id>.bin files (other names are left out) or one file.
async function writeModule(files, asDirectory) {
  page.userModules += 1;
  const base = '/user/' + page.userModules;
  if (!page.fs.analyzePath('/user').exists) page.fs.mkdir('/user');
  if (!asDirectory) {
    const path = base + '.dll';
    page.fs.writeFile(path, new Uint8Array(await files[0].arrayBuffer()));
    return path;
  }
  page.fs.mkdir(base);
  for (const file of files) {
    if (/^\d+\.bin$/.test(file.name)) {
      page.fs.writeFile(base + '/' + file.name, new Uint8Array(await file.arrayBuffer()));
    }
  }
  return base;
}

// Opens the author's module into slot 0 (the catalogue module, which also
// drops the aux module) or slot 1; a refused one keeps what was open.
async function openFiles(files, asDirectory, slot) {
  if (!files.length) return;
  const name = asDirectory ? (files[0].webkitRelativePath || '').split('/')[0] || 'directory'
    : files[0].name;
  const path = await writeModule(files, asDirectory);
  const error = page.api.open(slot, path);
  if (error) {
    showMessage((slot === 0 ? 'Module ' : 'Aux module ') + name + ' not opened: ' + error +
      '. The previous module and picture are kept.');
    return;
  }
  showMessage('');
  if (slot === 0) {
    page.api.open(1, '');
    page.sample = null;
  }
  const keep = currentConfig();
  buildControls({ codes: keep.codes, ...keep.options });
  repaint();
}

async function filesOfEntry(entry) {
  if (entry.isFile) return [await new Promise((ok, fail) => entry.file(ok, fail))];
  const reader = entry.createReader();
  const files = [];
  for (;;) {
    const batch = await new Promise((ok, fail) => reader.readEntries(ok, fail));
    if (!batch.length) return files;
    for (const item of batch) {
      if (item.isFile) files.push(await new Promise((ok, fail) => item.file(ok, fail)));
    }
  }
}

async function dropped(event) {
  event.preventDefault();
  $('drop').classList.remove('over');
  const items = [...event.dataTransfer.items].map((i) => i.webkitGetAsEntry()).filter(Boolean);
  if (items.length === 1 && items[0].isDirectory) {
    const files = await filesOfEntry(items[0]);
    openFiles(files, true, 0);
  } else if (items.length === 1) {
    openFiles(await filesOfEntry(items[0]), false, 0);
  } else {
    const files = [];
    for (const item of items) files.push(...(await filesOfEntry(item)));
    openFiles(files, true, 0);
  }
}

function savePng() {
  $('picture').toBlob((blob) => {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = (page.sample || 'preview') + '.png';
    link.click();
    URL.revokeObjectURL(link.href);
  }, 'image/png');
}

function wire() {
  $('controls').addEventListener('input', repaint);
  $('controls').addEventListener('change', repaint);
  $('controls').addEventListener('submit', (e) => e.preventDefault());
  $('sample').addEventListener('change', () => {
    showMessage('');
    openSample($('sample').value, { codes: ['500'] });
  });
  $('open-dir').addEventListener('change', (e) => openFiles([...e.target.files], true, 0));
  $('open-dll').addEventListener('change', (e) => openFiles([...e.target.files], false, 0));
  $('aux-dir').addEventListener('change', (e) => openFiles([...e.target.files], true, 1));
  $('aux-dll').addEventListener('change', (e) => openFiles([...e.target.files], false, 1));
  $('aux-clear').addEventListener('click', () => {
    page.api.open(1, '');
    repaint();
  });
  $('save').addEventListener('click', savePng);
  const drop = $('drop');
  drop.addEventListener('dragover', (e) => {
    e.preventDefault();
    drop.classList.add('over');
  });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', dropped);
}

PiecepaintModule().then((module) => {
  page.fs = module.FS;
  page.heap = () => module.HEAPU8;
  page.api = {
    open: module.cwrap('ppwOpen', 'string', ['number', 'string']),
    describe: module.cwrap('ppwDescribe', 'string', []),
    paint: module.cwrap('ppwPaint', 'string', ['string']),
    pixels: module.cwrap('ppwPixels', 'number', []),
    bench: module.cwrap('ppwBench', 'number', ['string', 'number']),
  };
  wire();
  const wanted = readQuery();
  openSample(wanted.sample === 'house16' ? 'house16' : 'house', wanted);
});
