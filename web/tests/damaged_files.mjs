// Damaged files against the page's own readers: real camera photographs,
// TIFFs in several layouts and 16-bit PNGs with bytes changed, cut short or
// repeated (seeded, so a failure is found again). Reading must end, and end
// either with a picture or with an error in words naming the file; metadata
// that cannot be read is left out with a note, never taking the picture with
// it; what is carried into a download leaves a file exiftool finds sound.
//   node damaged_files.mjs GLYRA PHOTOS_DIR ARTIFACTS
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { decodeImage, sniffFormat } from '../image_codecs.mjs';
import { encodePng } from './png.mjs';
import { addMetadata, metadataForOutput, readMetadata } from '../photo_metadata.mjs';

const [glyra, photos, artifacts] = process.argv.slice(2);
fs.mkdirSync(artifacts, { recursive: true });
let failures = 0;
function check(condition, message) {
  if (!condition) { console.error(`FAIL: ${message}`); failures++; }
}

// Sound files to damage.
const seeds = [];
for (const name of fs.readdirSync(photos).filter((n) => n.endsWith('.jpg')).sort()) seeds.push(path.join(photos, name));
for (const name of ['Canon.jpg', 'GPS.jpg', 'ExifTool.jpg']) {
  for (const extension of ['tif', 'png', 'webp']) {
    const out = path.join(artifacts, `${name}.${extension}`);
    execFileSync(glyra, ['-q', '--force', path.join(photos, name), out]);
    seeds.push(out);
  }
}
const deep = path.join(artifacts, 'deep.png');
const samples = new Uint16Array(24 * 16 * 3).map((_, i) => (i * 2654435761) % 65536);
fs.writeFileSync(deep, encodePng({ width: 24, height: 16, channels: 3, depth: 16, samples }));
seeds.push(deep);
for (const [name, options] of [['lzw', ['-compress', 'LZW', '-define', 'tiff:predictor=2']], ['tiles', ['-compress', 'Zip', '-define', 'tiff:tile-geometry=16x16']],
  ['packbits', ['-compress', 'RLE', '-define', 'tiff:endian=msb']], ['interlaced', ['-interlace', 'PNG']]]) {
  const out = path.join(artifacts, `${name}.${name === 'interlaced' ? 'png' : 'tif'}`);
  execFileSync('convert', [deep, ...options, name === 'interlaced' ? `PNG48:${out}` : out]);
  seeds.push(out);
}

let state = 20261209;
const random = (n) => { state = (state * 1103515245 + 12345) >>> 0; return state % n; };
function damage(bytes) {
  const out = Uint8Array.from(bytes);
  switch (random(4)) {
    case 0: for (let k = 1 + random(8); k > 0; k--) out[random(out.length)] = random(256); return out;
    case 1: return out.subarray(0, random(out.length));
    case 2: { const at = random(out.length), length = 1 + random(64); return Uint8Array.from([...out.subarray(0, at), ...out.subarray(at, at + length), ...out.subarray(at)]); }
    default: for (let k = 1 + random(4); k > 0; k--) { const at = random(out.length - 4); new DataView(out.buffer).setUint32(at, [0, 0xffffffff, 0x7fffffff, 65535][random(4)]); } return out;
  }
}

// A plain picture of the format to carry the metadata into (as an encoder would give it).
const carriers = {};
for (const [format, extension] of [['jpeg', 'jpg'], ['png', 'png'], ['webp', 'webp']]) {
  const bare = path.join(artifacts, `bare.${extension}`);
  execFileSync(glyra, ['-q', '--force', '--strip-all', path.join(photos, 'GPS.jpg'), bare]);
  carriers[format] = new Uint8Array(fs.readFileSync(bare));
}

let runs = 0, refused = 0, read = 0, written = 0;
const started = Date.now();
for (const seed of seeds) {
  const sound = new Uint8Array(fs.readFileSync(seed));
  for (let round = 0; round < 60; round++) {
    const bytes = damage(sound);
    const name = `${path.basename(seed)}#${round}`;
    runs++;
    const format = sniffFormat(bytes);
    // The picture: TIFF and 16-bit PNG are decoded by the page's own code (the browser's decoders are not ours to test).
    if (format === 'tiff' || (format === 'png' && bytes[24] === 16)) {
      try {
        const image = await decodeImage(bytes, name);
        check(image.samples.length === image.width * image.height * image.channels, `${name}: a picture of its size`);
        read++;
      } catch (error) {
        check(error.message.startsWith(name) && !/undefined|null|NaN|is not a function/.test(error.message),
          `${name}: refused in words, not "${error.message}"`);
        refused++;
      }
    }
    // The metadata: read, made upright and carried, whatever the damage.
    let metadata;
    try {
      metadata = await readMetadata(bytes, format);
      const upright = metadataForOutput(metadata, 8, 8);
      for (const target of ['jpeg', 'png', 'webp']) {
        const out = await addMetadata(carriers[target], target, upright, 8, 8);
        if (round % 15 === 0) {
          const file = path.join(artifacts, `carried.${target}`);
          fs.writeFileSync(file, out.bytes);
          // Minor warnings and suspicious offsets name damage inside the EXIF that was carried
          // (a maker note's own offsets, a value's place); the file itself must be sound.
          const problems = execFileSync('exiftool', ['-a', '-s', '-s', '-s', '-Warning', '-Error', file], { encoding: 'utf8' })
            .split('\n').filter((line) => line && !line.startsWith('[minor]') && !/^Suspicious \w+ offset for/.test(line));
          check(problems.length === 0, `${name} -> ${target}: exiftool finds the download damaged: ${problems.join('; ')}`);
          written++;
        }
      }
    } catch (error) {
      check(false, `${name}: carrying its metadata threw ${error.stack}`);
    }
  }
}
check(read > 0 && refused > 0, `both outcomes seen (${read} read, ${refused} refused)`);
if (failures) process.exit(1);
console.log(`damaged_files: ${runs} damaged files from ${seeds.length} sound ones (${read} pictures read, ${refused} refused in words, ` +
  `${written} downloads checked by exiftool) in ${((Date.now() - started) / 1000).toFixed(1)} s`);
