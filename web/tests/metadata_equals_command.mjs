// The page's metadata against the glyra command's, tag by tag with exiftool:
// each real camera photograph of tests/photos goes through the command into
// JPEG, PNG, WebP and TIFF; the command's output with its metadata stripped gets the
// page's metadata (read from the photograph, made upright, written for the
// format) and must then read exactly as the command's output does. TIFF,
// which the page writes itself, is the command's pixels in the page's file.
//   node metadata_equals_command.mjs GLYRA PHOTOS_DIR ARTIFACTS
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { addMetadata, metadataForOutput, readMetadata } from '../photo_metadata.mjs';
import { sniffFormat } from '../image_codecs.mjs';
import { decodeTiff, encodeTiff } from '../tiff_codec.mjs';
import { difference, resolutionTags, tags } from './exif_tags.mjs';

const [glyra, photos, artifacts] = process.argv.slice(2);
fs.mkdirSync(artifacts, { recursive: true });
let failures = 0;
function check(condition, message) {
  if (!condition) { console.error(`FAIL: ${message}`); failures++; }
}

function size(file) {
  const [width, height] = execFileSync('exiftool', ['-s', '-s', '-s', '-n', '-ImageWidth', '-ImageHeight', file], { encoding: 'utf8' }).trim().split('\n').map(Number);
  return { width, height };
}

// The command's output stripped bare, then given the page's metadata from `source`.
async function pageVersion(source, commandOut, format, name) {
  if (format === 'tiff') {
    // The page writes TIFF itself: the command's pixels, the page's file.
    const sourceBytes = new Uint8Array(fs.readFileSync(source));
    const metadata = await readMetadata(sourceBytes, sniffFormat(sourceBytes));
    const image = await decodeTiff(new Uint8Array(fs.readFileSync(commandOut)));
    const out = path.join(artifacts, `page-${name}`);
    fs.writeFileSync(out, await encodeTiff(image, metadataForOutput(metadata, image.width, image.height)));
    return { out, notes: metadata.notes };
  }
  // (The page's WebP writer keeps only the picture's chunks of what the encoder gives it.)
  const bare = format === 'webp' ? commandOut : path.join(artifacts, `bare-${name}`);
  // (A browser's JPEG encoder writes a JFIF segment: it stays.)
  if (format !== 'webp') execFileSync('exiftool', ['-q', '-q', '-all=', '-icc_profile:all=', '--JFIF:all', '-o', bare, commandOut]);
  const sourceBytes = new Uint8Array(fs.readFileSync(source));
  const metadata = await readMetadata(sourceBytes, sniffFormat(sourceBytes));
  const { width, height } = size(commandOut);
  const written = await addMetadata(new Uint8Array(fs.readFileSync(bare)), format, metadataForOutput(metadata, width, height), width, height);
  const out = path.join(artifacts, `page-${name}`);
  fs.writeFileSync(out, written.bytes);
  if (bare !== commandOut) fs.rmSync(bare);
  return { out, notes: [...metadata.notes, ...written.notes] };
}

const names = fs.readdirSync(photos).filter((n) => n.endsWith('.jpg')).sort();
let compared = 0;
for (const name of names) {
  const photo = path.join(photos, name);
  for (const [format, extension] of [['jpeg', 'jpg'], ['png', 'png'], ['webp', 'webp'], ['tiff', 'tif']]) {
    const commandOut = path.join(artifacts, `command-${name}.${extension}`);
    execFileSync(glyra, ['-q', '--force', photo, commandOut]);
    const { out, notes } = await pageVersion(photo, commandOut, format, `${name}.${extension}`);
    const expected = tags(commandOut), got = tags(out);
    if (format !== 'webp') check(expected.size > 10, `${name} -> ${extension}: the command kept its tags (${expected.size})`);
    const text = difference(expected, got);
    check(text === '', `${name} -> ${extension}: the page's metadata differs from the command's:\n${text}`);
    const resolution = difference(resolutionTags(commandOut), resolutionTags(out));
    check(resolution === '', `${name} -> ${extension}: the page's resolution differs from the command's:\n${resolution}`);
    check(execFileSync('exiftool', ['-s', '-s', '-s', '-Warning', out], { encoding: 'utf8' }).trim() === '', `${name} -> ${extension}: exiftool finds the page's file sound`);
    if (format === 'webp' && [...expected].length && tags(photo).size !== 0)
      check(!/\[IPTC\]/.test([...tags(photo)].join()) || notes.some((n) => /WebP holds no IPTC/.test(n)), `${name} -> webp: the IPTC left out is said`);
    compared++;
  }
}

// TIFF and PNG in: a TIFF's EXIF gathered from its directories (a maker
// note keeps its offset, so that offsets counted from the header stay true),
// ICC, XMP, IPTC and the resolution of each.
for (const name of ['GPS.jpg', 'IPTC.jpg', 'XMP.jpg', 'ExifTool.jpg', 'Nikon.jpg', 'Canon.jpg']) {
  for (const [from, to] of [['tif', 'jpg'], ['tif', 'png'], ['png', 'tif'], ['png', 'jpg']]) {
    const source = path.join(artifacts, `command-${name}.${from}`);
    execFileSync(glyra, ['-q', '--force', path.join(photos, name), source]);
    const commandOut = path.join(artifacts, `command-${from}-${name}.${to}`);
    execFileSync(glyra, ['-q', '--force', source, commandOut]);
    const { out } = await pageVersion(source, commandOut, { jpg: 'jpeg', png: 'png', tif: 'tiff' }[to], `${from}-${name}.${to}`);
    const text = difference(tags(commandOut), tags(out));
    check(text === '', `${name} as ${from} -> ${to}: the page's metadata differs from the command's:\n${text}`);
    const resolution = difference(resolutionTags(commandOut), resolutionTags(out));
    check(resolution === '', `${name} as ${from} -> ${to}: the page's resolution differs from the command's:\n${resolution}`);
    compared++;
  }
}

