// Reads what the package test needs from a macOS executable: the slices of a
// universal file, and of each 64-bit slice its minimum macOS, the libraries it
// loads, the symbols dyld binds and from which library, and its code signature
// with every page re-hashed. Malformed input throws a MachOError, never reads
// past the buffer.
import crypto from 'node:crypto';

export class MachOError extends Error {}

const FAT_MAGIC = 0xcafebabe;
const FAT_MAGIC_64 = 0xcafebabf;
const MH_MAGIC_64 = 0xfeedfacf;

export const CPU = { x86_64: 0x01000007, arm64: 0x0100000c };
const CPU_NAMES = new Map(Object.entries(CPU).map(([name, type]) => [type, name]));

const LC = {
  LOAD_DYLIB: 0xc,
  LOAD_WEAK_DYLIB: 0x80000018,
  REEXPORT_DYLIB: 0x8000001f,
  LAZY_LOAD_DYLIB: 0x20,
  LOAD_UPWARD_DYLIB: 0x80000023,
  CODE_SIGNATURE: 0x1d,
  DYLD_INFO: 0x22,
  DYLD_INFO_ONLY: 0x80000022,
  VERSION_MIN_MACOSX: 0x24,
  BUILD_VERSION: 0x32,
  DYLD_CHAINED_FIXUPS: 0x80000034,
};
// Every command that adds a library, in the order that gives bind ordinals.
const DYLIB_COMMANDS = new Set([LC.LOAD_DYLIB, LC.LOAD_WEAK_DYLIB, LC.REEXPORT_DYLIB, LC.LAZY_LOAD_DYLIB,
  LC.LOAD_UPWARD_DYLIB]);
const PLATFORM_MACOS = 1;

// The ordinals a bind may name instead of a library.
export const SPECIAL_ORDINALS = new Map([[0, 'the executable itself'], [-1, 'the main executable'],
  [-2, 'a flat lookup in every image'], [-3, 'a weak lookup']]);

function need(condition, message) {
  if (!condition) throw new MachOError(message);
}

function slice(buf, offset, size, what) {
  need(Number.isSafeInteger(offset) && Number.isSafeInteger(size) && offset >= 0 && size >= 0
    && offset + size <= buf.length, `${what} lies outside the file`);
  return buf.subarray(offset, offset + size);
}

// The slices of a universal file, or the file itself as its one slice.
export function readSlices(buf) {
  need(buf.length >= 8, 'too short for a Mach-O file');
  const magic = buf.readUInt32BE(0);
  if (magic !== FAT_MAGIC && magic !== FAT_MAGIC_64) {
    return { universal: false, slices: [{ offset: 0, data: buf }] };
  }
  const wide = magic === FAT_MAGIC_64;
  const count = buf.readUInt32BE(4);
  const entrySize = wide ? 32 : 20;
  need(count >= 1 && count <= 16, `a universal header with ${count} slices`);
  slice(buf, 8, count * entrySize, 'the universal header');
  const slices = [];
  for (let i = 0; i < count; i++) {
    const at = 8 + i * entrySize;
    const cputype = buf.readUInt32BE(at);
    const offset = wide ? Number(buf.readBigUInt64BE(at + 8)) : buf.readUInt32BE(at + 8);
    const size = wide ? Number(buf.readBigUInt64BE(at + 16)) : buf.readUInt32BE(at + 12);
    slices.push({ cputype, offset, data: slice(buf, offset, size, `slice ${i}`) });
  }
  return { universal: true, slices };
}

function cString(buf, at, end = buf.length) {
  need(at >= 0 && at < end, 'a name outside its table');
  const stop = buf.indexOf(0, at);
  need(stop !== -1 && stop < end, 'a name without its end');
  return buf.toString('latin1', at, stop);
}

// "11.0" from the packed 0xXXXXYYZZ form; the patch only when it is not 0.
export function versionText(packed) {
  const major = packed >>> 16;
  const minor = (packed >>> 8) & 0xff;
  const patch = packed & 0xff;
  return patch ? `${major}.${minor}.${patch}` : `${major}.${minor}`;
}

