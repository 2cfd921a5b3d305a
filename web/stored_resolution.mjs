// The resolution a file states (dots per inch or centimetre, or only an
// aspect ratio), carried into the download as the command carries it: read
// from a PNG's pHYs, a JPEG's JFIF segment or a TIFF's first directory, else
// from the EXIF; written into PNG's pHYs, JPEG's JFIF segment and TIFF's
// tags. A file that states none gets none (JPEG: JFIF's 1:1 without a unit).
import { pngChunks, startsWith } from './file_bytes.mjs';
import { readIfd, tagNumber, tiffReader } from './tiff_structure.mjs';

export const NO_RESOLUTION = { present: false, unit: 'none', x: 0, y: 0 };

function fromPng(bytes) {
  for (const { type, body } of pngChunks(bytes)) {
    if (type === 'IDAT') break;
    if (type !== 'pHYs' || body.length !== 9) continue;
    const view = new DataView(body.buffer, body.byteOffset, 9);
    const x = view.getUint32(0), y = view.getUint32(4), metre = body[8] === 1;
    return { present: x > 0 && y > 0, unit: metre ? 'cm' : 'none', x: metre ? x / 100 : x, y: metre ? y / 100 : y };
  }
  return NO_RESOLUTION;
}

function fromJpeg(bytes) {
  if (!hasJfif(bytes)) return NO_RESOLUTION;
  const unit = bytes[13], x = (bytes[14] << 8) | bytes[15], y = (bytes[16] << 8) | bytes[17];
  // 1:1 without a unit is JFIF's way of saying nothing.
  return { present: x > 0 && y > 0 && !(unit === 0 && x === 1 && y === 1), unit: unit === 1 ? 'inch' : unit === 2 ? 'cm' : 'none', x, y };
}

// XResolution, YResolution and ResolutionUnit of a TIFF structure's first directory.
export function fromTiffStructure(bytes) {
  try {
    const reader = tiffReader(bytes);
    const { entries } = readIfd(reader, reader.first);
    const rational = (tag) => {
      const entry = entries.find((e) => e.tag === tag && e.type === 5 && e.count >= 1);
      if (!entry) return 0;
      const denominator = reader.u32(entry.valueAt + 4);
      return denominator ? reader.u32(entry.valueAt) / denominator : 0;
    };
    const x = rational(0x011a), y = rational(0x011b);
    const code = tagNumber(reader, entries, 0x0128, 2);  // TIFF's default: inch
    return { present: x > 0 && y > 0, unit: code === 3 ? 'cm' : code === 1 ? 'none' : 'inch', x, y };
  } catch {
    return NO_RESOLUTION;
  }
}

export function readResolution(bytes, format, exif) {
  let resolution = NO_RESOLUTION;
  if (format === 'png') resolution = fromPng(bytes);
  else if (format === 'jpeg') resolution = fromJpeg(bytes);
  else if (format === 'tiff') resolution = fromTiffStructure(bytes);
  if (!resolution.present && exif) resolution = fromTiffStructure(exif);
  return resolution;
}

// Per inch where that is the closer to a whole number (a PNG's 11811 per
// metre is 300 per inch): formats that hold whole numbers keep it exactly.
export function inClosestWholeUnit(resolution) {
  const inch = resolution.x * 2.54;
  if (resolution.unit !== 'cm' || Math.abs(inch - Math.round(inch)) >= Math.abs(resolution.x - Math.round(resolution.x))) return resolution;
  const closest = (value) => (Math.abs(value - Math.round(value)) < 0.01 ? Math.round(value) : value);
  return { ...resolution, unit: 'inch', x: closest(inch), y: closest(resolution.y * 2.54) };
}

// The 9 bytes of a pHYs chunk, or null.
export function pngResolution(resolution) {
  if (!resolution.present) return null;
  const perMetre = (value) => (resolution.unit === 'none' ? value : resolution.unit === 'inch' ? value / 0.0254 : value * 100);
  const body = new Uint8Array(9);
  const view = new DataView(body.buffer);
  view.setUint32(0, Math.floor(perMetre(resolution.x) + 0.5));
  view.setUint32(4, Math.floor(perMetre(resolution.y) + 0.5));
  body[8] = resolution.unit === 'none' ? 0 : 1;
  return body;
}

// The JPEG with its JFIF segment stating the resolution (one added after SOI
// when the encoder wrote none and there is something to state).
export function withJpegDensity(bytes, resolution) {
  const whole = inClosestWholeUnit(resolution);
  let unit = !resolution.present ? 0 : resolution.unit === 'inch' ? 1 : resolution.unit === 'cm' ? 2 : 0;
  if (whole.unit === 'inch' && unit === 2) unit = 1;
  const density = (value) => (resolution.present ? Math.round(Math.min(Math.max(value, 1), 65535)) : 1);
  const fields = [unit, density(whole.x) >> 8, density(whole.x) & 0xff, density(whole.y) >> 8, density(whole.y) & 0xff];
  let out = bytes;
  if (!hasJfif(bytes)) {
    if (!resolution.present) return bytes;
    const segment = [0xff, 0xe0, 0, 16, 0x4a, 0x46, 0x49, 0x46, 0, 1, 1, 0, 0, 1, 0, 1, 0, 0];
    out = new Uint8Array(bytes.length + segment.length);
    out.set(bytes.subarray(0, 2));
    out.set(segment, 2);
    out.set(bytes.subarray(2), 2 + segment.length);
  } else {
    out = bytes.slice();
  }
  out.set(fields, 13);
  return out;
}
function hasJfif(bytes) {
  return bytes.length >= 20 && bytes[2] === 0xff && bytes[3] === 0xe0 && startsWith(bytes, 'JFIF\0', 6) && ((bytes[4] << 8) | bytes[5]) >= 16;
}

// RATIONAL values for TIFF's XResolution/YResolution and the unit's code, or null.
export function tiffResolution(resolution, little) {
  if (!resolution.present) return null;
  const whole = inClosestWholeUnit(resolution);
  const rational = (value) => {
    const bytes = new Uint8Array(8);
    const view = new DataView(bytes.buffer);
    const denominator = Number.isInteger(value) ? 1 : 10000;
    view.setUint32(0, Math.round(value * denominator), little);
    view.setUint32(4, denominator, little);
    return bytes;
  };
  return { x: rational(whole.x), y: rational(whole.y), unit: whole.unit === 'inch' ? 2 : whole.unit === 'cm' ? 3 : 1 };
}
