// The entries of a zip file as its central directory lists them: name, the
// system that made it and the Unix mode kept in its external attributes
// (where unzip tools take the executable bit from).
import fs from 'node:fs';

const END_SIGNATURE = 0x06054b50;
const ENTRY_SIGNATURE = 0x02014b50;
const MADE_ON_UNIX = 3;

export function zipEntries(file) {
  const zip = fs.readFileSync(file);
  // The end record is the last 22 bytes plus a comment of up to 65535.
  let end = -1;
  for (let at = zip.length - 22; at >= Math.max(0, zip.length - 22 - 65535); at--) {
    if (zip.readUInt32LE(at) === END_SIGNATURE) { end = at; break; }
  }
  if (end < 0) throw new Error(`${file}: no zip end record`);
  const count = zip.readUInt16LE(end + 10);
  let at = zip.readUInt32LE(end + 16);
  const entries = [];
  for (let i = 0; i < count; i++) {
    if (zip.readUInt32LE(at) !== ENTRY_SIGNATURE) throw new Error(`${file}: entry ${i} is damaged`);
    const madeBy = zip.readUInt16LE(at + 4) >> 8;
    const nameLength = zip.readUInt16LE(at + 28);
    const extraLength = zip.readUInt16LE(at + 30);
    const commentLength = zip.readUInt16LE(at + 32);
    const external = zip.readUInt32LE(at + 38);
    const name = zip.toString('utf8', at + 46, at + 46 + nameLength);
    entries.push({ name, unix: madeBy === MADE_ON_UNIX, mode: madeBy === MADE_ON_UNIX ? external >>> 16 : null });
    at += 46 + nameLength + extraLength + commentLength;
  }
  return entries;
}
