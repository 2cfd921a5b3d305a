// Image files in and out in the browser: the size read from the header (to
// refuse what will not fit before decoding), JPEG, PNG, WebP and TIFF decoded
// with the EXIF orientation applied, 16-bit PNG and TIFF kept 16-bit, and PNG
// and TIFF (8 or 16 bits), JPEG and WebP written with the photograph's metadata.
import { addMetadata, exifOrientation, readMetadata } from './photo_metadata.mjs';
import { concatBytes, deflate, inflate, jpegSegments, pngChunk as chunk, pngChunks, riffChunks } from './file_bytes.mjs';
import { decodeTiff, encodeTiff, tiffHeaderSize } from './tiff_codec.mjs';
export const MAX_PIXELS = 100_000_000;
export const MAX_SIDE = 32767;

export function sniffFormat(bytes) {
  const b = bytes;
  if (b[0] === 0x89 && b[1] === 0x50 && b[2] === 0x4e && b[3] === 0x47) return 'png';
  if (b[0] === 0xff && b[1] === 0xd8 && b[2] === 0xff) return 'jpeg';
  if (b[0] === 0x52 && b[1] === 0x49 && b[2] === 0x46 && b[3] === 0x46 && b[8] === 0x57 && b[9] === 0x45) return 'webp';
  if ((b[0] === 0x49 && b[1] === 0x49 && b[2] === 0x2a) || (b[0] === 0x4d && b[1] === 0x4d && b[3] === 0x2a)) return 'tiff';
  return null;
}

// Width and height from the header, or null when the header is cut short or damaged.
export function headerSize(bytes, format) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  if (format === 'tiff') return tiffHeaderSize(bytes);
  try {
    if (format === 'png') return { width: view.getUint32(16), height: view.getUint32(20), depth: bytes[24], gray: bytes[25] === 0 || bytes[25] === 4 };
    if (format === 'jpeg') {
      const frame = jpegSegments(bytes).segments.find(({ marker, body }) =>
        marker >= 0xc0 && marker <= 0xcf && marker !== 0xc4 && marker !== 0xc8 && marker !== 0xcc && body.length >= 6);
      if (!frame) return null;
      const { body } = frame;
      return { width: (body[3] << 8) | body[4], height: (body[1] << 8) | body[2], depth: 8, gray: body[5] === 1 };
    }
    if (format === 'webp') {
      const chunk = String.fromCharCode(...bytes.subarray(12, 16));
      if (chunk === 'VP8X') return { width: 1 + (view.getUint32(24, true) & 0xffffff), height: 1 + (view.getUint32(27, true) & 0xffffff), depth: 8 };
      if (chunk === 'VP8 ') return { width: view.getUint16(26, true) & 0x3fff, height: view.getUint16(28, true) & 0x3fff, depth: 8 };
      if (chunk === 'VP8L') {
        const bits = view.getUint32(21, true);
        return { width: 1 + (bits & 0x3fff), height: 1 + ((bits >> 14) & 0x3fff), depth: 8 };
      }
    }
  } catch {
    return null;
  }
  return null;
}

const CHANNELS = { 0: 1, 4: 2, 2: 3, 6: 4 };
const COLOUR_TYPE = { 1: 0, 2: 4, 3: 2, 4: 6 };

// Rows of one (sub-)image unfiltered into `rows` (rowBytes each); returns where its data ended.
function unfilter(raw, at, rows, width, height, pixelBytes) {
  const rowBytes = width * pixelBytes;
  let up = new Uint8Array(rowBytes);
  for (let y = 0; y < height; y++) {
    if (at + 1 + rowBytes > raw.length) throw new Error('the image data is cut short');
    const filter = raw[at];
    const line = raw.subarray(at + 1, at + 1 + rowBytes);
    const out = rows.subarray(y * rowBytes, (y + 1) * rowBytes);
    for (let i = 0; i < rowBytes; i++) {
      const a = i >= pixelBytes ? out[i - pixelBytes] : 0, b = up[i], c = i >= pixelBytes ? up[i - pixelBytes] : 0;
      let p = 0;
      if (filter === 1) p = a; else if (filter === 2) p = b; else if (filter === 3) p = (a + b) >> 1;
      else if (filter === 4) { const q = a + b - c, pa = Math.abs(q - a), pb = Math.abs(q - b), pc = Math.abs(q - c); p = pa <= pb && pa <= pc ? a : pb <= pc ? b : c; }
      out[i] = (line[i] + p) & 0xff;
    }
    up = out;
    at += 1 + rowBytes;
  }
  return at;
}

