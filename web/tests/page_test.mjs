// The page in a real browser: Debian's Chromium, headless, driven by
// Playwright. Opens the night scene, finds every control by its label,
// changes a value and sees the preview follow, renders at full size,
// downloads, and finds the download equal to the glyra command's output
// (0 differing samples, 8-bit and 16-bit); comes back offline; refuses a file that is not an image in words; and
// never asks any host but its own. Prints the preview's latency and the full
// render's time on a 12-megapixel scene against the native command's.
//   node page_test.mjs GLYRA BUILT_PAGE SAMPLE.png ARTIFACTS
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { difference, resolutionTags, tags } from './exif_tags.mjs';
import { decodePng, differingSamples, encodePng } from './png.mjs';

const [glyra, built, sample, artifacts] = process.argv.slice(2);
fs.mkdirSync(artifacts, { recursive: true });
let failures = 0;
function check(condition, message) {
  if (!condition) {
    console.error(`FAIL: ${message}`);
    failures++;
  }
}

// The page's own server, on a port the system picks; with --plain, a static
// host that sends no isolation headers.
function serve(...options) {
  const child = spawn('python3', [path.join(built, 'serve.py'), built, '0', ...options], { stdio: ['ignore', 'pipe', 'inherit'] });
  const url = new Promise((resolve, reject) => {
    child.stdout.on('data', (data) => {
      const match = /http:\/\/127\.0\.0\.1:\d+/.exec(String(data));
      if (match) resolve(match[0]);
    });
    child.on('exit', () => reject(new Error('the server did not start')));
  });
  return { child, url };
}
const server = serve(), plainServer = serve('--plain');
const origin = await server.url, plainOrigin = await plainServer.url;

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1280, height: 800 } });
  const page = await context.newPage();
  const elsewhere = [];
  page.on('request', (request) => {
    if (!request.url().startsWith(origin) && !request.url().startsWith('blob:') && !request.url().startsWith('data:'))
      elsewhere.push(request.url());
  });
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  // The result downloaded in a format of the Format choice, saved as `name`.
  async function download(choice, name) {
    await page.selectOption('#format', choice);
    const [event] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
    const file = path.join(artifacts, name);
    await event.saveAs(file);
    return { file, suggested: event.suggestedFilename() };
  }
  // A PNG download against the command's PNG of the same input.
  function againstCommand(pageFile, commandArguments, commandName) {
    const commandFile = path.join(artifacts, commandName);
    execFileSync(glyra, ['-q', '--force', ...commandArguments, commandFile]);
    const ours = decodePng(fs.readFileSync(pageFile)), theirs = decodePng(fs.readFileSync(commandFile));
    return { ours, theirs, differing: differingSamples(ours, theirs) };
  }
  await page.goto(`${origin}/`);
  await page.waitForSelector('body[data-ready=true]', { timeout: 30000 });

  // Served with the isolation headers, the page renders on every core.
  const cores = await page.evaluate(() => navigator.hardwareConcurrency);
  const threads = Number(await page.getAttribute('body', 'data-threads'));
  check(await page.evaluate(() => crossOriginIsolated) && threads === Math.min(cores, 16),
    `the isolated page renders on ${Math.min(cores, 16)} threads, not ${threads}`);

  // Every parameter has its control, found by its label.
  for (const label of ['Brightness', 'Threshold', 'Angle', 'Line type', 'H0 density', 'SP dephase'])
    check(await page.getByLabel(label, { exact: true }).first().count() === 1, `a control labelled "${label}"`);
  check(await page.getByLabel('Threshold type').count() === 1, 'the threshold type is a choice');

  // Not an image: said in words.
  const notImage = path.join(artifacts, 'notes.txt');
  fs.writeFileSync(notImage, 'not a picture');
  await page.setInputFiles('#file', notImage);
  await page.waitForFunction(() => document.getElementById('error').textContent.length > 0);
  check(/is not an image Glyra can read/.test(await page.textContent('#error')), 'a text file is refused in words');

  // A damaged file and ones too large for a page: said in words, the limit
  // named, before anything is decoded (the large ones are headers alone).
  {
    const whole = path.join(artifacts, 'whole.jpg'), cut = path.join(artifacts, 'cut.jpg');
    execFileSync('convert', [sample, '-quality', '90', whole]);
    const bytes = fs.readFileSync(whole);
    fs.writeFileSync(cut, bytes.subarray(0, bytes.length >> 1));
    const header = (width, height) => {
      const png = encodePng({ width: 1, height: 1, channels: 3, depth: 8, samples: new Uint8Array(3) });
      const view = new DataView(png.buffer, png.byteOffset);
      view.setUint32(16, width);
      view.setUint32(20, height);
      return png;
    };
    fs.writeFileSync(path.join(artifacts, 'wide.png'), header(40000, 100));
    fs.writeFileSync(path.join(artifacts, 'huge.png'), header(20000, 20000));
    for (const [file, words] of [[cut, /cut\.jpg is damaged: the file is cut short/], [path.join(artifacts, 'wide.png'), /at most 32767 pixels a side/],
      [path.join(artifacts, 'huge.png'), /400 megapixels; in the browser the limit is 100 megapixels/]]) {
      await page.evaluate(() => { document.getElementById('error').textContent = ''; });
      await page.setInputFiles('#file', file);
      await page.waitForFunction(() => document.getElementById('error').textContent.length > 0);
      const error = await page.textContent('#error');
      check(words.test(error), `${path.basename(file)} is refused in words: "${error}"`);
    }
  }

  // Open the night scene: the preview appears.
  await page.setInputFiles('#file', sample);
  await page.waitForSelector('#after[data-previews="1"]', { timeout: 30000 });
  check((await page.textContent('#error')) === '', 'no error after opening the night scene');

  // A change of line type is followed by a new preview.
  const before = await page.evaluate(() => document.getElementById('after').toDataURL());
  const lineType = page.getByLabel('Line type', { exact: true }).last();
  await lineType.fill('4');
  await lineType.press('Tab');
  await page.waitForSelector('#after[data-previews="2"]', { timeout: 30000 });
  const previewMs = Number(await page.getAttribute('#after', 'data-preview-ms'));
  const after = await page.evaluate(() => document.getElementById('after').toDataURL());
  check(after !== before, 'the preview follows the change');

  // A saved preset is one the command reads; a loaded one sets the controls.
  const [presetDownload] = await Promise.all([page.waitForEvent('download'), page.click('#save-preset')]);
  const savedPreset = path.join(artifacts, 'saved.toml');
  await presetDownload.saveAs(savedPreset);
  check(/^line-type = 4$/m.test(fs.readFileSync(savedPreset, 'utf8')) &&
        /^threshold-type = "plain"$/m.test(fs.readFileSync(savedPreset, 'utf8')), 'the saved preset names every value');
  const loadedPreset = path.join(artifacts, 'loaded.toml');
  fs.writeFileSync(loadedPreset, '# glyra preset\nthreshold-type = "average"\nangle = 45\n');
  await page.setInputFiles('#load-preset', loadedPreset);
  await page.waitForFunction(() => document.getElementById('p-angle').value === '45');
  check(await page.inputValue('#p-threshold-type') === '1', 'a loaded preset sets the threshold type by name');
  fs.writeFileSync(loadedPreset, '# glyra preset\nthreshold-type = "plain"\nangle = 0\n');
  await page.setInputFiles('#load-preset', []);
  await page.setInputFiles('#load-preset', loadedPreset);
  await page.waitForFunction(() => document.getElementById('p-angle').value === '0');

  // The split answers the keyboard.
  await page.focus('#split');
  await page.keyboard.press('ArrowLeft');
  check(await page.inputValue('#split') === '49', 'the before/after split moves with the arrow keys');

  // Full render and download, compared with the command.
  await page.click('#render');
  await page.waitForSelector('#after[data-renders="1"]', { timeout: 60000 });
  const night = await download('png', 'night-page.png');
  const { ours, theirs, differing } = againstCommand(night.file, ['--preset', savedPreset, sample], 'command.png');
  check(ours.width === theirs.width && ours.samples.length === theirs.samples.length, 'the download has the picture\'s size');
  check(differing === 0, `the download differs from the command's output in ${differing} samples`);
  console.log(`night scene: downloaded ${night.suggested}, ${differing} of ${theirs.samples.length} samples differ from the command's`);
  await page.screenshot({ path: path.join(artifacts, 'page.png') });

  // A 16-bit PNG with transparency stays 16-bit, and equals the command's too.
  {
    const width = 90, height = 60, samples = new Uint16Array(width * height * 4);
    let seed = 3;
    for (let i = 0; i < width * height; i++) {
      seed = (seed * 1103515245 + 12345) >>> 0;
      const lit = seed % 50 === 0;
      for (let c = 0; c < 3; c++) samples[4 * i + c] = lit ? 65000 + c * 100 : (seed >>> (8 + 4 * c)) % 40000;
      samples[4 * i + 3] = 20000 + (i % 40000);
    }
    const deep = path.join(artifacts, 'deep.png');
    fs.writeFileSync(deep, encodePng({ width, height, channels: 4, depth: 16, samples }));
    await page.setInputFiles('#file', deep);
    await page.waitForFunction(() => /16-bit RGB with transparency/.test(document.getElementById('status').textContent));
    await page.click('#render');
    await page.waitForSelector('#after[data-renders="2"]', { timeout: 60000 });
    const { file } = await download('same', 'deep-page.png');
    const { ours: page16, differing: differing16 } = againstCommand(file, ['--line-type', '4', deep], 'deep-command.png');
    check(page16.depth === 16 && page16.channels === 4, `the 16-bit download is 16-bit RGBA (${page16.depth}, ${page16.channels})`);
    check(differing16 === 0, `the 16-bit download differs from the command's in ${differing16} samples`);
  }


  // A gray JPEG stays gray, and equals the command's.
  {
    const grayJpeg = path.join(artifacts, 'gray.jpg');
    execFileSync('convert', [sample, '-colorspace', 'Gray', '-quality', '90', grayJpeg]);
    await page.setInputFiles('#file', grayJpeg);
    await page.waitForFunction(() => /8-bit gray\./.test(document.getElementById('status').textContent));
    await page.click('#render');
    await page.waitForSelector('#after[data-renders="3"]', { timeout: 60000 });
    const { file } = await download('png', 'gray-page.png');
    const { ours, theirs, differing } = againstCommand(file, ['--line-type', '4', grayJpeg], 'gray-command.png');
    check(ours.channels === 1 && theirs.channels === 1, `the gray JPEG's download is gray (${ours.channels} channels)`);
    check(differing === 0, `the gray JPEG: ${differing} of ${theirs.samples.length} samples differ from the command's`);
  }

  // A 12-megapixel JPEG as a camera writes it: EXIF with Canon's maker notes,
  // an ICC profile, XMP and IPTC, stored turned (orientation 6). The page
  // shows it upright, renders it equal to the command, and downloads carry
  // what the command's outputs carry. The render is timed against the native command's.
  const width = 4000, height = 3000, samples = new Uint8Array(width * height * 3);
  for (let i = 0; i < width * height; i++) { samples[3 * i] = 24; samples[3 * i + 1] = 30; samples[3 * i + 2] = 44; }
  let seed = 7;
  for (let k = 0; k < width * height / 1000; k++) {
    seed = (seed * 1103515245 + 12345) >>> 0;
    const at = (seed % (width * height)) * 3;
    samples[at] = 255; samples[at + 1] = 250; samples[at + 2] = 235;
  }
  const bigPng = path.join(artifacts, 'scene-12mp.png'), big = path.join(artifacts, 'camera-12mp.jpg');
  fs.writeFileSync(bigPng, encodePng({ width, height, channels: 3, depth: 8, samples }));
  execFileSync('convert', [bigPng, '-quality', '92', '-sampling-factor', '2x2', big]);
  const photos = path.join(path.dirname(sample), '..', 'tests', 'photos');
  const profile = path.join(artifacts, 'profile.icc');
  fs.writeFileSync(profile, execFileSync('exiftool', ['-b', '-ICC_Profile', path.join(photos, 'ExifTool.jpg')]));
  execFileSync('exiftool', ['-q', '-overwrite_original', '-TagsFromFile', path.join(photos, 'Canon.jpg'), '-EXIF:all',
    '-TagsFromFile', path.join(photos, 'ExifTool.jpg'), '-XMP:all', '-IPTC:all', `-ICC_Profile<=${profile}`,
    '-n', '-EXIF:Orientation=6', big]);
  check(/Canon/.test(execFileSync('exiftool', ['-s', '-s', '-s', '-Make', '-ProfileDescription', big], { encoding: 'utf8' })),
    'the camera JPEG has its EXIF');
  await page.setInputFiles('#file', big);
  await page.waitForFunction(() => /3000 × 4000/.test(document.getElementById('status').textContent), null, { timeout: 60000 });
  check(/ICC profile, EXIF, XMP, IPTC will be kept/.test(await page.textContent('#status')), `the page says what it keeps: ${await page.textContent('#status')}`);
  const previewsBefore = Number(await page.getAttribute('#after', 'data-previews'));
  await page.waitForTimeout(500);
  const angle = page.getByLabel('Angle', { exact: true }).last();
  await angle.fill('30');
  await angle.press('Tab');
  await page.waitForFunction((n) => Number(document.getElementById('after').dataset.previews) > n, previewsBefore + 0, { timeout: 30000 });
  const bigPreviewMs = Number(await page.getAttribute('#after', 'data-preview-ms'));
  const started = Date.now();
  await page.click('#render');
  await page.waitForSelector('#after[data-renders="4"]', { timeout: 120000 });
  const pageSeconds = (Date.now() - started) / 1000;
  const workerSeconds = Number(await page.getAttribute('#after', 'data-worker-seconds'));
  const renderSeconds = Number(await page.getAttribute('#after', 'data-render-seconds'));
  const nativeRun = nativeTimes(glyra, big, path.join(artifacts, 'big.png'), threads);
  const nativeOne = nativeTimes(glyra, big, path.join(artifacts, 'big.png'), 1);
  console.log(`preview after a change: night scene ${previewMs.toFixed(0)} ms, 12 MP ${bigPreviewMs.toFixed(0)} ms; 12 MP full render: page ${pageSeconds.toFixed(2)} s on ${threads} threads from the click ` +
    `(${renderSeconds.toFixed(2)} s from the page's handler to the result, ${workerSeconds.toFixed(2)} s in the renderer's worker), ` +
    `native filter ${nativeRun.filter.toFixed(2)} s on as many (the page's ${(renderSeconds / nativeRun.filter).toFixed(1)}x), ` +
    `native whole command ${nativeRun.total.toFixed(2)} s; native filter on one thread ${nativeOne.filter.toFixed(2)} s`);
  // Its samples, through PNG, equal the command's.
  const bigPreset = path.join(artifacts, 'big.toml');
  const [bigPresetDownload] = await Promise.all([page.waitForEvent('download'), page.click('#save-preset')]);
  await bigPresetDownload.saveAs(bigPreset);
  {
    const { file } = await download('png', 'camera-page.png');
    const { ours, theirs, differing } = againstCommand(file, ['--preset', bigPreset, big], 'camera-command.png');
    check(ours.width === 3000 && ours.height === 4000 && theirs.width === 3000, `the camera JPEG is upright in both (${ours.width} × ${ours.height})`);
    check(differing === 0, `the camera JPEG: ${differing} of ${theirs.samples.length} samples differ from the command's`);
    console.log(`camera JPEG 12 MP: ${differing} of ${theirs.samples.length} samples differ from the command's`);
  }
  // Its metadata, downloaded in its own format and in the others, reads as the command's outputs.
  for (const [choice, extension] of [['same', 'jpg'], ['png', 'png'], ['webp', 'webp'], ['tiff', 'tif']]) {
    const { file: pageFile, suggested } = await download(choice, `camera-page.${extension}`);
    const commandFile = path.join(artifacts, `camera-command.${extension}`);
    check(suggested === `camera-12mp-stars.${extension}`, `named ${suggested}`);
    execFileSync(glyra, ['-q', '--force', '--preset', bigPreset, big, commandFile]);
    const text = difference(tags(commandFile), tags(pageFile));
    check(text === '', `the camera JPEG as ${extension}: the page's metadata differs from the command's:\n${text}`);
    const resolution = difference(resolutionTags(commandFile), resolutionTags(pageFile));
    check(resolution === '', `the camera JPEG as ${extension}: the page's resolution differs from the command's:\n${resolution}`);
    if (extension === 'webp') check(/WebP holds no IPTC/.test(await page.textContent('#status')), 'the IPTC a WebP cannot hold is said');
    check(tags(pageFile).has('[IFD0] Orientation: 1') && tags(pageFile).has('[Canon] CanonModelID: 2147484016'), `the ${extension} download is marked upright and keeps Canon's maker notes`);
  }

  // A long render shows its progress and stops at Cancel; the next one runs.
  {
    const heavy = path.join(artifacts, 'heavy.toml');
    fs.writeFileSync(heavy, '# glyra preset\nthreshold = 20\n');
    await page.setInputFiles('#load-preset', []);
    await page.setInputFiles('#load-preset', heavy);
    await page.waitForFunction(() => document.getElementById('p-threshold').value === '20');
    const renders = await page.getAttribute('#after', 'data-renders');
    await page.click('#render');
    await page.waitForSelector('#progress:not([hidden])', { timeout: 30000 });
    await page.waitForFunction(() => document.getElementById('progress').value > 0, null, { timeout: 60000 });
    await page.click('#cancel');
    await page.waitForFunction(() => /cancelled/.test(document.getElementById('status').textContent), null, { timeout: 10000 });
    check(await page.isHidden('#progress') && await page.isEnabled('#render') && await page.isDisabled('#cancel'),
      'after Cancel the bar is gone and Render is offered again');
    check(await page.getAttribute('#after', 'data-renders') === renders && await page.isDisabled('#download'), 'a cancelled render gives nothing to download');
    await page.setInputFiles('#load-preset', []);
    await page.setInputFiles('#load-preset', bigPreset);
    await page.waitForFunction(() => document.getElementById('p-threshold').value === '250');
    await page.click('#render');
    await page.waitForSelector(`#after[data-renders="${Number(renders) + 1}"]`, { timeout: 120000 });
  }

  // Offline after the first visit: the service worker answers the page.
  await page.evaluate(() => navigator.serviceWorker.ready);
  await context.setOffline(true);
  await page.reload();
  const cameBack = await page.waitForSelector('body[data-ready=true]', { timeout: 30000 }).then(() => true, () => false);
  check(cameBack, 'the page comes back offline');
  await context.setOffline(false);

  check(problems.length === 0, `no script errors: ${problems.join('; ')}`);
  check(elsewhere.length === 0, `no request left this computer: ${elsewhere.join(', ')}`);

  // A static host without the headers: one thread at the first visit, and
  // every core from the next, the service worker supplying the headers.
  {
    const plainContext = await browser.newContext();
    const plain = await plainContext.newPage();
    await plain.goto(`${plainOrigin}/`);
    await plain.waitForSelector('body[data-ready=true]', { timeout: 30000 });
    const first = { isolated: await plain.evaluate(() => crossOriginIsolated), threads: await plain.getAttribute('body', 'data-threads') };
    await plain.evaluate(() => navigator.serviceWorker.ready);
    await plain.reload();
    await plain.waitForSelector('body[data-ready=true]', { timeout: 30000 });
    const second = { isolated: await plain.evaluate(() => crossOriginIsolated), threads: await plain.getAttribute('body', 'data-threads') };
    check(!first.isolated && first.threads === '1', `a static host's first visit renders on one thread: ${JSON.stringify(first)}`);
    check(second.isolated && second.threads === String(threads), `the next visit renders on ${threads}: ${JSON.stringify(second)}`);
    await plainContext.close();
  }
} finally {
  await browser.close();
  server.child.kill();
  plainServer.child.kill();
}

// The native command on the same file on as many threads as the page's
// render: its whole time and its filter's, from its stage report.
function nativeTimes(binary, input, output, threads) {
  const started = Date.now();
  const run = spawnSync(binary, ['--force', '--threads', String(threads), '--report-stages', '--line-type', '4', '--angle', '30', input, output], { encoding: 'utf8' });
  const total = (Date.now() - started) / 1000;
  const match = /filter ([0-9.]+) s/.exec(run.stderr);
  return { total, filter: match ? Number(match[1]) : NaN };
}

if (failures) process.exit(1);
console.log('page_test: the page works in Chromium and equals the command');
