// The TIFF structure that both TIFF files and EXIF blocks are made of: a
// header naming the byte order, and directories (IFDs) of 12-byte entries
// whose values sit in the entry when they fit in four bytes and elsewhere in
// the file when not. Reading checks every offset against the bytes held.

export const TYPE_SIZE = [0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4];
export const SHORT = 3, LONG = 4, UNDEFINED = 7, BYTE = 1, ASCII = 2, RATIONAL = 5;

export class TiffDamage extends Error {}

export function tiffReader(bytes) {
  if (bytes.length < 8) throw new TiffDamage('its TIFF header is cut short');
  const order = String.fromCharCode(bytes[0], bytes[1]);
  if (order !== 'II' && order !== 'MM') throw new TiffDamage('its TIFF header names no byte order');
  const little = order === 'II';
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const reader = {
    bytes, little, view,
    u16: (at) => { if (at + 2 > bytes.length) throw new TiffDamage('an offset points past its end'); return view.getUint16(at, little); },
    u32: (at) => { if (at + 4 > bytes.length) throw new TiffDamage('an offset points past its end'); return view.getUint32(at, little); },
  };
  if (reader.u16(2) !== 42) throw new TiffDamage('its TIFF header is not one');
  reader.first = reader.u32(4);
  return reader;
}

// The entries of the directory at offset, each with where its value lies.
export function readIfd(reader, offset) {
  const count = reader.u16(offset);
  if (offset + 2 + 12 * count + 4 > reader.bytes.length) throw new TiffDamage('a directory runs past its end');
  const entries = [];
  for (let i = 0; i < count; i++) {
    const at = offset + 2 + 12 * i;
    const type = reader.u16(at + 2), valueCount = reader.u32(at + 4);
    const size = (TYPE_SIZE[type] || 0) * valueCount;
    const valueAt = size <= 4 ? at + 8 : reader.u32(at + 8);
    if (!TYPE_SIZE[type] || valueAt + size > reader.bytes.length) continue;  // unknown or out of bounds: not ours to carry
    entries.push({ tag: reader.u16(at), type, count: valueCount, at, valueAt, size });
  }
  return { entries, nextAt: offset + 2 + 12 * count, next: reader.u32(offset + 2 + 12 * count) };
}

export function entryBytes(reader, entry) { return reader.bytes.subarray(entry.valueAt, entry.valueAt + entry.size); }

// BYTE, SHORT and LONG values as numbers.
export function entryNumbers(reader, entry) {
  const values = [];
  const step = TYPE_SIZE[entry.type];
  for (let i = 0; i < entry.count; i++) {
    const at = entry.valueAt + i * step;
    values.push(step === 1 ? reader.bytes[at] : step === 2 ? reader.u16(at) : reader.u32(at));
  }
  return values;
}

// The numbers of the first entry of `tag` in a directory's entries ([] when
// there is none), and the first of them or `otherwise`.
export function tagNumbers(reader, entries, tag) {
  const entry = entries.find((e) => e.tag === tag);
  return entry ? entryNumbers(reader, entry) : [];
}
export function tagNumber(reader, entries, tag, otherwise) {
  const values = tagNumbers(reader, entries, tag);
  return values.length ? values[0] : otherwise;
}

// Writes directories: entries { tag, type, count, bytes (in the writer's byte
// order) } or { tag, type: SHORT|LONG, numbers }, or { tag, ifd: [entries] }
// for a pointer to a directory of its own; values over four bytes follow the
// directory; { tag, type, count, field } keeps an entry's four value bytes
// as they are (an offset already true in the file); `placeAt` asks for a value's old offset. `base` is where out[0] will sit in the file (offsets count from the header).
export function tiffWriter(little) {
  const parts = [];
  let length = 0;
  const writer = {
    little,
    get length() { return length; },
    append(bytes) { const at = length; parts.push({ at, bytes }); length += bytes.length; if (length % 2) { parts.push({ at: length, bytes: new Uint8Array(1) }); length++; } return at; },
    // The directory at the current end; returns its offset and where its next-directory field is.
    directory(entries, base = 0) {
      const sorted = [...entries].sort((a, b) => a.tag - b.tag);
      const table = new Uint8Array(2 + 12 * sorted.length + 4);
      const view = new DataView(table.buffer);
      view.setUint16(0, sorted.length, little);
      const at = writer.append(table);
      const later = [];
      sorted.forEach((entry, i) => {
        const e = 2 + 12 * i;
        let bytes = entry.bytes, type = entry.type, count = entry.count;
        if (entry.numbers) {
          bytes = new Uint8Array(entry.numbers.length * TYPE_SIZE[type]);
          const v = new DataView(bytes.buffer);
          entry.numbers.forEach((n, k) => (type === SHORT ? v.setUint16(2 * k, n, little) : v.setUint32(4 * k, n, little)));
          count = entry.numbers.length;
        }
        if (entry.ifd) { type = LONG; count = 1; bytes = null; }
        view.setUint16(e, entry.tag, little);
        view.setUint16(e + 2, type, little);
        view.setUint32(e + 4, count, little);
        if (entry.ifd) later.push({ e, ifd: entry.ifd });
        else if (entry.field) table.set(entry.field, e + 8);
        else if (bytes.length <= 4) table.set(bytes, e + 8);
        else {
          // A value that must stay where it was (offsets inside it count from the header) goes there when it still can.
          if (entry.placeAt !== undefined && entry.placeAt - base >= length) writer.append(new Uint8Array(entry.placeAt - base - length));
          view.setUint32(e + 8, base + writer.append(bytes), little);
        }
      });
      for (const { e, ifd } of later) view.setUint32(e + 8, base + writer.directory(ifd, base).at, little);
      return { at, nextAt: at + 2 + 12 * sorted.length };
    },
    setU32(at, value) { for (const part of parts) if (at >= part.at && at < part.at + part.bytes.length) { new DataView(part.bytes.buffer, part.bytes.byteOffset).setUint32(at - part.at, value, little); return; } },
    bytes() {
      const out = new Uint8Array(length);
      for (const part of parts) out.set(part.bytes, part.at);
      return out;
    },
  };
  return writer;
}
