// Image files in and out in the browser: the size read from the header (to
// refuse what will not fit before decoding), JPEG, PNG and WebP decoded with
// the EXIF orientation applied, 16-bit PNG kept 16-bit, and PNG (8 or 16
// bits), JPEG and WebP written.
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
  try {
    if (format === 'png') return { width: view.getUint32(16), height: view.getUint32(20), depth: bytes[24] };
    if (format === 'jpeg') {
      let at = 2;
      while (at + 9 < bytes.length) {
        if (bytes[at] !== 0xff) return null;
        const marker = bytes[at + 1];
        const length = view.getUint16(at + 2);
        if (marker >= 0xc0 && marker <= 0xcf && marker !== 0xc4 && marker !== 0xc8 && marker !== 0xcc)
          return { width: view.getUint16(at + 7), height: view.getUint16(at + 5), depth: 8 };
        at += 2 + length;
      }
      return null;
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

async function inflate(data) {
  const stream = new Blob([data]).stream().pipeThrough(new DecompressionStream('deflate'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}
async function deflate(data) {
  const stream = new Blob([data]).stream().pipeThrough(new CompressionStream('deflate'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

const CHANNELS = { 0: 1, 4: 2, 2: 3, 6: 4 };
const COLOUR_TYPE = { 1: 0, 2: 4, 3: 2, 4: 6 };

// A 16-bit PNG, kept 16-bit (non-interlaced; what the browser's own decoder would reduce to 8 bits).
async function decodePng16(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  let at = 8, width = 0, height = 0, channels = 0, interlaced = false;
  const data = [];
  while (at + 8 <= bytes.length) {
    const length = view.getUint32(at);
    const type = String.fromCharCode(...bytes.subarray(at + 4, at + 8));
    if (at + 12 + length > bytes.length) throw new Error('the file is cut short');
    const body = bytes.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = view.getUint32(at + 8);
      height = view.getUint32(at + 12);
      channels = CHANNELS[body[9]];
      interlaced = body[12] !== 0;
    } else if (type === 'IDAT') data.push(body);
    else if (type === 'IEND') break;
    at += 12 + length;
  }
  if (!channels) return null;  // a palette: the browser's decoder reads it
  if (interlaced) throw new Error('interlaced 16-bit PNG files are not read in the browser yet');
  const raw = await inflate(new Blob(data));
  const pixelBytes = channels * 2, rowBytes = width * pixelBytes;
  if (raw.length < (rowBytes + 1) * height) throw new Error('the image data is cut short');
  const rows = new Uint8Array(rowBytes * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (rowBytes + 1)];
    const line = raw.subarray(y * (rowBytes + 1) + 1, (y + 1) * (rowBytes + 1));
    const out = rows.subarray(y * rowBytes, (y + 1) * rowBytes);
    const up = y > 0 ? rows.subarray((y - 1) * rowBytes, y * rowBytes) : new Uint8Array(rowBytes);
    for (let i = 0; i < rowBytes; i++) {
      const a = i >= pixelBytes ? out[i - pixelBytes] : 0, b = up[i], c = i >= pixelBytes ? up[i - pixelBytes] : 0;
      let p = 0;
      if (filter === 1) p = a; else if (filter === 2) p = b; else if (filter === 3) p = (a + b) >> 1;
      else if (filter === 4) { const q = a + b - c, pa = Math.abs(q - a), pb = Math.abs(q - b), pc = Math.abs(q - c); p = pa <= pb && pa <= pc ? a : pb <= pc ? b : c; }
      out[i] = (line[i] + p) & 0xff;
    }
  }
  const samples = new Uint16Array(rows.length / 2);
  for (let i = 0; i < samples.length; i++) samples[i] = (rows[2 * i] << 8) | rows[2 * i + 1];
  return { width, height, channels, depth: 16, samples };
}

// Decodes a file's bytes; throws with words a person can act on.
export async function decodeImage(bytes, name) {
  const format = sniffFormat(bytes);
  if (format === 'tiff') throw new Error(`${name}: TIFF files are not read in the browser yet; the glyra command reads them`);
  if (!format) throw new Error(`${name} is not an image Glyra can read (JPEG, PNG or WebP)`);
  const size = headerSize(bytes, format);
  if (!size || !size.width || !size.height) throw new Error(`${name} is damaged: its header cannot be read`);
  if (size.width > MAX_SIDE || size.height > MAX_SIDE)
    throw new Error(`${name} is ${size.width} × ${size.height} pixels; the filter takes at most ${MAX_SIDE} pixels a side`);
  if (size.width * size.height > MAX_PIXELS)
    throw new Error(`${name} has ${(size.width * size.height / 1e6).toFixed(0)} megapixels; in the browser the limit is ${MAX_PIXELS / 1e6} megapixels (the memory a page may have); the glyra command takes larger images`);
  if (format === 'png' && size.depth === 16) {
    const image = await decodePng16(bytes).catch((error) => { throw new Error(`${name} is damaged: ${error.message}`); });
    if (image) return { ...image, format };
  }
  let bitmap;
  try {
    bitmap = await createImageBitmap(new Blob([bytes]), { imageOrientation: 'from-image', premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
  } catch {
    throw new Error(`${name} is damaged: the browser cannot decode it`);
  }
  const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
  const context = canvas.getContext('2d', { willReadFrequently: true });
  context.drawImage(bitmap, 0, 0);
  const rgba = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
  bitmap.close();
  let opaque = true;
  for (let i = 3; i < rgba.length; i += 4) if (rgba[i] !== 255) { opaque = false; break; }
  if (!opaque) return { width: canvas.width, height: canvas.height, channels: 4, depth: 8, samples: new Uint8Array(rgba.buffer), format };
  const rgb = new Uint8Array(canvas.width * canvas.height * 3);
  for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) { rgb[j] = rgba[i]; rgb[j + 1] = rgba[i + 1]; rgb[j + 2] = rgba[i + 2]; }
  return { width: canvas.width, height: canvas.height, channels: 3, depth: 8, samples: rgb, format };
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

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function chunk(type, body) {
  const out = new Uint8Array(12 + body.length);
  const view = new DataView(out.buffer);
  view.setUint32(0, body.length);
  for (let i = 0; i < 4; i++) out[4 + i] = type.charCodeAt(i);
  out.set(body, 8);
  let c = 0xffffffff;
  for (let i = 4; i < 8 + body.length; i++) c = CRC_TABLE[(c ^ out[i]) & 0xff] ^ (c >>> 8);
  view.setUint32(8 + body.length, (c ^ 0xffffffff) >>> 0);
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
  return new Blob([new Uint8Array([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header), chunk('IDAT', await deflate(raw)), chunk('IEND', new Uint8Array(0))], { type: 'image/png' });
}

export async function encodeImage(image, format) {
  if (format === 'png') return encodePng(image);
  const canvas = new OffscreenCanvas(image.width, image.height);
  canvas.getContext('2d').putImageData(toImageData(image), 0, 0);
  return canvas.convertToBlob({ type: format === 'jpeg' ? 'image/jpeg' : 'image/webp', quality: 0.92 });
}
