// The macOS executable checker, on files made to order (each way of being
// wrong must be caught), then on the package's real universal executable
// when there is one (MACOS_EXE given to run.sh).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { checkMacExecutable } from './lib/macho-check.mjs';
import { readSlices, readMachO, readSignature } from './lib/macho.mjs';
import { goodExecutable, slice, universal, LIBSYSTEM } from './lib/macho-fixture.mjs';
import { pluginDir } from './lib/bundle.mjs';

const FRAMEWORK = '/System/Library/Frameworks/CoreGraphics.framework/Versions/A/CoreGraphics';

// Where the arm64 slice of a universal file starts, and where in the file
// its signature's blob of a type lies, to change them in place.
function arm64Of(file) {
  const s = readSlices(file).slices.find((x) => readMachO(x.data).arch === 'arm64');
  const superBlob = s.offset + readSignature(readMachO(s.data)).signatureOffset;
  const blobAt = (type) => {
    for (let i = 0; i < file.readUInt32BE(superBlob + 8); i++) {
      if (file.readUInt32BE(superBlob + 12 + 8 * i) === type) return superBlob + file.readUInt32BE(superBlob + 16 + 8 * i);
    }
    throw new Error(`no blob ${type}`);
  };
  return { offset: s.offset, blobAt };
}

test('the expected file passes, and so do other sound forms of it', () => {
  const cases = [
    ['dyld binds, arm64 signed', goodExecutable()],
    ['chained fixups', universal([slice({ arch: 'x86_64', chained: [{ symbol: '_free', ordinal: 1 }] }),
      slice({ chained: [{ symbol: '_free', ordinal: 1 }, { symbol: '_dlopen', ordinal: 1 }] })])],
    ['x86_64 signed too', universal([slice({ arch: 'x86_64', signed: true }), slice()])],
    ['slices in the other order', universal([slice(), slice({ arch: 'x86_64' })])],
    ['libSystem reached by a two-digit ordinal', universal([slice({ arch: 'x86_64' }),
      slice({ dylibs: Array(16).fill(LIBSYSTEM), binds: [{ symbol: '_free', ordinal: 16 }] })])],
  ];
  for (const [name, file] of cases) {
    const { errors, report } = checkMacExecutable(file);
    assert.deepEqual(errors, [], name);
    assert.equal(report.length, 2, name);
  }
  const { report } = checkMacExecutable(goodExecutable());
  assert.match(report.find((l) => l.startsWith('arm64')), /macOS 11\.0 .*libSystem.*2 symbols bound, all from .*pages of 4096 bytes.*all match/);
});

test('each wrong file is rejected with the matching complaint', () => {
  const x86 = slice({ arch: 'x86_64' });
  const cases = [
    ['a thin arm64 file', slice(), /not a universal file/],
    ['no x86_64 slice', universal([slice()]), /the x86_64 slice is missing/],
    ['no arm64 slice', universal([x86]), /the arm64 slice is missing/],
    ['arm64 twice', universal([x86, slice(), slice()]), /appears twice/],
    ['built for macOS 12', universal([x86, slice({ minos: 0x0c0000 })]), /arm64 slice: built for macOS 12\.0, not 11/],
    ['built for 10.15', universal([slice({ arch: 'x86_64', minos: 0x0a0f00 }), slice()]), /x86_64 slice: built for macOS 10\.15/],
    ['no build version', universal([x86, slice({ minos: null })]), /no minimum macOS/],
    ['a framework linked', universal([x86, slice({ dylibs: [LIBSYSTEM, FRAMEWORK] })]), /loads .*CoreGraphics/],
    ['libSystem not loaded', universal([x86, slice({ dylibs: ['/usr/lib/libc++.1.dylib'] })]), /does not load \/usr\/lib\/libSystem/],
    ['a bind from the framework', universal([x86, slice({ dylibs: [LIBSYSTEM, FRAMEWORK],
      binds: [{ symbol: '_CGEventPost', ordinal: 2 }] })]), /_CGEventPost is bound from .*CoreGraphics \(bind\)/],
    ['a bind from no library', universal([x86, slice({ binds: [{ symbol: '_CGEventPost', ordinal: 3 }] })]),
      /_CGEventPost is bound from ordinal 3 \(no such library\)/],
    ['a lazy bind by flat lookup', universal([slice({ arch: 'x86_64', lazyBinds: [{ symbol: '_CGEventPost', ordinal: -2 }] }), slice()]),
      /_CGEventPost is bound from a flat lookup in every image \(lazyBind\)/],
    ['a chained import from the main executable', universal([x86, slice({ chained: [{ symbol: '_f', ordinal: -1 }] })]),
      /_f is bound from the main executable \(chained fixups\)/],
    ['no binds to check', universal([x86, slice({ binds: [], lazyBinds: [] })]), /no binds found/],
    ['arm64 unsigned', universal([x86, slice({ signed: false })]), /arm64 slice: no code signature/],
    ['signed, but not ad hoc', universal([x86, slice({ signatureFlags: 0x20000 })]), /not ad hoc/],
    ['half a header', goodExecutable().subarray(0, 30), /unreadable: the universal header lies outside the file/],
    ['cut short', goodExecutable().subarray(0, 40000), /unreadable: .*outside the file/],
    ['not an executable', Buffer.from('#!/bin/sh\necho hello\n'.repeat(4)), /unreadable: not a 64-bit Mach-O/],
  ];
  for (const [name, file, complaint] of cases) {
    const { errors } = checkMacExecutable(file);
    assert.ok(errors.some((e) => complaint.test(e)), `${name}: ${JSON.stringify(errors)}`);
  }
});

