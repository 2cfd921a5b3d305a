// TIFF in and out in the browser, which decodes none itself. Read: 8- and
// 16-bit gray or RGB, with or without transparency, in strips or tiles,
// chunky or planar, uncompressed, LZW, Deflate or PackBits, with or without
// horizontal prediction, in either byte order. Written: Deflate-compressed,
// 8 or 16 bits, with the photograph's ICC profile, EXIF (left where the
// camera put it, so maker notes stay sound), XMP and IPTC.
import { deflate, inflate } from './file_bytes.mjs';
import { tiffResolution } from './stored_resolution.mjs';
import {
  BYTE, LONG, RATIONAL, SHORT, UNDEFINED, TiffDamage, readIfd, tagNumber, tagNumbers, tiffReader, tiffWriter,
} from './tiff_structure.mjs';

const WIDTH = 256, HEIGHT = 257, BITS = 258, COMPRESSION = 259, PHOTOMETRIC = 262, STRIP_OFFSETS = 273,
  SAMPLES = 277, ROWS_PER_STRIP = 278, STRIP_COUNTS = 279, PLANAR = 284, PREDICTOR = 317, TILE_WIDTH = 322,
  TILE_HEIGHT = 323, TILE_OFFSETS = 324, TILE_COUNTS = 325, EXTRA_SAMPLES = 338, SAMPLE_FORMAT = 339;

// The header's size and depth, before any decoding.
export function tiffHeaderSize(bytes) {
  try {
    const reader = tiffReader(bytes);
    const { entries } = readIfd(reader, reader.first);
    return { width: tagNumber(reader, entries, WIDTH, 0), height: tagNumber(reader, entries, HEIGHT, 0), depth: tagNumber(reader, entries, BITS, 1) };
  } catch {
    return null;
  }
}

// TIFF's LZW: codes from 9 to 12 bits, most significant bit first, the width
// growing one code early.
function lzwDecode(input, expected) {
  const out = new Uint8Array(expected);
  let written = 0, bitBuffer = 0, bitCount = 0, at = 0, width = 9;
  const prefix = new Int32Array(4096), suffix = new Uint8Array(4096), lengths = new Uint16Array(4096);
  for (let i = 0; i < 256; i++) { suffix[i] = i; lengths[i] = 1; prefix[i] = -1; }
  let next = 258, previous = -1;
  const emit = (code) => {
    const length = lengths[code];
    let end = written + length;
    if (end > expected) end = expected;
    for (let c = code, p = written + length - 1; c >= 0; c = prefix[c], p--) if (p < end) out[p] = suffix[c];
    written = end;
  };
  const first = (code) => { let c = code; while (prefix[c] >= 0) c = prefix[c]; return suffix[c]; };
  while (written < expected) {
    while (bitCount < width) {
      if (at >= input.length) return out.subarray(0, written);
      bitBuffer = ((bitBuffer << 8) | input[at++]) >>> 0;
      bitCount += 8;
    }
    const code = (bitBuffer >>> (bitCount - width)) & ((1 << width) - 1);
    bitCount -= width;
    if (code === 257) break;
    if (code === 256) { next = 258; width = 9; previous = -1; continue; }
    if (previous < 0) {
      if (code > 255) throw new TiffDamage('its LZW data is damaged');
      emit(code);
      previous = code;
      continue;
    }
    if (code < next) {
      if (next < 4096) { prefix[next] = previous; suffix[next] = first(code); lengths[next] = lengths[previous] + 1; next++; }
      emit(code);
    } else if (code === next && next < 4096) {
      prefix[next] = previous; suffix[next] = first(previous); lengths[next] = lengths[previous] + 1; next++;
      emit(code);
    } else {
      throw new TiffDamage('its LZW data is damaged');
    }
    previous = code;
    if (next + 1 >= (1 << width) && width < 12) width++;
  }
  return out.subarray(0, written);
}

function packBitsDecode(input, expected) {
  const out = new Uint8Array(expected);
  let written = 0;
  for (let at = 0; at < input.length && written < expected;) {
    const n = (input[at++] << 24) >> 24;
    if (n >= 0) { const run = input.subarray(at, at + n + 1); out.set(run.subarray(0, expected - written), written); written += Math.min(run.length, expected - written); at += n + 1; }
    else if (n !== -128) { const count = Math.min(1 - n, expected - written); out.fill(input[at++], written, written + count); written += count; }
  }
  return out.subarray(0, written);
}