// A 64-bit little-endian Mach-O: its header and load commands.
export function readMachO(data) {
  need(data.length >= 32 && data.readUInt32LE(0) === MH_MAGIC_64, 'not a 64-bit Mach-O slice');
  const cputype = data.readUInt32LE(4);
  const ncmds = data.readUInt32LE(16);
  const sizeofcmds = data.readUInt32LE(20);
  slice(data, 32, sizeofcmds, 'the load commands');
  const image = {
    arch: CPU_NAMES.get(cputype) || `cpu 0x${cputype.toString(16)}`,
    cputype,
    minimumMacOS: null,
    dylibs: [],
    dyldInfo: null,
    chainedFixups: null,
    codeSignature: null,
    data,
  };
  let at = 32;
  for (let i = 0; i < ncmds; i++) {
    need(at + 8 <= 32 + sizeofcmds, `load command ${i} runs past the commands`);
    const cmd = data.readUInt32LE(at);
    const size = data.readUInt32LE(at + 4);
    need(size >= 8 && size % 8 === 0 && at + size <= 32 + sizeofcmds, `load command ${i} has a bad size`);
    const body = data.subarray(at, at + size);
    const word = (n) => { need(4 * n + 4 <= size, `load command ${i} is too short`); return body.readUInt32LE(4 * n); };
    if (DYLIB_COMMANDS.has(cmd)) {
      image.dylibs.push(cString(body, word(2)));
    } else if (cmd === LC.BUILD_VERSION) {
      if (word(2) === PLATFORM_MACOS) image.minimumMacOS = versionText(word(3));
    } else if (cmd === LC.VERSION_MIN_MACOSX) {
      image.minimumMacOS = versionText(word(2));
    } else if (cmd === LC.DYLD_INFO || cmd === LC.DYLD_INFO_ONLY) {
      // The weak-bind table names no library (it merges definitions across
      // the images already loaded), so only these two are read.
      image.dyldInfo = { bind: [word(4), word(5)], lazyBind: [word(8), word(9)] };
    } else if (cmd === LC.DYLD_CHAINED_FIXUPS) {
      image.chainedFixups = [word(2), word(3)];
    } else if (cmd === LC.CODE_SIGNATURE) {
      image.codeSignature = { offset: word(2), size: word(3) };
    }
    at += size;
  }
  return image;
}

function uleb(buf, state) {
  let value = 0n;
  let shift = 0n;
  for (;;) {
    need(state.at < buf.length, 'a number runs past its table');
    const byte = buf[state.at++];
    value |= BigInt(byte & 0x7f) << shift;
    if (!(byte & 0x80)) return value;
    shift += 7n;
    need(shift < 70n, 'a number too long');
  }
}

function sleb(buf, state) {
  const start = state.at;
  const value = uleb(buf, state);
  const bits = BigInt(7 * (state.at - start));
  return buf[state.at - 1] & 0x40 ? value - (1n << bits) : value;
}

// Each symbol the bind opcodes of one table bind, with its library ordinal.
// Only the ordinal and the name matter here: addresses are stepped over.
function bindsOfOpcodes(buf, table) {
  const binds = [];
  const state = { at: 0 };
  let ordinal = 0;
  let symbol = null;
  const bind = () => {
    need(symbol !== null, `${table} binds before naming a symbol`);
    binds.push({ symbol, ordinal, table });
  };
  while (state.at < buf.length) {
    const byte = buf[state.at++];
    const opcode = byte & 0xf0;
    const immediate = byte & 0x0f;
    switch (opcode) {
      case 0x00: break; // done; lazy binds are separated by it
      case 0x10: ordinal = immediate; break;
      case 0x20: ordinal = Number(uleb(buf, state)); break;
      case 0x30: ordinal = immediate ? immediate - 16 : 0; break; // sign-extended
      case 0x40: {
        symbol = cString(buf, state.at);
        state.at += symbol.length + 1;
        break;
      }
      case 0x50: break;
      case 0x60: sleb(buf, state); break;
      case 0x70: uleb(buf, state); break;
      case 0x80: uleb(buf, state); break;
      case 0x90: bind(); break;
      case 0xa0: uleb(buf, state); bind(); break;
      case 0xb0: bind(); break;
      case 0xc0: uleb(buf, state); uleb(buf, state); bind(); break;
      case 0xd0: if (immediate === 0) uleb(buf, state); break; // threaded: the table's size, or apply
      default: throw new MachOError(`${table} has an unknown opcode 0x${byte.toString(16)}`);
    }
  }
  return binds;
}

// The imports of chained fixups: each has its ordinal and name.
function bindsOfChainedFixups(buf) {
  need(buf.length >= 28, 'chained fixups too short');
  const importsOffset = buf.readUInt32LE(8);
  const symbolsOffset = buf.readUInt32LE(12);
  const count = buf.readUInt32LE(16);
  const format = buf.readUInt32LE(20);
  need(buf.readUInt32LE(24) === 0, 'compressed import names');
  const width = { 1: 4, 2: 8, 3: 16 }[format];
  need(width, `import format ${format}`);
  slice(buf, importsOffset, count * width, 'the imports');
  const binds = [];
  for (let i = 0; i < count; i++) {
    const at = importsOffset + i * width;
    let ordinal;
    let nameOffset;
    if (format === 3) {
      ordinal = buf.readUInt16LE(at);
      if (ordinal >= 0xfff0) ordinal -= 0x10000;
      nameOffset = buf.readUInt32LE(at + 4);
    } else {
      const word = buf.readUInt32LE(at);
      ordinal = word & 0xff;
      if (ordinal >= 0xf0) ordinal -= 0x100;
      nameOffset = word >>> 9;
    }
    binds.push({ symbol: cString(buf, symbolsOffset + nameOffset), ordinal, table: 'chained fixups' });
  }
  return binds;
}