// Each change made after signing, on the made-up file and on the real one.
const SIGNATURE_BREAKS = [
  ['a byte of code changed', (f, a) => { f[a.offset + 4096 + 100] ^= 1; }, /arm64 slice: the hash of page 1 does not match/],
  ['a byte of the header changed', (f, a) => { f[a.offset + 28] ^= 1; }, /the hash of page 0 does not match/],
  ['a stored page hash changed', (f, a) => {
    const cd = a.blobAt(0);
    f[cd + f.readUInt32BE(cd + 16) + 2 * 32] ^= 1;
  }, /the hash of page 2 does not match/],
  ['the covered length shortened', (f, a) => {
    const cd = a.blobAt(0);
    f.writeUInt32BE(f.readUInt32BE(cd + 32) - 4096, cd + 32);
    f.writeUInt32BE(f.readUInt32BE(cd + 28) - 1, cd + 28);
  }, /covers \d+ bytes, not the \d+ before it/],
];

function assertBreaksCaught(original, breaks = SIGNATURE_BREAKS) {
  for (const [name, change, complaint] of breaks) {
    const file = Buffer.from(original);
    change(file, arm64Of(file));
    const { errors } = checkMacExecutable(file);
    assert.ok(errors.some((e) => complaint.test(e)), `${name}: ${JSON.stringify(errors)}`);
  }
}

test('a signature that no longer fits its slice is rejected', () => {
  // The made-up signature has a requirements blob, as the linker's has (the
  // one that llvm-strip writes has none).
  assertBreaksCaught(goodExecutable(), [...SIGNATURE_BREAKS,
    ['the requirements changed', (f, a) => { f[a.blobAt(2) + 11] ^= 1; }, /the hash of blob 2 does not match/]]);
});

test('no changed byte makes the checker throw, and none in the signed arm64 code goes unseen', () => {
  const original = goodExecutable();
  const arm64 = readSlices(original).slices.find((x) => readMachO(x.data).arch === 'arm64');
  const signedEnd = arm64.offset + readSignature(readMachO(arm64.data)).signatureOffset;
  let seed = 12345;
  const next = (n) => { seed = (seed * 1103515245 + 12345) % 2 ** 31; return seed % n; };
  for (let round = 0; round < 400; round++) {
    const file = Buffer.from(original);
    // Every other round within the arm64 slice's signed bytes, the rest anywhere.
    const at = round % 2 ? arm64.offset + next(signedEnd - arm64.offset) : next(file.length);
    file[at] ^= 1 + next(255);
    const { errors } = checkMacExecutable(file);
    if (at >= arm64.offset && at < signedEnd) assert.notDeepEqual(errors, [], `byte ${at} changed`);
  }
});

// run.sh lays out the real executable when it is given one, a stand-in otherwise.
const packaged = path.join(pluginDir(), 'bin', 'deckmouse-macos');
const real = fs.existsSync(packaged) && fs.readFileSync(packaged).readUInt32BE(0) === 0xcafebabe;

test('the packaged universal executable passes, and a change to it does not', { skip: !real && 'no real deckmouse-macos laid out (MACOS_EXE)' }, () => {
  const file = fs.readFileSync(packaged);
  const { errors, report } = checkMacExecutable(file);
  assert.deepEqual(errors, []);
  assert.deepEqual(report.map((l) => l.split(':')[0]).sort(), ['arm64', 'x86_64']);
  assertBreaksCaught(file);
});
