// The renderer compiled to WebAssembly gives what the glyra command gives:
// the bundled night scene with the default and a spectral setting, and
// random scenes in gray + alpha and 16-bit RGBA with every threshold type,
// filtered by both, differ in no sample. The page's own readers (TIFF in
// its many layouts, 16-bit PNG interlaced or not, every EXIF orientation)
// give the command's picture: filtering what they read equals the command's
// output for the file. Progress rises and can stop it.
//   node render_equals_command.mjs GLYRA BUILT_WEB_FOLDER SAMPLE.png
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { decodePng, differingSamples, encodePng } from './png.mjs';
import { decodeImage } from '../image_codecs.mjs';

const [glyra, built, sample] = process.argv.slice(2);
const { loadRenderer } = await import(pathToFileURL(path.resolve(built, 'render.mjs')));
// Node's fetch takes no file paths: the module's binary is handed over read.
const renderer = await loadRenderer({ wasmBinary: fs.readFileSync(path.join(built, 'glyra-render.wasm')) });
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'glyra-web-'));
let failures = 0;
function check(condition, message) {
  if (!condition) {
    console.error(`FAIL: ${message}`);
    failures++;
  }
}

const names = renderer.parameters.map((p) => p.name);
check(names.length === 13, `thirteen parameters, not ${names.length}`);
check(names.includes('sp-dephase') && names.includes('threshold-type'), `the command's names: ${names}`);
check(renderer.parameters.find((p) => p.name === 'threshold').label === 'Threshold', 'English labels');
const thresholdTypes = renderer.parameters.find((p) => p.name === 'threshold-type').choices;
check(thresholdTypes && thresholdTypes.join() === 'plain,average,weighted', `threshold types by name: ${thresholdTypes}`);
check(renderer.parameters.filter((p) => p.choices).length === 1, 'only the threshold type is a choice');

// A random scene: dark samples with a share of bright pixels.
function scene(width, height, channels, depth, seed) {
  const full = depth === 16 ? 65535 : 255;
  const samples = depth === 16 ? new Uint16Array(width * height * channels) : new Uint8Array(width * height * channels);
  let state = seed;
  const next = () => (state = (state * 1103515245 + 12345) >>> 0) / 4294967296;
  for (let i = 0; i < width * height; i++) {
    const lit = next() < 0.02;
    for (let c = 0; c < channels; c++)
      samples[i * channels + c] = Math.round((lit ? 0.97 + 0.03 * next() : 0.8 * next()) * full);
  }
  return { width, height, channels, depth, samples };
}

function compare(name, input, values) {
  const inputPath = path.join(work, `${name}.png`), outputPath = path.join(work, `${name}-out.png`);
  const presetPath = path.join(work, `${name}.toml`);
  fs.writeFileSync(inputPath, encodePng(input));
  fs.writeFileSync(presetPath, '# glyra preset\n' + renderer.parameters.map((p, i) => `${p.name} = ${values[i]}`).join('\n') + '\n');
  execFileSync(glyra, ['-q', '--preset', presetPath, inputPath, outputPath]);
  const command = decodePng(fs.readFileSync(outputPath));
  const ours = { ...input, samples: input.samples.slice() };
  const started = performance.now();
  renderer.filter(ours, values);
  const seconds = (performance.now() - started) / 1000;
  let differing = 0, changed = 0;
  for (let i = 0; i < ours.samples.length; i++) {
    differing += ours.samples[i] !== command.samples[i];
    changed += ours.samples[i] !== input.samples[i];
  }
  check(command.samples.length === ours.samples.length, `${name}: sizes`);
  check(differing === 0, `${name}: ${differing} of ${ours.samples.length} samples differ from the command's`);
  check(changed > 0, `${name}: nothing was drawn`);
  console.log(`${name}: ${ours.samples.length} samples, ${changed} changed, ${differing} differing (${seconds.toFixed(2)} s)`);
}

const defaults = renderer.defaults();
const night = decodePng(fs.readFileSync(sample));
compare('night-default', night, defaults);
const spectral = renderer.parameters.map((p) => ({ 'line-type': 4, angle: 15, 'h0-extent': 9, 'sp-density': 70,
  'sp-extent': 25, 'sp-amplitude': 35, 'sp-dephase': 60 })[p.name] ?? p.defaultValue);
compare('night-spectral', night, spectral);
for (let type = 0; type < 3; type++) {
  const values = defaults.slice();
  values[names.indexOf('threshold-type')] = type;
  values[names.indexOf('line-type')] = 1 + type;
  compare(`gray-alpha-type${type}`, scene(83, 57, 2, 8, 11 + type), values);
  compare(`rgba16-type${type}`, scene(71, 49, 4, 16, 29 + type), values);
}

