// Small Mach-O files made to order for the checker's tests: slices with the
// load commands, binds and ad-hoc signature asked for, joined into a
// universal file. Each part can be left out or made wrong on purpose.
import crypto from 'node:crypto';

// Written out here rather than taken from the reader, so that a wrong
// constant there shows.
export const CPU = { x86_64: 0x01000007, arm64: 0x0100000c };
export const LIBSYSTEM = '/usr/lib/libSystem.B.dylib';

const PAGE = 4096;

function u32le(...values) {
  const b = Buffer.alloc(4 * values.length);
  values.forEach((v, i) => b.writeUInt32LE(v >>> 0, 4 * i));
  return b;
}

function u32be(...values) {
  const b = Buffer.alloc(4 * values.length);
  values.forEach((v, i) => b.writeUInt32BE(v >>> 0, 4 * i));
  return b;
}

function uleb(n) {
  const out = [];
  do {
    let byte = n & 0x7f;
    n = Math.floor(n / 128);
    if (n) byte |= 0x80;
    out.push(byte);
  } while (n);
  return Buffer.from(out);
}

function padTo(buf, multiple) {
  const extra = (multiple - (buf.length % multiple)) % multiple;
  return Buffer.concat([buf, Buffer.alloc(extra)]);
}

// A load command: its type, then the body padded to 8 bytes.
function command(cmd, body) {
  const padded = padTo(body, 8);
  return Buffer.concat([u32le(cmd, padded.length + 8), padded]);
}

function dylibCommand(name) {
  return command(0xc, Buffer.concat([u32le(24, 2, 0x10000, 0x10000), Buffer.from(name + '\0', 'latin1')]));
}

// Bind opcodes for { symbol, ordinal } entries; lazy ones end each with DONE.
function bindOpcodes(binds, lazy) {
  const parts = [];
  binds.forEach(({ symbol, ordinal }, i) => {
    if (ordinal > 0 && ordinal < 16) parts.push(Buffer.from([0x10 | ordinal]));
    else if (ordinal > 0) parts.push(Buffer.from([0x20]), uleb(ordinal));
    else parts.push(Buffer.from([0x30 | (ordinal & 0xf)]));
    parts.push(Buffer.from([0x40]), Buffer.from(symbol + '\0', 'latin1'), Buffer.from([0x51, 0x72]), uleb(8 * i),
      Buffer.from([0x90]));
    if (lazy) parts.push(Buffer.from([0x00]));
  });
  if (!lazy) parts.push(Buffer.from([0x00]));
  return Buffer.concat(parts);
}

// Chained fixups with imports of the plain format.
function chainedFixups(imports) {
  let names = Buffer.from([0]);
  const entries = imports.map(({ symbol, ordinal }) => {
    const offset = names.length;
    names = Buffer.concat([names, Buffer.from(symbol + '\0', 'latin1')]);
    return u32le(((ordinal & 0xff) | (offset << 9)) >>> 0);
  });
  const importsOffset = 32;
  const symbolsOffset = importsOffset + 4 * imports.length;
  return Buffer.concat([u32le(0, 28, importsOffset, symbolsOffset, imports.length, 1, 0, 0), ...entries, names]);
}

const sha256 = (b) => crypto.createHash('sha256').update(b).digest();

// An ad-hoc signature over the first `codeLimit` bytes, with an empty
// requirements blob in its special slot, as the linker writes one.
function signature(data, codeLimit, { flags = 0x20002, identifier = 'fixture' } = {}) {
  const requirements = u32be(0xfade0c01, 12, 0);
  const ident = Buffer.from(identifier + '\0', 'latin1');
  const specialSlots = 2;
  const codeSlots = Math.ceil(codeLimit / PAGE);
  const headerSize = 88;
  const hashOffset = headerSize + ident.length + specialSlots * 32;
  const cdLength = hashOffset + codeSlots * 32;
  const cd = Buffer.alloc(cdLength);
  u32be(0xfade0c02, cdLength, 0x20400, flags, hashOffset, headerSize, specialSlots, codeSlots, codeLimit).copy(cd);
  cd[36] = 32; // hash size
  cd[37] = 2; // SHA-256
  cd[39] = 12; // 4096-byte pages
  ident.copy(cd, headerSize);
  sha256(requirements).copy(cd, hashOffset - 2 * 32); // slot -2: requirements
  for (let page = 0; page < codeSlots; page++) {
    sha256(data.subarray(page * PAGE, Math.min((page + 1) * PAGE, codeLimit))).copy(cd, hashOffset + page * 32);
  }
  const blobs = [[0, cd], [2, requirements]];
  let at = 12 + 8 * blobs.length;
  const index = [];
  for (const [type, blob] of blobs) {
    index.push(u32be(type, at));
    at += blob.length;
  }
  return Buffer.concat([u32be(0xfade0cc0, at, blobs.length), ...index, ...blobs.map(([, b]) => b)]);
}

