// A photograph's metadata carried from the opened file into the download, as
// the glyra command carries it: the ICC profile, EXIF with maker notes and GPS
// (the orientation reset to upright, the new size, no thumbnail of the
// unfiltered picture, nothing that describes the input's storage), XMP and
// IPTC. Read from JPEG, PNG, WebP and TIFF; written into JPEG, PNG, WebP and
// (by tiff_codec.mjs) TIFF. EXIF is kept as the camera wrote it and edited
// where it lies, so maker notes whose offsets count from its header stay sound.
import { ascii, concatBytes, deflate, inflate, jpegSegments, latin1, pngChunk, pngChunks, riffChunks, startsWith } from './file_bytes.mjs';
import { splitXmp } from './xmp_split.mjs';
import { NO_RESOLUTION, pngResolution, readResolution, withJpegDensity } from './stored_resolution.mjs';
import {
  LONG, SHORT, TiffDamage, entryBytes, readIfd, tiffReader, tiffWriter,
} from './tiff_structure.mjs';

const EXIF_SIGNATURE = 'Exif\0\0';
const XMP_SIGNATURE = 'http://ns.adobe.com/xap/1.0/\0';
const EXTENSION_SIGNATURE = 'http://ns.adobe.com/xmp/extension/\0';
const ICC_SIGNATURE = 'ICC_PROFILE\0';
const PHOTOSHOP_SIGNATURE = 'Photoshop 3.0\0';
const IPTC_RESOURCE = 0x0404;

// Tags of the first directory that say how the input stored its pixels (or
// hold what is carried separately: ICC, IPTC, XMP, Photoshop's block).
const STORAGE_TAGS = new Set([
  0x00fe, 0x00ff, 0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x0107, 0x010a, 0x0111, 0x0115, 0x0116,
  0x0117, 0x011c, 0x013d, 0x0140, 0x0142, 0x0143, 0x0144, 0x0145, 0x014a, 0x0152, 0x0153, 0x0154,
  0x0155, 0x015b, 0x0200, 0x0201, 0x0202, 0x02bc, 0x83bb, 0x8649, 0x8773]);
const EXIF_IFD = 0x8769, GPS_IFD = 0x8825, INTEROP_IFD = 0xa005, ORIENTATION = 0x0112;
const PIXEL_X = 0xa002, PIXEL_Y = 0xa003, MAKER_NOTE = 0x927c;

const utf8 = new TextDecoder();
// XMP may be stored in UTF-16 or UTF-8; it is written back in UTF-8.
function decodeXmp(bytes) {
  let encoding = 'utf-8';
  if ((bytes[0] === 0xfe && bytes[1] === 0xff) || (bytes[0] === 0 && bytes[1] !== 0)) encoding = 'utf-16be';
  else if ((bytes[0] === 0xff && bytes[1] === 0xfe) || (bytes[0] !== 0 && bytes[1] === 0)) encoding = 'utf-16le';
  return new TextDecoder(encoding).decode(bytes).replace(/\0+$/, '');
}
const encodeUtf8 = (text) => new TextEncoder().encode(text);
// An EXIF block with or without the "Exif\0\0" that JPEG (and some writers elsewhere) put before it.
const exifBlock = (bytes) => (startsWith(bytes, EXIF_SIGNATURE) ? bytes.slice(EXIF_SIGNATURE.length) : bytes.slice());

export function emptyMetadata() {
  return { icc: null, exif: null, xmp: null, xmpExtension: [], iptc: null, resolution: NO_RESOLUTION, texts: [], notes: [] };
}

export function hasMetadata(metadata) {
  return Boolean(metadata && (metadata.icc || metadata.exif || metadata.xmp || metadata.iptc));
}

// ---- Reading ----

// IPTC records out of a Photoshop resource block ("8BIM" resources).
function iptcFromResources(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  for (let at = 0; at + 12 <= bytes.length;) {
    if (!startsWith(bytes, '8BIM', at)) break;
    const id = view.getUint16(at + 4);
    const nameLength = bytes[at + 6];
    const sizeAt = at + 6 + ((nameLength + 2) & ~1);
    if (sizeAt + 4 > bytes.length) break;
    const size = view.getUint32(sizeAt);
    const body = bytes.subarray(sizeAt + 4, Math.min(bytes.length, sizeAt + 4 + size));
    if (id === IPTC_RESOURCE && body.length) return body.slice();
    at = sizeAt + 4 + size + (size & 1);
  }
  return null;
}
function iptcFromAnyBlock(bytes) {
  if (startsWith(bytes, PHOTOSHOP_SIGNATURE)) bytes = bytes.subarray(PHOTOSHOP_SIGNATURE.length);
  if (startsWith(bytes, '8BIM')) return iptcFromResources(bytes);
  return bytes[0] === 0x1c ? bytes.slice() : null;
}

