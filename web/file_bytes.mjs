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
