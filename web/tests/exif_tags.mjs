// What exiftool reads of a photograph's metadata, for comparing files.
import { execFileSync } from 'node:child_process';

// "[group] name: value" for what a photograph's metadata says (numbers as
// stored), leaving out what each format writes for itself.
const KEPT = /^(IFD0|ExifIFD|GPS|InteropIFD|FujiFilm|Pentax|IPTC|ICC-|ICC_Profile|Canon|Nikon|Sony|Olympus|XMP-)/;
const STORAGE = new Set(['ImageWidth', 'ImageHeight', 'BitsPerSample', 'Compression', 'PhotometricInterpretation',
  'StripOffsets', 'SamplesPerPixel', 'RowsPerStrip', 'StripByteCounts', 'PlanarConfiguration', 'Predictor',
  'ExtraSamples', 'SampleFormat', 'SubfileType', 'XResolution', 'YResolution', 'ResolutionUnit', 'YCbCrPositioning',
  'ReferenceBlackWhite', 'XMPToolkit', 'About', 'InstanceID',
  // Where a block lies in each file: each writer lays its file out its own way
  // (and an extended XMP packet is named by the MD5 of its writer's text).
  'PreviewImageStart', 'HasExtendedXMP']);
export function tags(file) {
  const out = new Set();
  for (const line of execFileSync('exiftool', ['-a', '-G1', '-s', '-n', file], { encoding: 'utf8' }).split('\n')) {
    const match = /^\[([^\]]+)\]\s+(\S+)\s*: (.*)$/.exec(line);
    if (match && KEPT.test(match[1]) && !STORAGE.has(match[2])) out.add(`[${match[1]}] ${match[2]}: ${match[3]}`);
  }
  return out;
}
export function difference(expected, got) {
  const lines = [];
  for (const tag of expected) if (!got.has(tag)) lines.push(`  lost: ${tag}`);
  for (const tag of got) if (!expected.has(tag)) lines.push(`  new:  ${tag}`);
  return lines.join('\n');
}

// The resolution a file states: JFIF's, pHYs's or the first directory's.
const RESOLUTION = new Set(['XResolution', 'YResolution', 'ResolutionUnit', 'PixelsPerUnitX', 'PixelsPerUnitY', 'PixelUnits']);
export function resolutionTags(file) {
  const out = new Set();
  for (const line of execFileSync('exiftool', ['-a', '-G1', '-s', '-n', '-JFIF:all', '-PNG-pHYs:all', '-IFD0:all', file], { encoding: 'utf8' }).split('\n')) {
    const match = /^\[([^\]]+)\]\s+(\S+)\s*: (.*)$/.exec(line);
    if (match && RESOLUTION.has(match[2])) out.add(`[${match[1]}] ${match[2]}: ${match[3]}`);
  }
  return out;
}