// The extended part of a JPEG's XMP, its pieces put in order.
function joinExtension(pieces, guid) {
  const mine = pieces.filter((p) => p.guid === guid).sort((a, b) => a.offset - b.offset);
  if (!mine.length) return null;
  const whole = new Uint8Array(mine[0].total);
  let covered = 0;
  for (const piece of mine) {
    if (piece.offset + piece.data.length > whole.length) return null;
    whole.set(piece.data, piece.offset);
    covered += piece.data.length;
  }
  return covered === whole.length ? utf8.decode(whole) : null;
}

// One packet from the standard part and the extended one: the extended
// descriptions join the standard's, which no longer points elsewhere.
function mergeXmp(standard, extended) {
  const open = /<rdf:RDF[^>]*>/.exec(extended), close = extended.lastIndexOf('</rdf:RDF>');
  const at = standard.lastIndexOf('</rdf:RDF>');
  if (!open || close < 0 || at < 0) return null;
  const descriptions = extended.slice(open.index + open[0].length, close);
  return withoutExtensionNote(standard.slice(0, at) + descriptions + standard.slice(at));
}
function withoutExtensionNote(xmp) {
  return xmp.replace(/\s+xmpNote:HasExtendedXMP=("[^"]*"|'[^']*')/g, '')
    .replace(/<xmpNote:HasExtendedXMP>[^<]*<\/xmpNote:HasExtendedXMP>/g, '');
}

function readJpeg(bytes, metadata) {
  const icc = [], extension = [], photoshop = [];
  for (const { marker, body } of jpegSegments(bytes).segments) {
    if (marker === 0xe1 && startsWith(body, EXIF_SIGNATURE) && !metadata.exif) metadata.exif = exifBlock(body);
    else if (marker === 0xe1 && startsWith(body, XMP_SIGNATURE) && metadata.xmp === null) metadata.xmp = decodeXmp(body.subarray(XMP_SIGNATURE.length));
    else if (marker === 0xe1 && startsWith(body, EXTENSION_SIGNATURE) && body.length > EXTENSION_SIGNATURE.length + 40) {
      const head = EXTENSION_SIGNATURE.length;
      const view = new DataView(body.buffer, body.byteOffset + head + 32, 8);
      metadata.xmpExtension.push(body.slice());
      extension.push({ guid: latin1(body.subarray(head, head + 32)), total: view.getUint32(0), offset: view.getUint32(4), data: body.subarray(head + 40) });
    } else if (marker === 0xe2 && startsWith(body, ICC_SIGNATURE) && body.length > 14) icc.push({ sequence: body[12], data: body.subarray(14) });
    else if (marker === 0xed && startsWith(body, PHOTOSHOP_SIGNATURE)) photoshop.push(body.subarray(PHOTOSHOP_SIGNATURE.length));
  }
  if (icc.length) metadata.icc = concatBytes(icc.sort((a, b) => a.sequence - b.sequence).map((c) => c.data));
  if (photoshop.length) metadata.iptc = iptcFromResources(concatBytes(photoshop));
  const guid = metadata.xmp && /HasExtendedXMP(?:="|>)([0-9A-Fa-f]{32})/.exec(metadata.xmp);
  if (guid) {
    const extended = joinExtension(extension, guid[1]);
    const merged = extended && mergeXmp(metadata.xmp, extended);
    if (merged) { metadata.xmpStandard = metadata.xmp; metadata.xmp = merged; } else {
      metadata.notes.push('its extended XMP is missing or damaged; the rest of its XMP is kept');
      metadata.xmpExtension = [];
    }
  } else {
    metadata.xmpExtension = [];
  }
}

// ImageMagick's and Exiv2's way of keeping metadata in PNG text: the kind,
// the length and the bytes in hexadecimal.
function rawProfile(text) {
  const match = /^\s*\S+\s+(\d+)\s+([\s\S]*)$/.exec(text);
  if (!match) return null;
  const hex = match[2].replace(/[^0-9a-fA-F]/g, '');
  const length = Math.min(Number(match[1]), hex.length >> 1);
  const out = new Uint8Array(length);
  for (let i = 0; i < length; i++) out[i] = parseInt(hex.substr(2 * i, 2), 16);
  return out;
}
function encodeRawProfile(kind, bytes) {
  let hex = '';
  for (let i = 0; i < bytes.length; i++) hex += (i % 36 === 0 ? '\n' : '') + bytes[i].toString(16).padStart(2, '0');
  return `\n${kind}\n${String(bytes.length).padStart(8)}${hex}\n`;
}

async function readPng(bytes, metadata) {
  for (const { type, body } of pngChunks(bytes)) {
    if (type === 'iCCP') {
      const nameEnd = body.indexOf(0);
      if (nameEnd > 0) metadata.icc = await inflate(body.subarray(nameEnd + 2)).catch(() => null);
    } else if (type === 'eXIf') {
      metadata.exif = exifBlock(body);
    } else if (type === 'iTXt' || type === 'zTXt' || type === 'tEXt') {
      const keyEnd = body.indexOf(0);
      if (keyEnd <= 0) continue;
      const keyword = latin1(body.subarray(0, keyEnd));
      let text;
      if (type === 'tEXt') text = body.subarray(keyEnd + 1);
      else if (type === 'zTXt') text = await inflate(body.subarray(keyEnd + 2)).catch(() => null);
      else {
        const compressed = body[keyEnd + 1] === 1;
        let at = body.indexOf(0, keyEnd + 3);           // language tag
        at = body.indexOf(0, at + 1);                    // translated keyword
        if (at < 0) continue;
        text = compressed ? await inflate(body.subarray(at + 1)).catch(() => null) : body.subarray(at + 1);
      }
      if (!text) continue;
      if (keyword === 'XML:com.adobe.xmp') metadata.xmp = decodeXmp(text);
      else if (/^Raw profile type (exif|APP1)$/i.test(keyword) && !metadata.exif) {
        const raw = rawProfile(latin1(text));
        if (raw) metadata.exif = exifBlock(raw);
      } else if (/^Raw profile type iptc$/i.test(keyword)) {
        const raw = rawProfile(latin1(text));
        if (raw) metadata.iptc = iptcFromAnyBlock(raw);
      } else if (/^Raw profile type xmp$/i.test(keyword) && !metadata.xmp) {
        const raw = rawProfile(latin1(text));
        if (raw) metadata.xmp = decodeXmp(raw);
      } else if (!/^Raw profile type /i.test(keyword)) {
        // A text of the picture's own (a comment, an author): Latin-1 in tEXt and zTXt, UTF-8 in iTXt.
        metadata.texts.push({ keyword, text: type === 'iTXt' ? utf8.decode(text) : latin1(text) });
      }
    }
  }
}

function readWebp(bytes, metadata) {
  for (const { type, body } of riffChunks(bytes)) {
    if (type === 'ICCP') metadata.icc = body.slice();
    else if (type === 'EXIF') metadata.exif = exifBlock(body);
    else if (type === 'XMP ') metadata.xmp = decodeXmp(body);
  }
}

// The EXIF of a TIFF structure's first directory and the directories it
// points to (EXIF, GPS, Interop), as entries to write again: storage tags and
// what is carried separately left out, and `dropped` tags too. A maker note
// may count its offsets from the header: it keeps its offset where the block
// stays small enough for a JPEG segment.
function gatherExif(reader, dropped = new Set()) {
  const copy = (entry) => ({
    tag: entry.tag, type: entry.type, count: entry.count, bytes: entryBytes(reader, entry).slice(),
    placeAt: entry.tag === MAKER_NOTE && entry.valueAt + entry.size < 60000 ? entry.valueAt : undefined,
  });
  const directory = (offset, depth) => {
    const entries = [];
    for (const entry of readIfd(reader, offset).entries) {
      if (dropped.has(`${depth}:${entry.tag}`)) continue;
      if (entry.tag === INTEROP_IFD && depth === 1) entries.push({ tag: entry.tag, ifd: directory(reader.u32(entry.valueAt), 2) });
      else entries.push(copy(entry));
    }
    return entries;
  };
  const top = [];
  for (const entry of readIfd(reader, reader.first).entries) {
    if (STORAGE_TAGS.has(entry.tag) || dropped.has(`0:${entry.tag}`)) continue;
    if (entry.tag === EXIF_IFD || entry.tag === GPS_IFD) top.push({ tag: entry.tag, ifd: directory(reader.u32(entry.valueAt), 1) });
    else top.push(copy(entry));
  }
  return top;
}
function writeExif(entries, little) {
  const writer = tiffWriter(little);
  writer.append(ascii(little ? 'II*\0\x08\0\0\0' : 'MM\0*\0\0\0\x08'));
  writer.directory(entries);
  return writer.bytes();
}

// A TIFF keeps EXIF in its first directory and the directories it points to:
// those are gathered into an EXIF block of their own.
function readTiff(bytes, metadata) {
  const reader = tiffReader(bytes);
  for (const entry of readIfd(reader, reader.first).entries) {
    if (entry.tag === 34675) metadata.icc = entryBytes(reader, entry).slice();
    else if (entry.tag === 700) metadata.xmp = decodeXmp(entryBytes(reader, entry));
    else if (entry.tag === 33723) metadata.iptc = iptcFromAnyBlock(entryBytes(reader, entry));
  }
  const top = gatherExif(reader);
  if (top.length) metadata.exif = writeExif(top, reader.little);
}

// EXIF for a JPEG, which holds 64 kB of it: the largest tags left out, one at
// a time, until the rest fits; returns the block and the tags left out.
function exifToFit(exif, limit) {
  if (exif.length <= limit) return { exif, dropped: [] };
  const reader = tiffReader(exif);
  const sizes = [];
  const measure = (entries, depth) => {
    for (const entry of entries) {
      if (entry.ifd) measure(entry.ifd, entry.tag === INTEROP_IFD ? 2 : 1);
      else sizes.push({ key: `${depth}:${entry.tag}`, size: entry.bytes.length, name: tagName(depth, entry.tag) });
    }
  };
  measure(gatherExif(reader), 0);
  sizes.sort((a, b) => b.size - a.size);
  const dropped = new Set(), names = [];
  for (const { key, name } of sizes) {
    dropped.add(key);
    names.push(name);
    const smaller = writeExif(gatherExif(reader, dropped), reader.little);
    if (smaller.length <= limit) return { exif: smaller, dropped: names };
  }
  return { exif: null, dropped: names };
}
const TAG_NAMES = { 0x010e: 'ImageDescription', 0x927c: 'MakerNote', 0x9286: 'UserComment', 0x8298: 'Copyright', 0x013b: 'Artist', 0xc4a5: 'PrintImageMatching' };
function tagName(depth, tag) {
  const group = ['Image', 'Photo', 'Interop'][depth];
  return `Exif.${group}.${TAG_NAMES[tag] || `0x${tag.toString(16).padStart(4, '0')}`}`;
}

// What the file holds, by its format; damage in the metadata is said in
// `notes` and leaves that part out, never the picture.
export async function readMetadata(bytes, format) {
  const metadata = emptyMetadata();
  try {
    if (format === 'jpeg') readJpeg(bytes, metadata);
    else if (format === 'png') await readPng(bytes, metadata);
    else if (format === 'webp') readWebp(bytes, metadata);
    else if (format === 'tiff') readTiff(bytes, metadata);
  } catch (error) {
    metadata.notes.push(`its metadata cannot be read (${error.message}); the picture is read without it`);
    return { ...emptyMetadata(), notes: metadata.notes };
  }
  if (metadata.exif) {
    try { tiffReader(metadata.exif); } catch (error) {
      metadata.notes.push(`its EXIF is damaged (${error.message}) and is left out`);
      metadata.exif = null;
    }
  }
  if (metadata.xmp !== null && !wellFormedXml(metadata.xmp)) {
    metadata.notes.push('its XMP is damaged (not well-formed XML) and is left out');
    metadata.xmp = null;
    metadata.xmpExtension = [];
  }
  if (metadata.iptc && !soundIptc(metadata.iptc)) {
    metadata.notes.push('its IPTC is damaged and is left out');
    metadata.iptc = null;
  }
  metadata.resolution = readResolution(bytes, format, metadata.exif);
  return metadata;
}

// Every element closed in order, as an XMP reader needs (the browser's XML
// parser is not to be had in a worker or under Node).
function wellFormedXml(text) {
  const open = [];
  const tags = /<(\/?)([A-Za-z_][\w.:-]*)((?:[^>"']|"[^"]*"|'[^']*')*?)(\/?)>|<\?[\s\S]*?\?>|<!--[\s\S]*?-->|<!\[CDATA\[[\s\S]*?\]\]>|<!DOCTYPE[^>]*>|(<)/g;
  for (let match; (match = tags.exec(text));) {
    if (match[5]) return false;  // a "<" that starts nothing
    if (!match[2]) continue;
    if (match[1]) { if (open.pop() !== match[2]) return false; } else if (!match[4]) open.push(match[2]);
  }
  return open.length === 0 && /<x:xmpmeta|<rdf:RDF/.test(text);
}

// IPTC's records: each a tag marker, a record number 1-9, a dataset and its
// length, within the bytes held.
function soundIptc(bytes) {
  let at = 0;
  while (at < bytes.length && bytes[at] === 0x1c) {
    if (at + 5 > bytes.length || bytes[at + 1] < 1 || bytes[at + 1] > 9) return false;
    let length = (bytes[at + 3] << 8) | bytes[at + 4], header = 5;
    if (length & 0x8000) {
      const size = length & 0x7fff;
      if (size > 4 || at + 5 + size > bytes.length) return false;
      length = 0;
      for (let i = 0; i < size; i++) length = length * 256 + bytes[at + 5 + i];
      header += size;
    }
    at += header + length;
  }
  return at <= bytes.length && at > 0 && bytes.subarray(at).every((b) => b === 0);
}

export function exifOrientation(metadata) {
  if (!metadata.exif) return 1;
  try {
    const reader = tiffReader(metadata.exif);
    const entry = readIfd(reader, reader.first).entries.find((e) => e.tag === ORIENTATION && e.type === SHORT);
    const value = entry ? reader.u16(entry.valueAt) : 1;
    return value >= 1 && value <= 8 ? value : 1;
  } catch {
    return 1;
  }
}

// ---- Editing: the picture is upright and has its new size ----

function uprightExif(exif, width, height, turned) {
  const out = exif.slice();
  const reader = tiffReader(out);
  const view = reader.view, little = reader.little;
  const first = readIfd(reader, reader.first);
  // The first directory without storage tags, and no second one (the thumbnail).
  const kept = first.entries.filter((e) => !STORAGE_TAGS.has(e.tag));
  const table = kept.map((e) => out.slice(e.at, e.at + 12));
  const start = reader.first;
  out.fill(0, start, first.nextAt + 4);
  view.setUint16(start, table.length, little);
  table.forEach((entry, i) => out.set(entry, start + 2 + 12 * i));
  view.setUint32(start + 2 + 12 * table.length, 0, little);
  if (!turned) return out;
  const directory = readIfd(reader, start);
  const orientation = directory.entries.find((e) => e.tag === ORIENTATION && e.type === SHORT);
  if (orientation) view.setUint16(orientation.valueAt, 1, little);
  const exifPointer = directory.entries.find((e) => e.tag === EXIF_IFD);
  if (exifPointer) {
    for (const entry of readIfd(reader, reader.u32(exifPointer.valueAt)).entries) {
      if (entry.tag !== PIXEL_X && entry.tag !== PIXEL_Y) continue;
      const value = entry.tag === PIXEL_X ? width : height;
      if (entry.type === SHORT && value <= 65535) view.setUint16(entry.valueAt, value, little);
      else if (entry.count === 1) {
        // A LONG fits in the entry itself: the type changes where SHORT is too small.
        view.setUint16(entry.at + 2, LONG, little);
        view.setUint32(entry.at + 8, value, little);
      }
    }
  }
  return out;
}

function uprightXmp(xmp, width, height) {
  const set = (text, name, value) => text
    .replace(new RegExp(`(${name}=")[^"]*(")`, 'g'), `$1${value}$2`)
    .replace(new RegExp(`(<${name}>)[^<]*(</${name}>)`, 'g'), `$1${value}$2`);
  let out = set(xmp, 'tiff:Orientation', 1);
  for (const [name, value] of [['exif:PixelXDimension', width], ['exif:PixelYDimension', height], ['tiff:ImageWidth', width], ['tiff:ImageLength', height]])
    out = set(out, name, value);
  return out;
}

// The metadata for a download of width x height pixels: a picture the
// orientation turned upright says it is upright and names its new size.
export function metadataForOutput(metadata, width, height) {
  const out = { ...metadata, notes: [...metadata.notes] };
  const turned = exifOrientation(metadata) !== 1;
  if (metadata.exif) {
    try { out.exif = uprightExif(metadata.exif, width, height, turned); } catch (error) {
      out.notes.push(`its EXIF is damaged (${error instanceof TiffDamage ? error.message : error}) and is left out`);
      out.exif = null;
    }
  }
  if (metadata.xmp !== null && turned) {
    out.xmp = uprightXmp(metadata.xmp, width, height);
    if (metadata.xmpStandard) out.xmpStandard = uprightXmp(metadata.xmpStandard, width, height);
  }
  return out;
}

// ---- Writing ----

function segment(marker, body) {
  const out = new Uint8Array(4 + body.length);
  out[0] = 0xff; out[1] = marker;
  out[2] = (body.length + 2) >> 8; out[3] = (body.length + 2) & 0xff;
  out.set(body, 4);
  return out;
}
const MAX_SEGMENT = 65533;
const EXTENSION_CHUNK = 65400;

function photoshopBlock(iptc) {
  const head = new Uint8Array(12);
  head.set(ascii('8BIM'));
  new DataView(head.buffer).setUint16(4, IPTC_RESOURCE);
  new DataView(head.buffer).setUint32(8, iptc.length);
  return concatBytes([ascii(PHOTOSHOP_SIGNATURE), head, iptc, new Uint8Array(iptc.length & 1)]);
}

// The bodies of the APP1 segments that carry an extended XMP packet.
function extensionSegments(extended, guid) {
  const bodies = [];
  for (let offset = 0; offset < extended.length; offset += EXTENSION_CHUNK) {
    const piece = extended.subarray(offset, offset + EXTENSION_CHUNK);
    const head = new Uint8Array(40);
    head.set(ascii(guid));
    new DataView(head.buffer).setUint32(32, extended.length);
    new DataView(head.buffer).setUint32(36, offset);
    bodies.push(concatBytes([ascii(EXTENSION_SIGNATURE), head, piece]));
  }
  return bodies;
}

function writeJpeg(encoded, metadata, notes) {
  const bytes = withJpegDensity(encoded, metadata.resolution);
  const segments = [];
  if (metadata.exif) {
    const { exif, dropped } = exifToFit(metadata.exif, MAX_SEGMENT - EXIF_SIGNATURE.length);
    if (exif) segments.push(segment(0xe1, concatBytes([ascii(EXIF_SIGNATURE), exif])));
    if (dropped.length) notes.push(`JPEG holds 64 kB of EXIF; these tags did not fit: ${exif ? dropped.join(', ') : 'all of them'}`);
  }
  if (metadata.xmp !== null) {
    // A JPEG's own extended XMP goes back as it came; other XMP too large for a segment is split.
    let standard = metadata.xmpExtension.length ? metadata.xmpStandard : metadata.xmp;
    let extensions = metadata.xmpExtension;
    if (!extensions.length && encodeUtf8(standard).length > MAX_SEGMENT - XMP_SIGNATURE.length) {
      const split = splitXmp(standard, MAX_SEGMENT - XMP_SIGNATURE.length);
      if (split) {
        standard = split.standard;
        extensions = extensionSegments(encodeUtf8(split.extended), split.guid);
      }
    }
    const body = concatBytes([ascii(XMP_SIGNATURE), encodeUtf8(standard)]);
    if (body.length <= MAX_SEGMENT) {
      segments.push(segment(0xe1, body));
      for (const extension of extensions) segments.push(segment(0xe1, extension));
    } else notes.push('its XMP cannot be split to fit JPEG\'s segments and was left out');
  }
  if (metadata.icc) {
    const piece = MAX_SEGMENT - 14, count = Math.ceil(metadata.icc.length / piece);
    for (let i = 0; i < count; i++)
      segments.push(segment(0xe2, concatBytes([ascii(ICC_SIGNATURE), new Uint8Array([i + 1, count]), metadata.icc.subarray(i * piece, (i + 1) * piece)])));
  }
  if (metadata.iptc) {
    const block = photoshopBlock(metadata.iptc);
    if (block.length <= MAX_SEGMENT) segments.push(segment(0xed, block));
    else notes.push('its IPTC is larger than a JPEG segment holds and was left out');
  }
  // After the encoder's JFIF segment, before anything else.
  let at = 2;
  if (bytes[2] === 0xff && bytes[3] === 0xe0) at = 4 + ((bytes[4] << 8) | bytes[5]);
  return concatBytes([bytes.subarray(0, at), ...segments, bytes.subarray(at)]);
}

async function writePng(bytes, metadata) {
  const chunks = [];
  const density = pngResolution(metadata.resolution);
  if (density) chunks.push(pngChunk('pHYs', density));
  if (metadata.icc) chunks.push(pngChunk('iCCP', concatBytes([ascii('ICC profile\0\0'), await deflate(metadata.icc)])));
  if (metadata.exif) chunks.push(pngChunk('eXIf', metadata.exif));
  if (metadata.xmp !== null) chunks.push(pngChunk('iTXt', concatBytes([ascii('XML:com.adobe.xmp\0\0\0\0\0'), encodeUtf8(metadata.xmp)])));
  if (metadata.iptc) {
    const text = encodeRawProfile('iptc', photoshopBlock(metadata.iptc).subarray(PHOTOSHOP_SIGNATURE.length));
    chunks.push(pngChunk('zTXt', concatBytes([ascii('Raw profile type iptc\0\0'), await deflate(ascii(text))])));
  }
  // Texts that Latin-1 holds go as tEXt, the others as iTXt in UTF-8, so that readers see them as written.
  for (const { keyword, text } of metadata.texts) {
    if (/^[\0-\xff]*$/.test(text)) chunks.push(pngChunk('tEXt', concatBytes([ascii(`${keyword}\0`), ascii(text)])));
    else chunks.push(pngChunk('iTXt', concatBytes([ascii(`${keyword}\0\0\0\0\0`), encodeUtf8(text)])));
  }
  const idat = pngChunks(bytes).find((c) => c.type === 'IDAT');
  return concatBytes([bytes.subarray(0, idat.start), ...chunks, bytes.subarray(idat.start)]);
}

function riffChunk(type, body) {
  const out = new Uint8Array(8 + body.length + (body.length & 1));
  out.set(ascii(type));
  new DataView(out.buffer).setUint32(4, body.length, true);
  out.set(body, 8);
  return out;
}

// The extended WebP layout: VP8X first, the profile before the picture,
// EXIF and XMP after it.
function writeWebp(bytes, metadata, notes, width, height) {
  const picture = [];
  let flags = 0;
  for (const { type, body, start, end } of riffChunks(bytes)) {
    if (type === 'VP8X') flags = body[0];
    else if (type === 'VP8 ' || type === 'VP8L' || type === 'ALPH') picture.push(bytes.subarray(start, end));
  }
  if (metadata.iptc) notes.push('WebP holds no IPTC; its IPTC was left out');
  flags &= 0x10;  // alpha
  if (metadata.icc) flags |= 0x20;
  if (metadata.exif) flags |= 0x08;
  if (metadata.xmp !== null) flags |= 0x04;
  const header = new Uint8Array(10);
  header[0] = flags;
  const hv = new DataView(header.buffer);
  hv.setUint16(4, (width - 1) & 0xffff, true); header[6] = (width - 1) >> 16;
  hv.setUint16(7, (height - 1) & 0xffff, true); header[9] = (height - 1) >> 16;
  const chunks = [riffChunk('VP8X', header)];
  if (metadata.icc) chunks.push(riffChunk('ICCP', metadata.icc));
  chunks.push(...picture);
  if (metadata.exif) chunks.push(riffChunk('EXIF', metadata.exif));
  if (metadata.xmp !== null) chunks.push(riffChunk('XMP ', encodeUtf8(metadata.xmp)));
  const body = concatBytes([ascii('WEBP'), ...chunks]);
  const out = concatBytes([ascii('RIFF'), new Uint8Array(4), body]);
  new DataView(out.buffer).setUint32(4, body.length, true);
  return out;
}

// The encoded file with the metadata put in; notes say what the format could not hold.
export async function addMetadata(bytes, format, metadata, width, height) {
  const notes = [];
  if (!metadata) return { bytes, notes };
  if (format === 'jpeg') return { bytes: writeJpeg(bytes, metadata, notes), notes };
  if (format === 'png') return { bytes: await writePng(bytes, metadata), notes };
  if (format === 'webp') return { bytes: writeWebp(bytes, metadata, notes, width, height), notes };
  return { bytes, notes };
}