// One 64-bit slice. Options: arch, minos (packed, null for none), dylibs,
// binds and lazyBinds ({ symbol, ordinal }), chained (imports instead of the
// dyld information), codePages, signed, signatureFlags.
export function slice({
  arch = 'arm64', minos = 0x0b0000, dylibs = [LIBSYSTEM],
  binds = [{ symbol: '_free', ordinal: 1 }], lazyBinds = [{ symbol: '_malloc', ordinal: 1 }],
  chained = null, codePages = 3, signed = arch === 'arm64', signatureFlags,
} = {}) {
  const bindTable = chained ? Buffer.alloc(0) : padTo(bindOpcodes(binds, false), 8);
  const lazyTable = chained ? Buffer.alloc(0) : padTo(bindOpcodes(lazyBinds, true), 8);
  const fixups = chained ? padTo(chainedFixups(chained), 8) : Buffer.alloc(0);

  // Commands whose offsets depend on the layout are sized first, filled after.
  const fixed = dylibs.map(dylibCommand);
  if (minos !== null) fixed.push(command(0x32, u32le(1, minos, minos, 0)));
  const sizes = fixed.reduce((n, c) => n + c.length, 0) + (chained ? 16 : 48) + (signed ? 16 : 0);
  const codeStart = 32 + sizes;
  const code = Buffer.alloc(codePages * PAGE - codeStart);
  for (let i = 0; i < code.length; i++) code[i] = (i * 7 + arch.length) & 0xff;
  const linkedit = codePages * PAGE;
  const tables = Buffer.concat([bindTable, lazyTable, fixups]);
  const signatureOffset = linkedit + padTo(tables, 16).length;

  const commands = [...fixed];
  if (chained) commands.push(command(0x80000034, u32le(linkedit, fixups.length)));
  else {
    commands.push(command(0x80000022, u32le(0, 0, linkedit, bindTable.length, 0, 0,
      linkedit + bindTable.length, lazyTable.length, 0, 0)));
  }
  if (signed) commands.push(command(0x1d, u32le(signatureOffset, 0)));
  const header = u32le(0xfeedfacf, CPU[arch], 0, 2, commands.length, sizes, 0x200085, 0);
  const unsigned = Buffer.concat([header, ...commands, code, padTo(tables, 16)]);
  if (!signed) return unsigned;
  // The signature's size (which its content does not change) goes into its
  // load command, the last one, before the pages are hashed.
  unsigned.writeUInt32LE(signature(unsigned, signatureOffset).length, 32 + sizes - 4);
  return Buffer.concat([unsigned, signature(unsigned, signatureOffset, { flags: signatureFlags })]);
}

// A universal file of the given slices, each at a 16 KiB boundary.
export function universal(slices) {
  const align = 14;
  let offset = 2 ** align;
  const entries = [];
  const parts = [];
  for (const s of slices) {
    entries.push(u32be(s.readUInt32LE(4), 0, offset, s.length, align));
    const padded = padTo(s, 2 ** align);
    parts.push(padded);
    offset += padded.length;
  }
  const header = padTo(Buffer.concat([u32be(0xcafebabe, slices.length), ...entries]), 2 ** align);
  return Buffer.concat([header, ...parts]);
}

// The package's executable as it should be.
export function goodExecutable() {
  return universal([slice({ arch: 'x86_64' }), slice({ arch: 'arm64' })]);
}
