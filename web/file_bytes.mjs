// Byte-level pieces the image codecs and the metadata share: zlib streams
// through the platform's (de)compression streams, and PNG chunk framing.

export async function inflate(data) {
  const stream = new Blob([data]).stream().pipeThrough(new DecompressionStream('deflate'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

export async function deflate(data) {
  const stream = new Blob([data]).stream().pipeThrough(new CompressionStream('deflate'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

// Length, type, body and CRC.
export function pngChunk(type, body) {
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

// Each chunk of a PNG file as { type, body, start, end } (start/end span the whole chunk).
export function pngChunks(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const chunks = [];
  for (let at = 8; at + 12 <= bytes.length;) {
    const length = view.getUint32(at);
    if (at + 12 + length > bytes.length) break;
    const type = String.fromCharCode(...bytes.subarray(at + 4, at + 8));
    chunks.push({ type, body: bytes.subarray(at + 8, at + 8 + length), start: at, end: at + 12 + length });
    at += 12 + length;
    if (type === 'IEND') break;
  }
  return chunks;
}

// The segments of a JPEG before its first scan as { marker, body, start,
// end } (start/end span the marker and length too), and where the walk
// stopped: the scan's marker, the end mark, or where the segments are damaged.
export function jpegSegments(bytes) {
  const segments = [];
  let at = 2;
  while (at + 4 <= bytes.length && bytes[at] === 0xff) {
    const marker = bytes[at + 1];
    if (marker === 0xff) { at++; continue; }  // fill bytes
    if (marker === 0xda || marker === 0xd9) break;
    const end = at + 2 + ((bytes[at + 2] << 8) | bytes[at + 3]);
    if (end < at + 4 || end > bytes.length) break;
    segments.push({ marker, body: bytes.subarray(at + 4, end), start: at, end });
    at = end;
  }
  return { segments, stoppedAt: at };
}

// Each chunk of a RIFF file (WebP) after its header as { type, body, start,
// end } (end past the padding byte; both within the bytes held).
export function riffChunks(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const chunks = [];
  for (let at = 12; at + 8 <= bytes.length;) {
    const size = view.getUint32(at + 4, true);
    const next = at + 8 + size + (size & 1);
    chunks.push({ type: latin1(bytes.subarray(at, at + 4)), body: bytes.subarray(at + 8, Math.min(bytes.length, at + 8 + size)),
      start: at, end: Math.min(bytes.length, next) });
    at = next;
  }
  return chunks;
}

export function concatBytes(parts) {
  const out = new Uint8Array(parts.reduce((sum, part) => sum + part.length, 0));
  let at = 0;
  for (const part of parts) { out.set(part, at); at += part.length; }
  return out;
}

// Bytes as characters 0-255 (in pieces: a call takes only so many arguments).
export function latin1(bytes) {
  let text = '';
  for (let at = 0; at < bytes.length; at += 8192) text += String.fromCharCode(...bytes.subarray(at, at + 8192));
  return text;
}
export const ascii = (text) => Uint8Array.from(text, (c) => c.charCodeAt(0) & 0xff);

export function startsWith(bytes, text, at = 0) {
  if (at + text.length > bytes.length) return false;
  for (let i = 0; i < text.length; i++) if (bytes[at + i] !== text.charCodeAt(i)) return false;
  return true;
}