// Adam7's passes: where each starts and how far its pixels lie apart.
const ADAM7 = [[0, 0, 8, 8], [4, 0, 8, 8], [0, 4, 4, 8], [2, 0, 4, 4], [0, 2, 2, 4], [1, 0, 2, 2], [0, 1, 1, 2]];

// A 16-bit PNG, kept 16-bit (what the browser's own decoder would reduce to 8 bits).
async function decodePng16(bytes) {
  let width = 0, height = 0, channels = 0, interlaced = false;
  const data = [];
  for (const { type, body } of pngChunks(bytes)) {
    if (type === 'IHDR') {
      const view = new DataView(body.buffer, body.byteOffset, body.byteLength);
      width = view.getUint32(0);
      height = view.getUint32(4);
      channels = CHANNELS[body[9]];
      interlaced = body[12] !== 0;
    } else if (type === 'IDAT') data.push(body);
  }
  if (!channels) return null;  // a palette: the browser's decoder reads it
  if (!data.length) throw new Error('it has no image data');
  const raw = await inflate(new Blob(data));
  const pixelBytes = channels * 2, rowBytes = width * pixelBytes;
  const rows = new Uint8Array(rowBytes * height);
  if (!interlaced) {
    unfilter(raw, 0, rows, width, height, pixelBytes);
  } else {
    let at = 0;
    for (const [x0, y0, dx, dy] of ADAM7) {
      const w = Math.ceil((width - x0) / dx), h = Math.ceil((height - y0) / dy);
      if (w <= 0 || h <= 0) continue;
      const pass = new Uint8Array(w * h * pixelBytes);
      at = unfilter(raw, at, pass, w, h, pixelBytes);
      for (let y = 0; y < h; y++)
        for (let x = 0; x < w; x++)
          rows.set(pass.subarray((y * w + x) * pixelBytes, (y * w + x + 1) * pixelBytes), ((y0 + y * dy) * width + x0 + x * dx) * pixelBytes);
    }
  }
  const samples = new Uint16Array(rows.length / 2);
  for (let i = 0; i < samples.length; i++) samples[i] = (rows[2 * i] << 8) | rows[2 * i + 1];
  return { width, height, channels, depth: 16, samples };
}

// The bytes the browser's decoder is given: the picture alone, so that it
// neither turns it (the EXIF orientation is applied here, as the command
// applies it, for every format) nor converts its colours (the profile is
// carried into the download instead).
function pixelsOnly(bytes, format) {
  if (format === 'jpeg') {
    const { segments, stoppedAt } = jpegSegments(bytes);
    const kept = segments.filter((s) => s.marker !== 0xe1 && s.marker !== 0xe2).map((s) => bytes.subarray(s.start, s.end));
    return concatBytes([bytes.subarray(0, 2), ...kept, bytes.subarray(stoppedAt)]);
  }
  if (format === 'png') {
    const dropped = new Set(['eXIf', 'iCCP', 'gAMA', 'cHRM', 'sRGB', 'iTXt', 'zTXt', 'tEXt']);
    const chunks = pngChunks(bytes);
    if (!chunks.length) return bytes;
    return concatBytes([bytes.subarray(0, 8), ...chunks.filter((c) => !dropped.has(c.type)).map((c) => bytes.subarray(c.start, c.end)), bytes.subarray(chunks.at(-1).end)]);
  }
  if (format === 'webp') {
    const parts = [];
    for (const { type, start, end } of riffChunks(bytes)) {
      if (type === 'VP8X') { const copy = bytes.slice(start, end); copy[8] &= ~(0x20 | 0x08 | 0x04); parts.push(copy); }
      else if (type !== 'EXIF' && type !== 'ICCP' && type !== 'XMP ') parts.push(bytes.subarray(start, end));
    }
    const body = concatBytes([bytes.subarray(8, 12), ...parts]);
    const out = concatBytes([bytes.subarray(0, 8), body]);
    new DataView(out.buffer).setUint32(4, body.length, true);
    return out;
  }
  return bytes;
}