async function decompress(data, compression, expected) {
  if (compression === 1) return data;
  if (compression === 5) return lzwDecode(data, expected);
  if (compression === 8 || compression === 32946) return inflate(data).catch(() => { throw new TiffDamage('its Deflate data is damaged'); });
  if (compression === 32773) return packBitsDecode(data, expected);
  throw new TiffDamage(`its compression (${compression}) is not one the page reads; the glyra command reads more`);
}

export async function decodeTiff(bytes) {
  const reader = tiffReader(bytes);
  const { entries } = readIfd(reader, reader.first);
  const numbers = (tag) => tagNumbers(reader, entries, tag);
  const one = (tag, otherwise) => tagNumber(reader, entries, tag, otherwise);
  const width = one(WIDTH, 0), height = one(HEIGHT, 0), samplesPerPixel = one(SAMPLES, 1);
  const bits = numbers(BITS).length ? numbers(BITS) : [1];
  const depth = bits[0], compression = one(COMPRESSION, 1), photometric = one(PHOTOMETRIC, -1);
  const planar = one(PLANAR, 1) === 2, predictor = one(PREDICTOR, 1), format = one(SAMPLE_FORMAT, 1);
  if (!width || !height) throw new TiffDamage('its size is missing');
  if ((depth !== 8 && depth !== 16) || bits.some((b) => b !== depth) || format !== 1)
    throw new TiffDamage(`its samples (${bits.join(', ')} bits${format !== 1 ? ', not whole numbers' : ''}) are not ones the page reads; the glyra command reads more`);
  if (photometric !== 0 && photometric !== 1 && photometric !== 2)
    throw new TiffDamage('its colours (palette, CMYK or another model) are not ones the page reads; the glyra command reads more');
  if (predictor !== 1 && predictor !== 2) throw new TiffDamage(`its predictor (${predictor}) is not one the page reads`);
  const colours = photometric === 2 ? 3 : 1;
  if (samplesPerPixel < colours) throw new TiffDamage('it has fewer samples than its colours need');
  const extra = numbers(EXTRA_SAMPLES);
  const alpha = samplesPerPixel > colours && (extra[0] === 1 || extra[0] === 2);
  const channels = colours + (alpha ? 1 : 0);

  const tiled = entries.some((e) => e.tag === TILE_OFFSETS);
  const pieceWidth = tiled ? one(TILE_WIDTH, 0) : width;
  const pieceHeight = tiled ? one(TILE_HEIGHT, 0) : Math.min(height, one(ROWS_PER_STRIP, height) || height);
  const offsets = numbers(tiled ? TILE_OFFSETS : STRIP_OFFSETS), counts = numbers(tiled ? TILE_COUNTS : STRIP_COUNTS);
  if (!pieceWidth || !pieceHeight || !offsets.length || offsets.length !== counts.length) throw new TiffDamage('its strips or tiles are not described');
  const across = Math.ceil(width / pieceWidth), down = Math.ceil(height / pieceHeight);
  const planes = planar ? samplesPerPixel : 1;
  if (offsets.length < across * down * planes) throw new TiffDamage('it has fewer strips or tiles than its size needs');

  const bytesPerSample = depth / 8;
  const pieceSamples = planar ? 1 : samplesPerPixel;
  const samples = depth === 16 ? new Uint16Array(width * height * channels) : new Uint8Array(width * height * channels);
  for (let plane = 0; plane < planes; plane++) {
    for (let index = 0; index < across * down; index++) {
      const piece = plane * across * down + index;
      const start = offsets[piece], count = counts[piece];
      if (start + count > bytes.length) throw new TiffDamage('the file is cut short');
      const rowSamples = pieceWidth * pieceSamples;
      const expected = rowSamples * pieceHeight * bytesPerSample;
      const data = await decompress(bytes.subarray(start, start + count), compression, expected);
      const px = (index % across) * pieceWidth, py = Math.floor(index / across) * pieceHeight;
      const rows = Math.min(pieceHeight, height - py, Math.floor(data.length / (rowSamples * bytesPerSample)));
      if (rows < Math.min(pieceHeight, height - py)) throw new TiffDamage('its image data is cut short');
      const view = new DataView(data.buffer, data.byteOffset, data.byteLength);
      const row = new Uint32Array(rowSamples);
      for (let y = 0; y < rows; y++) {
        for (let i = 0; i < rowSamples; i++) {
          const at = (y * rowSamples + i) * bytesPerSample;
          row[i] = depth === 16 ? view.getUint16(at, reader.little) : data[at];
        }
        if (predictor === 2) {
          const mask = depth === 16 ? 0xffff : 0xff;
          for (let i = pieceSamples; i < rowSamples; i++) row[i] = (row[i] + row[i - pieceSamples]) & mask;
        }
        const outY = py + y;
        for (let x = 0; x < pieceWidth && px + x < width; x++) {
          const base = (outY * width + px + x) * channels;
          for (let c = 0; c < pieceSamples; c++) {
            const channel = planar ? plane : c;
            if (channel >= channels) continue;
            let value = row[x * pieceSamples + c];
            if (photometric === 0 && channel < colours) value = (depth === 16 ? 0xffff : 0xff) - value;
            samples[base + channel] = value;
          }
        }
      }
    }
  }
  return { width, height, channels, depth, samples };
}