// Every bind of the image, from the dyld information or the chained fixups,
// each with the library it names (or what a special ordinal stands for).
export function readBinds(image) {
  const binds = [];
  if (image.dyldInfo) {
    for (const [table, [offset, size]] of Object.entries(image.dyldInfo)) {
      binds.push(...bindsOfOpcodes(slice(image.data, offset, size, `the ${table} table`), table));
    }
  }
  if (image.chainedFixups) {
    const [offset, size] = image.chainedFixups;
    binds.push(...bindsOfChainedFixups(slice(image.data, offset, size, 'the chained fixups')));
  }
  for (const b of binds) {
    b.library = b.ordinal > 0 ? image.dylibs[b.ordinal - 1] ?? `ordinal ${b.ordinal} (no such library)`
      : SPECIAL_ORDINALS.get(b.ordinal) ?? `ordinal ${b.ordinal}`;
  }
  return binds;
}

const SUPERBLOB = 0xfade0cc0;
const CODEDIRECTORY = 0xfade0c02;
const SLOT_CODEDIRECTORY = 0;
const SLOT_SIGNATURE = 0x10000;
const CS_ADHOC = 0x2;
const HASH_SHA256 = 2;

// The code signature: its SuperBlob, the CodeDirectory, and each page's
// SHA-256 compared with the stored slot. Returns what a reader needs to say
// whether it holds, with the pages that do not match.
export function readSignature(image) {
  need(image.codeSignature, 'no LC_CODE_SIGNATURE');
  const { offset, size } = image.codeSignature;
  const blob = slice(image.data, offset, size, 'the code signature');
  need(blob.length >= 12 && blob.readUInt32BE(0) === SUPERBLOB, 'the signature is not a SuperBlob');
  const length = blob.readUInt32BE(4);
  const count = blob.readUInt32BE(8);
  need(length <= blob.length && 12 + 8 * count <= length, 'the SuperBlob runs past its space');
  const blobs = new Map();
  for (let i = 0; i < count; i++) {
    const type = blob.readUInt32BE(12 + 8 * i);
    const at = blob.readUInt32BE(16 + 8 * i);
    need(at + 8 <= length, `blob ${type} lies outside the SuperBlob`);
    const blobLength = blob.readUInt32BE(at + 4);
    blobs.set(type, slice(blob.subarray(0, length), at, blobLength, `blob ${type}`));
  }
  const cd = blobs.get(SLOT_CODEDIRECTORY);
  need(cd && cd.length >= 44 && cd.readUInt32BE(0) === CODEDIRECTORY, 'no CodeDirectory');
  const flags = cd.readUInt32BE(12);
  const hashOffset = cd.readUInt32BE(16);
  const identOffset = cd.readUInt32BE(20);
  const specialSlots = cd.readUInt32BE(24);
  const codeSlots = cd.readUInt32BE(28);
  const codeLimit = cd.readUInt32BE(32);
  const hashSize = cd[36];
  const hashType = cd[37];
  const pageShift = cd[39];
  need(hashType === HASH_SHA256 && hashSize === 32, `hash type ${hashType} of ${hashSize} bytes, not SHA-256`);
  need(pageShift >= 9 && pageShift <= 16, `pages of 2^${pageShift} bytes`);
  const pageSize = 2 ** pageShift;
  need(hashOffset >= specialSlots * hashSize, 'special slots before the CodeDirectory');
  slice(cd, hashOffset - specialSlots * hashSize, (specialSlots + codeSlots) * hashSize, 'the hash slots');
  const stored = (slot) => cd.subarray(hashOffset + slot * hashSize, hashOffset + (slot + 1) * hashSize);
  const sha256 = (bytes) => crypto.createHash('sha256').update(bytes).digest();
  need(codeSlots === Math.ceil(codeLimit / pageSize),
    `${codeSlots} page hashes for ${codeLimit} bytes in pages of ${pageSize}`);

  const badPages = [];
  for (let page = 0; page < codeSlots; page++) {
    const start = page * pageSize;
    const bytes = slice(image.data, start, Math.min(pageSize, codeLimit - start), `page ${page}`);
    if (!sha256(bytes).equals(stored(page))) badPages.push(page);
  }
  // Blobs that have a special slot (requirements, entitlements...) are
  // hashed into it; an empty slot stands for an absent blob.
  const badSpecialSlots = [];
  for (const [type, bytes] of blobs) {
    if (type === SLOT_CODEDIRECTORY || type >= 0x1000 || type > specialSlots) continue;
    if (!sha256(bytes).equals(stored(-type))) badSpecialSlots.push(type);
  }
  const cms = blobs.get(SLOT_SIGNATURE);
  return {
    identifier: cString(cd, identOffset),
    adHoc: (flags & CS_ADHOC) !== 0,
    signer: cms !== undefined && cms.length > 8,
    codeLimit,
    pageSize,
    codeSlots,
    signatureOffset: offset,
    badPages,
    badSpecialSlots,
  };
}
