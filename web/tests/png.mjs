// The little of PNG the web tests need, with Node's zlib: non-interlaced
// 8- and 16-bit gray, gray + alpha, RGB and RGBA, read and written.
// Sixteen-bit samples come out as numbers in the machine's order
// (Uint16Array); eight-bit ones as a Uint8Array.
import zlib from 'node:zlib';

const CHANNELS = { 0: 1, 4: 2, 2: 3, 6: 4 };
const COLOUR_TYPE = { 1: 0, 2: 4, 3: 2, 4: 6 };

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function paeth(a, b, c) {
  const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

export function decodePng(buffer) {
  const bytes = new Uint8Array(buffer);
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  let at = 8, width = 0, height = 0, depth = 0, channels = 0;
  const data = [];
  while (at < bytes.length) {
    const length = view.getUint32(at);
    const type = String.fromCharCode(...bytes.subarray(at + 4, at + 8));
    const body = bytes.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = view.getUint32(at + 8);
      height = view.getUint32(at + 12);
      depth = body[8];
      channels = CHANNELS[body[9]];
      if (!channels || body[12] !== 0 || (depth !== 8 && depth !== 16)) throw new Error('unsupported PNG');
    } else if (type === 'IDAT') {
      data.push(body);
    } else if (type === 'IEND') {
      break;
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const pixelBytes = channels * depth / 8, rowBytes = width * pixelBytes;
  const rows = new Uint8Array(rowBytes * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (rowBytes + 1)];
    const line = raw.subarray(y * (rowBytes + 1) + 1, (y + 1) * (rowBytes + 1));
    const out = rows.subarray(y * rowBytes, (y + 1) * rowBytes);
    const up = y > 0 ? rows.subarray((y - 1) * rowBytes, y * rowBytes) : new Uint8Array(rowBytes);
    for (let i = 0; i < rowBytes; i++) {
      const a = i >= pixelBytes ? out[i - pixelBytes] : 0, b = up[i], c = i >= pixelBytes ? up[i - pixelBytes] : 0;
      const predictor = [0, a, b, (a + b) >> 1, paeth(a, b, c)][filter];
      out[i] = (line[i] + predictor) & 0xff;
    }
  }
  let samples = rows;
  if (depth === 16) {
    samples = new Uint16Array(rows.length / 2);
    for (let i = 0; i < samples.length; i++) samples[i] = (rows[2 * i] << 8) | rows[2 * i + 1];
  }
  return { width, height, depth, channels, samples };
}

function chunk(type, body) {
  const out = new Uint8Array(12 + body.length);
  const view = new DataView(out.buffer);
  view.setUint32(0, body.length);
  out.set(Buffer.from(type, 'latin1'), 4);
  out.set(body, 8);
  view.setUint32(8 + body.length, crc32(out.subarray(4, 8 + body.length)));
  return out;
}

export function encodePng({ width, height, depth, channels, samples }) {
  const header = new Uint8Array(13);
  const view = new DataView(header.buffer);
  view.setUint32(0, width);
  view.setUint32(4, height);
  header[8] = depth;
  header[9] = COLOUR_TYPE[channels];
  const rowBytes = width * channels * depth / 8;
  const raw = new Uint8Array((rowBytes + 1) * height);
  for (let y = 0; y < height; y++)
    for (let i = 0; i < width * channels; i++) {
      const v = samples[y * width * channels + i];
      if (depth === 16) {
        raw[y * (rowBytes + 1) + 1 + 2 * i] = v >> 8;
        raw[y * (rowBytes + 1) + 2 + 2 * i] = v & 0xff;
      } else {
        raw[y * (rowBytes + 1) + 1 + i] = v;
      }
    }
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header),
    chunk('IDAT', zlib.deflateSync(raw)), chunk('IEND', new Uint8Array(0))]);
}

// How many of `expected`'s samples `got` does not have (a missing one counts).
export function differingSamples(got, expected) {
  let differing = 0;
  for (let i = 0; i < expected.samples.length; i++) differing += got.samples[i] !== expected.samples[i];
  return differing;
}