// The file's bytes: the EXIF block (when there is one) opens the file so its
// offsets stay true, the pixels follow, and the image's directory comes last,
// taking the EXIF block's own first-directory entries over.
export async function encodeTiff(image, metadata) {
  const { width, height, channels, depth, samples } = image;
  const exif = metadata && metadata.exif;
  let little = true, exifReader = null;
  if (exif) { exifReader = tiffReader(exif); little = exifReader.little; }
  const writer = tiffWriter(little);
  const entries = [];
  if (exif) {
    writer.append(exif);
    for (const entry of readIfd(exifReader, exifReader.first).entries)
      entries.push({ tag: entry.tag, type: entry.type, count: entry.count, field: exif.slice(entry.at + 8, entry.at + 12) });
  } else {
    writer.append(new Uint8Array([0x49, 0x49, 42, 0, 0, 0, 0, 0]));
  }
  const raw = new Uint8Array(width * height * channels * depth / 8);
  if (depth === 16) {
    const view = new DataView(raw.buffer);
    for (let i = 0; i < samples.length; i++) view.setUint16(2 * i, samples[i], little);
  } else {
    raw.set(samples);
  }
  const stripAt = writer.append(await deflate(raw));
  const stripLength = writer.length - stripAt;
  const mine = [
    { tag: WIDTH, type: LONG, numbers: [width] },
    { tag: HEIGHT, type: LONG, numbers: [height] },
    { tag: BITS, type: SHORT, numbers: new Array(channels).fill(depth) },
    { tag: COMPRESSION, type: SHORT, numbers: [8] },
    { tag: PHOTOMETRIC, type: SHORT, numbers: [channels >= 3 ? 2 : 1] },
    { tag: STRIP_OFFSETS, type: LONG, numbers: [stripAt] },
    { tag: SAMPLES, type: SHORT, numbers: [channels] },
    { tag: ROWS_PER_STRIP, type: LONG, numbers: [height] },
    { tag: STRIP_COUNTS, type: LONG, numbers: [stripLength] },
    { tag: PLANAR, type: SHORT, numbers: [1] },
  ];
  if (channels === 2 || channels === 4) mine.push({ tag: EXTRA_SAMPLES, type: SHORT, numbers: [2] });
  if (metadata && metadata.icc) mine.push({ tag: 34675, type: UNDEFINED, count: metadata.icc.length, bytes: metadata.icc });
  if (metadata && metadata.xmp !== null && metadata.xmp !== undefined) {
    const xmp = new TextEncoder().encode(metadata.xmp);
    mine.push({ tag: 700, type: BYTE, count: xmp.length, bytes: xmp });
  }
  if (metadata && metadata.iptc) mine.push({ tag: 33723, type: UNDEFINED, count: metadata.iptc.length, bytes: metadata.iptc });
  const resolution = metadata && metadata.resolution && tiffResolution(metadata.resolution, little);
  if (resolution) {
    mine.push({ tag: 0x011a, type: RATIONAL, count: 1, bytes: resolution.x }, { tag: 0x011b, type: RATIONAL, count: 1, bytes: resolution.y },
      { tag: 0x0128, type: SHORT, numbers: [resolution.unit] });
  }
  const taken = new Set(mine.map((e) => e.tag));
  const directory = writer.directory([...mine, ...entries.filter((e) => !taken.has(e.tag))]);
  const out = writer.bytes();
  new DataView(out.buffer).setUint32(4, directory.at, little);
  return out;
}

