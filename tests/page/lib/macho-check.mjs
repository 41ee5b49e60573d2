// Checks the package's macOS executable: a universal file of an arm64 and an
// x86_64 slice, each for the manifest's minimum macOS, loading libSystem
// alone and binding every symbol from it, the arm64 slice signed ad hoc with
// every page's hash right (Apple silicon runs nothing else).
//   node lib/macho-check.mjs <deckmouse-macos> [minimum macOS, default 11]
//     -> prints what it found, or the problems and exits 1
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { MachOError, readSlices, readMachO, readBinds, readSignature } from './macho.mjs';

export const LIBSYSTEM = '/usr/lib/libSystem.B.dylib';
const ARCHITECTURES = ['arm64', 'x86_64'];
// The slices that must carry a signature to run at all.
const SIGNED = ['arm64'];

// "11" and "11.0" are the same version.
function sameVersion(a, b) {
  const parts = (v) => String(v).split('.').map(Number).concat([0, 0]).slice(0, 3);
  const [x, y] = [parts(a), parts(b)];
  return x.every((n, i) => n === y[i]);
}

function checkSignature(image, errors) {
  const at = `${image.arch} slice`;
  const sig = readSignature(image);
  if (!sig.adHoc) errors.push(`${at}: the signature is not ad hoc`);
  if (sig.signer) errors.push(`${at}: the signature carries a signer's certificate`);
  if (sig.codeLimit !== sig.signatureOffset) {
    errors.push(`${at}: the signature covers ${sig.codeLimit} bytes, not the ${sig.signatureOffset} before it`);
  }
  for (const page of sig.badPages) errors.push(`${at}: the hash of page ${page} does not match the page`);
  for (const slot of sig.badSpecialSlots) errors.push(`${at}: the hash of blob ${slot} does not match the blob`);
  return `ad-hoc signature "${sig.identifier}", ${sig.codeSlots} pages of ${sig.pageSize} bytes re-hashed with SHA-256`
    + (sig.badPages.length || sig.badSpecialSlots.length ? '' : ', all match');
}

function checkSlice(image, minimumMacOS, errors) {
  const at = `${image.arch} slice`;
  const found = [];
  if (image.minimumMacOS === null) errors.push(`${at}: no minimum macOS`);
  else if (!sameVersion(image.minimumMacOS, minimumMacOS)) {
    errors.push(`${at}: built for macOS ${image.minimumMacOS}, not ${minimumMacOS}`);
  }
  found.push(`macOS ${image.minimumMacOS} and later`);

  for (const lib of image.dylibs) if (lib !== LIBSYSTEM) errors.push(`${at}: loads ${lib}`);
  if (!image.dylibs.includes(LIBSYSTEM)) errors.push(`${at}: does not load ${LIBSYSTEM}`);
  found.push(`loads ${image.dylibs.join(', ')}`);

  const binds = readBinds(image);
  if (binds.length === 0) errors.push(`${at}: no binds found, so none was checked`);
  for (const b of binds) {
    if (b.library !== LIBSYSTEM) errors.push(`${at}: ${b.symbol} is bound from ${b.library} (${b.table})`);
  }
  const symbols = new Set(binds.map((b) => b.symbol));
  found.push(`${symbols.size} symbols bound, ${binds.every((b) => b.library === LIBSYSTEM) ? 'all' : 'not all'}`
    + ` from ${path.basename(LIBSYSTEM)}`);

  if (image.codeSignature) found.push(checkSignature(image, errors));
  else if (SIGNED.includes(image.arch)) errors.push(`${at}: no code signature`);
  else found.push('unsigned');
  return `${image.arch}: ${found.join('; ')}`;
}

// Returns { errors, report }: the problems found, and one line per slice of
// what was read. Nothing in the file makes it throw.
export function checkMacExecutable(buf, minimumMacOS = '11') {
  const errors = [];
  const report = [];
  try {
    const { universal, slices } = readSlices(buf);
    if (!universal) errors.push('not a universal file');
    const images = slices.map((s) => readMachO(s.data));
    const arches = images.map((i) => i.arch);
    for (const arch of ARCHITECTURES) if (!arches.includes(arch)) errors.push(`the ${arch} slice is missing`);
    for (const arch of arches) if (!ARCHITECTURES.includes(arch)) errors.push(`an unexpected ${arch} slice`);
    if (new Set(arches).size !== arches.length) errors.push('an architecture appears twice');
    for (const image of images) report.push(checkSlice(image, minimumMacOS, errors));
  } catch (e) {
    if (!(e instanceof MachOError)) throw e;
    errors.push(`unreadable: ${e.message}`);
  }
  return { errors, report };
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const [file, minimum = '11'] = process.argv.slice(2);
  if (!file) {
    console.error('usage: node macho-check.mjs <universal executable> [minimum macOS]');
    process.exit(2);
  }
  const buf = fs.readFileSync(file);
  const { errors, report } = checkMacExecutable(buf, minimum);
  console.log(`${file}: ${buf.length} bytes`);
  for (const line of report) console.log(`  ${line}`);
  for (const e of errors) console.error(e);
  console.log(errors.length ? `${errors.length} problem(s)` : 'macOS executable ok');
  process.exit(errors.length ? 1 : 0);
}