// XMP over a JPEG segment's 64 kB: read whole from a JPEG's extended segments,
// kept whole in PNG, WebP and TIFF, and split again into a JPEG from any of them.
{
  const long = path.join(artifacts, 'long.jpg'), text = path.join(artifacts, 'long.txt');
  fs.writeFileSync(text, Array.from({ length: 2500 }, (_, i) => `line ${i} of a long caption.`).join(' '));
  fs.copyFileSync(path.join(photos, 'XMP.jpg'), long);
  execFileSync('exiftool', ['-q', '-overwrite_original', `-XMP-dc:Description<=${text}`, long]);
  check(/[0-9A-F]{32}/.test(execFileSync('exiftool', ['-s', '-s', '-s', '-HasExtendedXMP', long], { encoding: 'utf8' })), 'exiftool wrote extended XMP');
  for (const [from, to] of [['jpg', 'jpg'], ['jpg', 'png'], ['jpg', 'tif'], ['png', 'jpg'], ['tif', 'jpg'], ['webp', 'jpg']]) {
    const source = from === 'jpg' ? long : path.join(artifacts, `long-command.${from}`);
    if (from !== 'jpg') execFileSync(glyra, ['-q', '--force', long, source]);
    const commandOut = path.join(artifacts, `long-command-${from}.${to}`);
    execFileSync(glyra, ['-q', '--force', source, commandOut]);
    const { out, notes } = await pageVersion(source, commandOut, { jpg: 'jpeg', png: 'png', tif: 'tiff' }[to], `long-${from}.${to}`);
    const expected = tags(commandOut), got = tags(out);
    check([...got].some((t) => /Description: line 0 .*line 2499 of a long caption\.$/.test(t)), `long XMP ${from} -> ${to}: the whole caption is read (${notes.join('; ')})`);
    const textDifference = difference(expected, got);
    check(textDifference === '', `long XMP ${from} -> ${to}: the page's metadata differs from the command's:\n${textDifference}`);
    check(execFileSync('exiftool', ['-s', '-s', '-s', '-Warning', out], { encoding: 'utf8' }).trim() === '', `long XMP ${from} -> ${to}: exiftool finds the page's file sound`);
    compared++;
  }
}

// EXIF over JPEG's 64 kB: the largest tags are left out until the rest fits, and said, as by the command.
{
  const text = path.join(artifacts, 'long.txt'), wide = path.join(artifacts, 'wide-exif.png');
  execFileSync(glyra, ['-q', '--force', path.join(photos, 'Canon.jpg'), wide]);
  execFileSync('exiftool', ['-q', '-overwrite_original', `-IFD0:ImageDescription<=${text}`, wide]);
  const commandOut = path.join(artifacts, 'wide-exif-command.jpg');
  const said = spawnSync(glyra, ['-v', '--force', wide, commandOut], { encoding: 'utf8' }).stderr;
  const { out, notes } = await pageVersion(wide, commandOut, 'jpeg', 'wide-exif.jpg');
  const textDifference = difference(tags(commandOut), tags(out));
  check(textDifference === '', `EXIF over 64 kB -> jpg: the page's metadata differs from the command's:\n${textDifference}`);
  check(tags(out).has('[Canon] CanonModelID: 2147484016'), 'the maker notes fit beside the rest');
  const note = notes.find((n) => /did not fit/.test(n));
  check(note && said.includes(note), `the page says what did not fit as the command does: "${note}" / ${said.trim()}`);
  compared++;
}

// A PNG's own texts go into a PNG download as written: Latin-1 ones as
// such, the others in UTF-8 (a reader shows "Ünal" and "タイトル", not mojibake).
{
  const texts = path.join(artifacts, 'texts.png');
  execFileSync(glyra, ['-q', '--force', path.join(photos, 'GPS.jpg'), texts]);
  execFileSync('exiftool', ['-q', '-overwrite_original', '-PNG:Comment=a comment', '-PNG:Author=Ünal Author', '-PNG:Title=タイトル',
    `-PNG:Description=${'a long description '.repeat(200)}`, texts]);
  const png = (file) => new Set(execFileSync('exiftool', ['-G1', '-s', '-PNG:Comment', '-PNG:Author', '-PNG:Title', '-PNG:Description', file], { encoding: 'utf8' }).split('\n').filter(Boolean));
  const { out } = await pageVersion(texts, texts, 'png', 'texts.png');
  const expected = png(texts);
  check(expected.size === 4, `exiftool wrote four texts (${[...expected].join('; ')})`);
  const textDifference = difference(expected, png(out));
  check(textDifference === '', `PNG texts -> png: the page's texts differ from the input's:\n${textDifference}`);
  compared++;
}

// Damaged EXIF is left out in words; the rest is still carried.
{
  const bytes = new Uint8Array(fs.readFileSync(path.join(photos, 'ExifTool.jpg')));
  const metadata = await readMetadata(bytes, 'jpeg');
  metadata.exif = metadata.exif.slice(0, 10);
  const out = metadataForOutput(metadata, 8, 8);
  check(out.exif === null && out.notes.some((n) => /EXIF is damaged/.test(n)), 'damaged EXIF is left out and said');
  check(out.icc && out.xmp && out.iptc, 'the rest of a file with damaged EXIF is kept');
}

if (failures) process.exit(1);
console.log(`metadata_equals_command: ${compared} conversions read as the command's, tag for tag`);
