// What machine an executable is built for, from its header.
import fs from 'node:fs';

// ELF e_machine values.
export const ELF_MACHINE = { 'x86_64-unknown-linux-gnu': 62, 'aarch64-unknown-linux-gnu': 183 };
// The PE machine of Windows x64.
export const PE_AMD64 = 0x8664;

function head(file, length) {
  const buffer = Buffer.alloc(length);
  const fd = fs.openSync(file, 'r');
  try {
    return buffer.subarray(0, fs.readSync(fd, buffer, 0, length, 0));
  } finally {
    fs.closeSync(fd);
  }
}

// { bits, littleEndian, type, machine } of a 64-bit little-endian ELF file;
// null for anything else.
export function elfHeader(file) {
  const h = head(file, 64);
  if (h.length < 64 || h.readUInt32BE(0) !== 0x7f454c46 || h[4] !== 2 || h[5] !== 1) return null;
  return { type: h.readUInt16LE(16), machine: h.readUInt16LE(18) };
}

// The machine field of a PE file's COFF header; null for anything else.
export function peMachine(file) {
  const h = head(file, 4096);
  if (h.length < 0x40 || h.toString('latin1', 0, 2) !== 'MZ') return null;
  const at = h.readUInt32LE(0x3c);
  if (at + 6 > h.length || h.toString('latin1', at, at + 4) !== 'PE\0\0') return null;
  return h.readUInt16LE(at + 4);
}

// Whether a file starts as a universal (fat) Mach-O file does; what its
// slices hold is macho-check.mjs's to say.
export function isUniversalMachO(file) {
  const h = head(file, 8);
  return h.length === 8 && h.readUInt32BE(0) === 0xcafebabe;
}

// Headers alone, for stand-in executables in tests: just enough to be read
// back by elfHeader and peMachine.
export function elfStandIn(machine) {
  const h = Buffer.alloc(64);
  h.writeUInt32BE(0x7f454c46, 0);
  h[4] = 2; // 64-bit
  h[5] = 1; // little-endian
  h[6] = 1; // version
  h.writeUInt16LE(3, 16); // a position-independent executable
  h.writeUInt16LE(machine, 18);
  h.writeUInt32LE(1, 20);
  return h;
}

export function peStandIn(machine) {
  const h = Buffer.alloc(0x48);
  h.write('MZ', 0, 'latin1');
  h.writeUInt32LE(0x40, 0x3c);
  h.write('PE\0\0', 0x40, 'latin1');
  h.writeUInt16LE(machine, 0x44);
  return h;
}

export function universalStandIn() {
  const h = Buffer.alloc(8);
  h.writeUInt32BE(0xcafebabe, 0);
  h.writeUInt32BE(2, 4); // two slices
  return h;
}