// A file read by the page and filtered equals the command's output for it.
async function compareFile(name, file, values) {
  const outputPath = path.join(work, `${name}-out.png`);
  execFileSync(glyra, ['-q', '--force', '--line-type', String(values[names.indexOf('line-type')]), file, outputPath]);
  const command = decodePng(fs.readFileSync(outputPath));
  let image;
  try {
    image = await decodeImage(new Uint8Array(fs.readFileSync(file)), name);
  } catch (error) {
    check(false, `${name}: the page cannot read it: ${error.message}`);
    return;
  }
  renderer.filter(image, values);
  const differing = differingSamples(image, command);
  check(image.width === command.width && image.height === command.height && image.depth === command.depth &&
        image.channels === command.channels, `${name}: read as ${image.width}x${image.height}x${image.channels} ${image.depth}-bit, the command as ${command.width}x${command.height}x${command.channels} ${command.depth}-bit`);
  check(differing === 0, `${name}: ${differing} of ${command.samples.length} samples differ from the command's`);
}
{
  const values = defaults.slice();
  values[names.indexOf('line-type')] = 4;
  const rgb16 = path.join(work, 'rgb16.png'), gray8 = path.join(work, 'gray8.png'), rgba8 = path.join(work, 'rgba8.png');
  fs.writeFileSync(rgb16, encodePng(scene(61, 37, 3, 16, 5)));
  fs.writeFileSync(gray8, encodePng(scene(53, 41, 1, 8, 6)));
  fs.writeFileSync(rgba8, encodePng(scene(47, 33, 4, 8, 7)));
  const layouts = [
    ['tiff-16-zip-predictor', rgb16, ['-compress', 'Zip', '-define', 'tiff:predictor=2']],
    ['tiff-16-lzw-big-endian', rgb16, ['-compress', 'LZW', '-define', 'tiff:endian=msb']],
    ['tiff-16-none-tiles', rgb16, ['-compress', 'None', '-define', 'tiff:tile-geometry=16x16']],
    ['tiff-16-planar', rgb16, ['-compress', 'Zip', '-interlace', 'Plane']],
    ['tiff-8-packbits-strips', gray8, ['-compress', 'RLE', '-define', 'tiff:rows-per-strip=5']],
    ['tiff-8-lzw-predictor-alpha', rgba8, ['-compress', 'LZW', '-define', 'tiff:predictor=2', '-define', 'tiff:alpha=unassociated']],
    ['tiff-8-min-is-white', gray8, ['-compress', 'None', '-define', 'quantum:polarity=min-is-white']],
  ];
  for (const [name, source, options] of layouts) {
    const file = path.join(work, `${name}.tif`);
    execFileSync('convert', [source, ...options, file]);
    await compareFile(name, file, values);
  }
  const interlaced = path.join(work, 'interlaced16.png');
  execFileSync('convert', [rgb16, '-interlace', 'PNG', `PNG48:${interlaced}`]);
  await compareFile('png-16-interlaced', interlaced, values);
  // Every orientation: the page turns the picture as the command does.
  for (let orientation = 1; orientation <= 8; orientation++) {
    const file = path.join(work, `oriented${orientation}.png`);
    fs.copyFileSync(rgb16, file);
    execFileSync('exiftool', ['-q', '-overwrite_original', '-n', `-EXIF:Orientation=${orientation}`, file]);
    await compareFile(`png-16-orientation-${orientation}`, file, values);
  }
  const damaged = path.join(work, 'damaged.tif');
  const whole = fs.readFileSync(path.join(work, 'tiff-16-zip-predictor.tif'));
  fs.writeFileSync(damaged, whole.subarray(0, whole.length >> 1));
  const message = await decodeImage(new Uint8Array(fs.readFileSync(damaged)), 'damaged.tif').then(() => '', (error) => error.message);
  check(/damaged/.test(message), `a TIFF cut short is refused as damaged: "${message}"`);
}

// Progress rises to its total; an answer of true stops the render and leaves the samples as they were.
{
  const image = { ...night, samples: night.samples.slice() };
  const reports = [];
  renderer.filter(image, defaults, (done, total) => { reports.push([done, total]); return false; });
  check(reports.length > 0 && reports.every(([d, t], i) => d <= t && (i === 0 || d >= reports[i - 1][0])),
        `progress rises: ${JSON.stringify(reports.slice(0, 5))}`);
  const last = reports[reports.length - 1];
  check(last && last[0] === last[1], `progress reaches its total: ${JSON.stringify(last)}`);
  const stopped = { ...night, samples: night.samples.slice() };
  let message = '';
  try {
    renderer.filter(stopped, defaults, () => true);
  } catch (error) {
    message = error.message;
  }
  check(message === 'stopped', `a stop is reported: "${message}"`);
  check(stopped.samples.every((v, i) => v === night.samples[i]), 'a stopped render leaves the samples as they were');
}

let refused = false;
try {
  renderer.filter({ width: 40000, height: 1, channels: 3, depth: 8, samples: new Uint8Array(3) }, defaults);
} catch (error) {
  refused = /at most 32767 pixels/.test(error.message);
}
check(refused, 'an image wider than the filter takes is refused with the limit');

fs.rmSync(work, { recursive: true, force: true });
if (failures) process.exit(1);
console.log('render_equals_command: the WebAssembly renderer equals the command');
