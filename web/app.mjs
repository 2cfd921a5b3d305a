// The page: open a photograph, set the thirteen values, see the preview at
// screen size, render at full size in a worker, download. Nothing leaves the
// computer: the renderer is WebAssembly running in this page's workers.
import { decodeImage, encodeImage, toImageData } from './image_codecs.mjs';
import { hasMetadata, metadataForOutput } from './photo_metadata.mjs';

const $ = (id) => document.getElementById(id);
const state = { parameters: [], values: [], original: null, preview: null, result: null, name: 'image', format: 'png' };

function setStatus(text) { $('status').textContent = text; }
function setError(text) { $('error').textContent = text || ''; }

// Work that may take a while (reading or writing a large file) shows a
// moving bar once it has taken half a second.
async function withBar(work) {
  const bar = $('working');
  const show = setTimeout(() => { bar.hidden = false; }, 500);
  try {
    return await work();
  } finally {
    clearTimeout(show);
    bar.hidden = true;
  }
}

// ---- Workers: one for previews, one for full renders (ended to cancel) ----
function makeWorker() { return new Worker(new URL('./worker.mjs', import.meta.url), { type: 'module' }); }
let nextId = 1;
function ask(worker, message, transfer = [], onProgress) {
  const id = nextId++;
  return new Promise((resolve, reject) => {
    const listener = (event) => {
      if (event.data.id !== id) return;
      if (event.data.progress !== undefined) { if (onProgress) onProgress(event.data.progress); return; }
      worker.removeEventListener('message', listener);
      if (event.data.error) reject(new Error(event.data.error)); else resolve(event.data);
    };
    worker.addEventListener('message', listener);
    worker.addEventListener('error', (event) => reject(new Error(event.message || 'the renderer stopped')), { once: true });
    worker.postMessage({ id, ...message }, transfer);
  });
}
const previewWorker = makeWorker();
let fullWorker = null;

// ---- Controls from the parameter table ----
function buildControls() {
  const form = $('parameters');
  form.textContent = '';
  state.parameters.forEach((p, index) => {
    const row = document.createElement('div');
    row.className = 'parameter';
    const label = document.createElement('label');
    label.textContent = p.label;
    label.htmlFor = `p-${p.name}`;
    row.append(label);
    if (p.choices) {
      const select = document.createElement('select');
      select.id = `p-${p.name}`;
      p.choices.forEach((name, value) => select.append(new Option(name, String(value))));
      select.addEventListener('change', () => setValue(index, Number(select.value)));
      row.append(select, document.createElement('span'));
    } else {
      const slider = document.createElement('input');
      Object.assign(slider, { type: 'range', id: `p-${p.name}`, min: p.minimum, max: p.maximum, step: 1 });
      const number = document.createElement('input');
      Object.assign(number, { type: 'number', min: p.minimum, max: p.maximum, step: 1 });
      number.setAttribute('aria-label', p.label);
      slider.addEventListener('input', () => setValue(index, Number(slider.value)));
      number.addEventListener('change', () => setValue(index, Number(number.value)));
      row.append(slider, number);
    }
    form.append(row);
  });
  showValues();
}

function showValues() {
  state.parameters.forEach((p, index) => {
    const control = $(`p-${p.name}`);
    control.value = String(state.values[index]);
    const number = control.parentElement.querySelector('input[type=number]');
    if (number) number.value = String(state.values[index]);
  });
}

function setValue(index, value) {
  const p = state.parameters[index];
  const clamped = Math.min(p.maximum, Math.max(p.minimum, Math.round(Number.isFinite(value) ? value : p.defaultValue)));
  state.values[index] = clamped;
  showValues();
  state.result = null;
  $('download').disabled = true;
  schedulePreview();
}

// ---- Preview: the photo fitted to the stage, filtered at that size ----
let previewBusy = false, previewWanted = false, previewAsked = 0;
function schedulePreview() {
  if (!state.preview) return;
  previewAsked = performance.now();
  if (previewBusy) { previewWanted = true; return; }
  runPreview();
}
async function runPreview() {
  previewBusy = true;
  previewWanted = false;
  const asked = previewAsked;
  const image = { ...state.preview, samples: state.preview.samples.slice() };
  try {
    const answer = await ask(previewWorker, { image, values: state.values.slice() }, [image.samples.buffer]);
    if (!$('actual-size').checked || !state.result) drawAfter(answer.image);
    const after = $('after');
    after.dataset.previews = String(Number(after.dataset.previews || 0) + 1);
    after.dataset.previewMs = (performance.now() - asked).toFixed(1);
  } catch (error) {
    setError(`The preview failed: ${error.message}`);
  }
  previewBusy = false;
  if (previewWanted) runPreview();
}

