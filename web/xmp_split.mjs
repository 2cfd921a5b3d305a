// XMP too large for one JPEG segment, split as the command splits it: the
// largest top-level properties move to an extended packet until the standard
// one fits; the standard packet names the extended one by the MD5 of its
// bytes (xmpNote:HasExtendedXMP), which is how readers find and join the
// extension segments.

const NOTE_NAMESPACE = 'http://ns.adobe.com/xmp/note/';

// MD5 of bytes, as 32 upper-case hexadecimal digits.
export function md5Hex(bytes) {
  const shifts = [7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21];
  const k = Array.from({ length: 64 }, (_, i) => Math.floor(Math.abs(Math.sin(i + 1)) * 2 ** 32) >>> 0);
  const length = bytes.length, padded = new Uint8Array(((length + 8) >> 6 << 6) + 64);
  padded.set(bytes);
  padded[length] = 0x80;
  const view = new DataView(padded.buffer);
  view.setUint32(padded.length - 8, (length * 8) >>> 0, true);
  view.setUint32(padded.length - 4, Math.floor(length / 0x20000000), true);
  let a0 = 0x67452301, b0 = 0xefcdab89, c0 = 0x98badcfe, d0 = 0x10325476;
  const words = new Uint32Array(16);
  for (let block = 0; block < padded.length; block += 64) {
    for (let i = 0; i < 16; i++) words[i] = view.getUint32(block + 4 * i, true);
    let a = a0, b = b0, c = c0, d = d0;
    for (let i = 0; i < 64; i++) {
      let f, g;
      if (i < 16) { f = (b & c) | (~b & d); g = i; }
      else if (i < 32) { f = (d & b) | (~d & c); g = (5 * i + 1) % 16; }
      else if (i < 48) { f = b ^ c ^ d; g = (3 * i + 5) % 16; }
      else { f = c ^ (b | ~d); g = (7 * i) % 16; }
      const sum = (a + f + k[i] + words[g]) >>> 0, s = shifts[(i >> 4) * 4 + (i % 4)];
      a = d; d = c; c = b;
      b = (b + ((sum << s) | (sum >>> (32 - s)))) >>> 0;
    }
    a0 = (a0 + a) >>> 0; b0 = (b0 + b) >>> 0; c0 = (c0 + c) >>> 0; d0 = (d0 + d) >>> 0;
  }
  let hex = '';
  for (const word of [a0, b0, c0, d0]) for (let i = 0; i < 4; i++) hex += ((word >>> (8 * i)) & 0xff).toString(16).padStart(2, '0');
  return hex.toUpperCase();
}

const ATTRIBUTE = /([A-Za-z_][\w.-]*:[\w.-]+|xmlns(?::[\w.-]+)?)\s*=\s*("([^"]*)"|'([^']*)')/g;

// The top-level properties of each rdf:Description: its attributes and its
// child elements, with where each lies in the packet.
function describe(packet) {
  const descriptions = [];
  const open = /<rdf:Description\b((?:[^>"']|"[^"]*"|'[^']*')*?)(\/?)>/g;
  for (let match; (match = open.exec(packet));) {
    const namespaces = [], properties = [];
    for (const attribute of match[1].matchAll(ATTRIBUTE)) {
      const name = attribute[1];
      if (name.startsWith('xmlns')) namespaces.push(attribute[0]);
      else if (name !== 'rdf:about') {
        properties.push({ text: `<${name}>${attribute[3] ?? attribute[4]}</${name}>`, start: match.index + 16 + attribute.index, end: match.index + 16 + attribute.index + attribute[0].length });
      }
    }
    const description = { namespaces, properties, openEnd: match.index + match[0].length };
    descriptions.push(description);
    if (match[2]) continue;
    // Children at depth one, up to the closing tag.
    const tags = /<(\/?)([A-Za-z_][\w.:-]*)((?:[^>"']|"[^"]*"|'[^']*')*?)(\/?)>|<!--[\s\S]*?-->/g;
    tags.lastIndex = description.openEnd;
    let depth = 0, start = 0;
    for (let tag; (tag = tags.exec(packet));) {
      if (!tag[2]) continue;
      if (tag[1]) {
        if (depth === 0) { open.lastIndex = tag.index; break; }
        if (--depth === 0) properties.push({ text: packet.slice(start, tag.index + tag[0].length), start, end: tag.index + tag[0].length });
      } else if (!tag[4]) {
        if (depth++ === 0) start = tag.index;
      } else if (depth === 0) {
        properties.push({ text: tag[0], start: tag.index, end: tag.index + tag[0].length });
      }
    }
  }
  return descriptions;
}

// { standard, extended, guid } with the standard packet at most `limit`
// bytes of UTF-8, or null when no split fits.
export function splitXmp(packet, limit) {
  const encoder = new TextEncoder();
  const descriptions = describe(packet);
  if (!descriptions.length) return null;
  const all = descriptions.flatMap((d) => d.properties.map((p) => ({ ...p, description: d })))
    .sort((x, y) => encoder.encode(y.text).length - encoder.encode(x.text).length);
  const namespaces = [...new Set(descriptions.flatMap((d) => d.namespaces))];
  for (let count = 1; count <= all.length; count++) {
    const moved = all.slice(0, count);
    const extended = '<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">' +
      `<rdf:Description rdf:about="" ${namespaces.join(' ')}>${moved.map((p) => p.text).join('')}</rdf:Description></rdf:RDF></x:xmpmeta>`;
    const guid = md5Hex(encoder.encode(extended));
    // The standard packet: the moved properties cut out (from the end, so that places stay true), the note added.
    let standard = packet;
    for (const property of [...moved].sort((x, y) => y.start - x.start)) standard = standard.slice(0, property.start) + standard.slice(property.end);
    const first = descriptions[0];
    const removedBefore = moved.filter((p) => p.end <= first.openEnd).reduce((sum, p) => sum + p.end - p.start, 0);
    const at = first.openEnd - removedBefore - (standard[first.openEnd - removedBefore - 2] === '/' ? 2 : 1);
    const declared = first.namespaces.some((n) => n.startsWith('xmlns:xmpNote'));
    standard = `${standard.slice(0, at)}${declared ? '' : ` xmlns:xmpNote="${NOTE_NAMESPACE}"`} xmpNote:HasExtendedXMP="${guid}"${standard.slice(at)}`;
    if (encoder.encode(standard).length <= limit) return { standard, extended, guid };
  }
  return null;
}