// The picture as EXIF orientation `orientation` says it is to be seen.
export function turnUpright(image, orientation) {
  if (orientation === 1) return image;
  const { width: w, height: h, channels, samples } = image;
  const swap = orientation >= 5;
  const width = swap ? h : w, height = swap ? w : h;
  const out = new samples.constructor(samples.length);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      let sx, sy;
      switch (orientation) {
        case 2: sx = w - 1 - x; sy = y; break;
        case 3: sx = w - 1 - x; sy = h - 1 - y; break;
        case 4: sx = x; sy = h - 1 - y; break;
        case 5: sx = y; sy = x; break;
        case 6: sx = y; sy = h - 1 - x; break;
        case 7: sx = w - 1 - y; sy = h - 1 - x; break;
        default: sx = w - 1 - y; sy = x; break;  // 8
      }
      const to = (y * width + x) * channels, from = (sy * w + sx) * channels;
      for (let c = 0; c < channels; c++) out[to + c] = samples[from + c];
    }
  }
  return { ...image, width, height, samples: out };
}

async function decodeWithBrowser(bytes) {
  const bitmap = await createImageBitmap(new Blob([bytes]), { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
  const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
  const context = canvas.getContext('2d', { willReadFrequently: true });
  context.drawImage(bitmap, 0, 0);
  const rgba = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
  bitmap.close();
  let opaque = true;
  for (let i = 3; i < rgba.length; i += 4) if (rgba[i] !== 255) { opaque = false; break; }
  if (!opaque) return { width: canvas.width, height: canvas.height, channels: 4, depth: 8, samples: new Uint8Array(rgba.buffer) };
  const rgb = new Uint8Array(canvas.width * canvas.height * 3);
  for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) { rgb[j] = rgba[i]; rgb[j + 1] = rgba[i + 1]; rgb[j + 2] = rgba[i + 2]; }
  return { width: canvas.width, height: canvas.height, channels: 3, depth: 8, samples: rgb };
}

// A file that ends before its format's end mark (browsers show what they
// could decode of it, grey below; the command refuses it, and so does the page).
function cutShort(bytes, format) {
  if (format === 'jpeg') {
    // The end mark after the first scan (in the scans' data 0xFF is always
    // followed by 0 or a restart mark); what cameras append after it is fine.
    for (let i = jpegSegments(bytes).stoppedAt; i + 1 < bytes.length; i++) if (bytes[i] === 0xff && bytes[i + 1] === 0xd9) return false;
    return true;
  }
  if (format === 'png') {
    const chunks = pngChunks(bytes);
    return !chunks.length || chunks.at(-1).type !== 'IEND';
  }
  if (format === 'webp') return bytes.length < 8 + new DataView(bytes.buffer, bytes.byteOffset).getUint32(4, true);
  return false;  // TIFF: each strip and tile is checked as it is read
}

// A gray file stays gray (the browser hands every picture over as RGBA).
function grayOf(image) {
  const channels = image.channels === 4 ? 2 : 1;
  const samples = new Uint8Array(image.width * image.height * channels);
  for (let i = 0, j = 0; j < samples.length; i += image.channels, j += channels) {
    samples[j] = image.samples[i];
    if (channels === 2) samples[j + 1] = image.samples[i + 3];
  }
  return { ...image, channels, samples };
}

// Decodes a file's bytes into { width, height, channels, depth, samples,
// format, metadata }; throws with words a person can act on.
export async function decodeImage(bytes, name) {
  const format = sniffFormat(bytes);
  if (!format) throw new Error(`${name} is not an image Glyra can read (JPEG, PNG, WebP or TIFF)`);
  const size = headerSize(bytes, format);
  if (!size || !size.width || !size.height) throw new Error(`${name} is damaged: its header cannot be read`);
  if (size.width > MAX_SIDE || size.height > MAX_SIDE)
    throw new Error(`${name} is ${size.width} × ${size.height} pixels; the filter takes at most ${MAX_SIDE} pixels a side`);
  if (size.width * size.height > MAX_PIXELS)
    throw new Error(`${name} has ${(size.width * size.height / 1e6).toFixed(0)} megapixels; in the browser the limit is ${MAX_PIXELS / 1e6} megapixels (the memory a page may have); the glyra command takes larger images`);
  if (cutShort(bytes, format)) throw new Error(`${name} is damaged: the file is cut short`);
  const metadata = await readMetadata(bytes, format);
  let image = null;
  if (format === 'tiff') {
    image = await decodeTiff(bytes).catch((error) => { throw new Error(`${name} is damaged or not readable here: ${error.message}`); });
  } else if (format === 'png' && size.depth === 16) {
    image = await decodePng16(bytes).catch((error) => { throw new Error(`${name} is damaged: ${error.message}`); });
  }
  if (!image) {
    image = await decodeWithBrowser(pixelsOnly(bytes, format)).catch(() => { throw new Error(`${name} is damaged: the browser cannot decode it`); });
    if (size.gray) image = grayOf(image);
  }
  return { ...turnUpright(image, exifOrientation(metadata)), format, metadata };
}

// RGBA 8-bit for the screen (16-bit samples shown by their top eight bits).
export function toImageData(image) {
  const { width, height, channels, depth, samples } = image;
  const out = new ImageData(width, height);
  const shift = depth === 16 ? 8 : 0;
  for (let i = 0, j = 0; i < width * height; i++, j += channels) {
    const gray = channels <= 2;
    out.data[4 * i] = samples[j] >> shift;
    out.data[4 * i + 1] = samples[gray ? j : j + 1] >> shift;
    out.data[4 * i + 2] = samples[gray ? j : j + 2] >> shift;
    out.data[4 * i + 3] = channels === 2 || channels === 4 ? samples[j + channels - 1] >> shift : 255;
  }
  return out;
}

export async function encodePng(image) {
  const { width, height, channels, depth, samples } = image;
  const header = new Uint8Array(13);
  const view = new DataView(header.buffer);
  view.setUint32(0, width);
  view.setUint32(4, height);
  header[8] = depth;
  header[9] = COLOUR_TYPE[channels];
  const rowBytes = width * channels * depth / 8;
  const raw = new Uint8Array((rowBytes + 1) * height);
  for (let y = 0; y < height; y++) {
    const base = y * (rowBytes + 1) + 1, first = y * width * channels;
    if (depth === 16) {
      for (let i = 0; i < width * channels; i++) {
        raw[base + 2 * i] = samples[first + i] >> 8;
        raw[base + 2 * i + 1] = samples[first + i] & 0xff;
      }
    } else {
      raw.set(samples.subarray(first, first + width * channels), base);
    }
  }
  return concatBytes([new Uint8Array([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header), chunk('IDAT', await deflate(raw)), chunk('IEND', new Uint8Array(0))]);
}

// The file for a download as a Blob, and notes on what the format could not hold.
export async function encodeImage(image, format, metadata = null) {
  if (format === 'tiff') return { blob: new Blob([await encodeTiff(image, metadata)], { type: 'image/tiff' }), notes: [] };
  let bytes;
  if (format === 'png') bytes = await encodePng(image);
  else {
    const canvas = new OffscreenCanvas(image.width, image.height);
    canvas.getContext('2d').putImageData(toImageData(image), 0, 0);
    const blob = await canvas.convertToBlob({ type: format === 'jpeg' ? 'image/jpeg' : 'image/webp', quality: 0.92 });
    bytes = new Uint8Array(await blob.arrayBuffer());
  }
  const written = metadata ? await addMetadata(bytes, format, metadata, image.width, image.height) : { bytes, notes: [] };
  return { blob: new Blob([written.bytes], { type: `image/${format}` }), notes: written.notes };
}