// One image pixel to one device pixel, on any screen density.
function drawTo(canvas, image) {
  canvas.width = image.width;
  canvas.height = image.height;
  canvas.style.width = `${image.width / devicePixelRatio}px`;
  canvas.style.height = `${image.height / devicePixelRatio}px`;
  canvas.getContext('2d').putImageData(toImageData(image), 0, 0);
}
function drawAfter(image) { drawTo($('after'), image); applySplit(); }
function applySplit() {
  const split = Number($('split').value);
  $('before').style.clipPath = `inset(0 ${100 - split}% 0 0)`;
}

function fitSize(image) {
  const stage = $('stage');
  const scale = Math.min(1, (stage.clientWidth * devicePixelRatio) / image.width, (stage.clientHeight * devicePixelRatio) / image.height);
  return { width: Math.max(1, Math.round(image.width * scale)), height: Math.max(1, Math.round(image.height * scale)), scale };
}

// The original reduced to the stage's size in 8 bits, as the screen shows it.
function makePreview(image) {
  const { width, height } = fitSize(image);
  const full = new OffscreenCanvas(image.width, image.height);
  full.getContext('2d').putImageData(toImageData(image), 0, 0);
  const small = new OffscreenCanvas(width, height);
  const context = small.getContext('2d', { willReadFrequently: true });
  context.imageSmoothingQuality = 'high';
  context.drawImage(full, 0, 0, width, height);
  const rgba = context.getImageData(0, 0, width, height).data;
  const channels = image.channels === 2 || image.channels === 4 ? 4 : 3;
  const samples = new Uint8Array(width * height * channels);
  for (let i = 0, j = 0; i < width * height; i++, j += channels)
    for (let c = 0; c < channels; c++) samples[j + c] = rgba[4 * i + c];
  return { width, height, channels, depth: 8, samples };
}

function showPicture() {
  const actual = $('actual-size').checked;
  $('stage').classList.toggle('actual', actual);
  const source = actual ? state.original : state.preview;
  if (!source) return;
  drawTo($('before'), source);
  if (actual && state.result) drawAfter(state.result);
  else if (actual) drawAfter(state.original);
  else schedulePreview();
  applySplit();
}

// ---- Opening a file ----
async function openFile(file) {
  setError('');
  setStatus(`Reading ${file.name}…`);
  try {
    const bytes = new Uint8Array(await file.arrayBuffer());
    const image = await withBar(() => decodeImage(bytes, file.name));
    state.original = image;
    state.format = image.format;
    state.metadata = image.metadata;
    state.name = file.name.replace(/\.[^.]*$/, '') || 'image';
    state.result = null;
    state.preview = makePreview(image);
    $('empty').hidden = true;
    $('render').disabled = false;
    $('download').disabled = true;
    const kept = image.metadata && hasMetadata(image.metadata)
      ? `; its ${['icc', 'exif', 'xmp', 'iptc'].filter((k) => image.metadata[k] !== null).map((k) => k === 'icc' ? 'ICC profile' : k.toUpperCase()).join(', ')} will be kept`
      : '';
    const notes = image.metadata ? image.metadata.notes.map((n) => ` Note: ${n}.`).join('') : '';
    setStatus(`${file.name}: ${image.width} × ${image.height}, ${image.depth}-bit ${image.channels >= 3 ? 'RGB' : 'gray'}${image.channels % 2 === 0 ? ' with transparency' : ''}${kept}.${notes}`);
    showPicture();
  } catch (error) {
    setStatus('');
    setError(error.message);
  }
}

// ---- Full render, cancel, download ----
async function renderFull() {
  if (!state.original) return;
  const started = performance.now();
  setError('');
  $('render').disabled = true;
  $('cancel').disabled = false;
  const progress = $('progress');
  progress.value = 0;
  const showBar = setTimeout(() => { progress.hidden = false; }, 300);
  fullWorker = fullWorker || makeWorker();
  const { width, height, channels, depth } = state.original;
  const image = { width, height, channels, depth, samples: state.original.samples.slice() };
  try {
    const answer = await ask(fullWorker, { image, values: state.values.slice(), progress: true }, [image.samples.buffer],
      (share) => { progress.value = share; });
    state.result = answer.image;
    $('download').disabled = false;
    setStatus(`Rendered at full size in ${((performance.now() - started) / 1000).toFixed(2)} s on ${state.threads === 1 ? 'one thread' : `${state.threads} threads`}.`);
    $('after').dataset.workerSeconds = answer.seconds.toFixed(3);
    $('after').dataset.renderSeconds = ((performance.now() - started) / 1000).toFixed(3);
    $('after').dataset.renders = String(Number($('after').dataset.renders || 0) + 1);
    if ($('actual-size').checked) showPicture();
  } catch (error) {
    if (error.message !== 'cancelled') setError(`The render failed: ${error.message}`);
  } finally {
    clearTimeout(showBar);
    progress.hidden = true;
    $('render').disabled = false;
    $('cancel').disabled = true;
  }
}
function cancelRender() {
  if (!fullWorker) return;
  fullWorker.terminate();
  fullWorker.dispatchEvent(new ErrorEvent('error', { message: 'cancelled' }));
  fullWorker = null;
  setStatus('The render was cancelled.');
}

async function download() {
  if (!state.result) return;
  const chosen = $('format').value;
  const format = chosen === 'same' ? state.format : chosen;
  // JPEG and WebP hold 8 bits; PNG and TIFF keep 16.
  const image = (format === 'jpeg' || format === 'webp') && state.result.depth === 16 ? to8Bits(state.result) : state.result;
  const metadata = state.metadata ? metadataForOutput(state.metadata, image.width, image.height) : null;
  let written;
  try {
    written = await withBar(() => encodeImage(image, format, metadata));
  } catch (error) {
    setError(`The ${format.toUpperCase()} file could not be written: ${error.message}`);
    return;
  }
  const link = document.createElement('a');
  link.href = URL.createObjectURL(written.blob);
  link.download = `${state.name}-stars.${{ jpeg: 'jpg', tiff: 'tif' }[format] || format}`;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  setStatus(`Downloaded ${link.download}.${written.notes.map((n) => ` Note: ${n}.`).join('')}`);
}
function to8Bits(image) {
  const samples = new Uint8Array(image.samples.length);
  for (let i = 0; i < samples.length; i++) samples[i] = Math.round(image.samples[i] * 255 / 65535);
  return { ...image, depth: 8, samples };
}

// ---- Presets: the command's TOML files ----
function presetText() {
  return '# glyra preset\n' + state.parameters.map((p, i) =>
    `${p.name} = ${p.choices ? `"${p.choices[state.values[i]]}"` : state.values[i]}`).join('\n') + '\n';
}
function readPreset(text, name) {
  const values = state.values.slice();
  for (const [number, raw] of text.split('\n').entries()) {
    const line = raw.replace(/#.*/, '').trim();
    if (!line) continue;
    const match = /^([a-z0-9-]+)\s*=\s*("?)([^"]*)\2$/.exec(line);
    const index = match ? state.parameters.findIndex((p) => p.name === match[1]) : -1;
    if (index < 0) throw new Error(`${name}, line ${number + 1}: "${line}" names no parameter`);
    const p = state.parameters[index];
    const value = p.choices && p.choices.includes(match[3]) ? p.choices.indexOf(match[3]) : Number(match[3]);
    if (!Number.isInteger(value) || value < p.minimum || value > p.maximum)
      throw new Error(`${name}, line ${number + 1}: ${p.name} takes ${p.minimum} to ${p.maximum}`);
    values[index] = value;
  }
  return values;
}

// ---- Wiring ----
async function start() {
  try {
    const answer = await ask(previewWorker, { describe: true });
    state.parameters = answer.parameters;
    state.threads = answer.threads;
    document.body.dataset.threads = String(answer.threads);
    state.values = state.parameters.map((p) => p.defaultValue);
    buildControls();
  } catch (error) {
    setError(`The renderer could not start in this browser: ${error.message}`);
    return;
  }
  $('file').addEventListener('change', () => { if ($('file').files[0]) openFile($('file').files[0]); });
  const stage = $('stage');
  stage.addEventListener('dragover', (event) => { event.preventDefault(); stage.classList.add('dragging'); });
  stage.addEventListener('dragleave', () => stage.classList.remove('dragging'));
  stage.addEventListener('drop', (event) => {
    event.preventDefault();
    stage.classList.remove('dragging');
    if (event.dataTransfer.files[0]) openFile(event.dataTransfer.files[0]);
  });
  $('reset').addEventListener('click', () => { state.values = state.parameters.map((p) => p.defaultValue); showValues(); state.result = null; $('download').disabled = true; schedulePreview(); });
  $('save-preset').addEventListener('click', () => {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([presetText()], { type: 'text/plain' }));
    link.download = 'glyra-preset.toml';
    link.click();
  });
  $('load-preset').addEventListener('change', async () => {
    const file = $('load-preset').files[0];
    if (!file) return;
    try {
      state.values = readPreset(await file.text(), file.name);
      setError('');
      showValues();
      state.result = null;
      $('download').disabled = true;
      schedulePreview();
    } catch (error) {
      setError(error.message);
    }
  });
  $('render').addEventListener('click', renderFull);
  $('cancel').addEventListener('click', cancelRender);
  $('download').addEventListener('click', download);
  $('split').addEventListener('input', applySplit);
  $('actual-size').addEventListener('change', showPicture);
  addEventListener('resize', () => { if (state.original && !$('actual-size').checked) { state.preview = makePreview(state.original); showPicture(); } });
  document.body.dataset.ready = 'true';
}

if ('serviceWorker' in navigator) navigator.serviceWorker.register('./sw.js').catch(() => {});
start();
