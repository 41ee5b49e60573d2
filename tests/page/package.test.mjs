// The installable package as a host and the vendor's Marketplace see it: the
// vendor's own validator on the laid-out folder and on the unpacked package
// (with its bundled schema and with the newest one on npm), the manifest
// version the Marketplace asks for, and every program the manifests name
// present, executable and built for its machine.
//
// DECKMOUSE_PACKAGE names a built package (real executables), and
// DECKMOUSE_PLUGIN_DIR the folder it was made from; without them the package
// is laid out here with stand-in executables that carry only a header.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import { assemble, readJson, PLUGIN_FOLDER } from './lib/bundle.mjs';
import { vendorValidate, isClean, NEWEST_SCHEMAS } from './lib/vendor-validate.mjs';
import { mergePatch, linuxProgram } from './lib/merge-patch.mjs';
import {
  ELF_MACHINE, PE_AMD64, elfHeader, peMachine, isUniversalMachO, elfStandIn, peStandIn, universalStandIn,
} from './lib/executables.mjs';
import { zipEntries } from './lib/zip.mjs';

let work;
let pkg;
let laidOut; // the folder the package was made from, when made here
let unpacked;
let merged; // manifest.json with manifest.linux.json merged over it

before(() => {
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-package-'));
  if (process.env.DECKMOUSE_PACKAGE) {
    pkg = path.resolve(process.env.DECKMOUSE_PACKAGE);
    laidOut = process.env.DECKMOUSE_PLUGIN_DIR;
  } else {
    const standIn = (name, bytes) => {
      const file = path.join(work, name);
      fs.writeFileSync(file, bytes, { mode: 0o644 });
      return file;
    };
    pkg = path.join(work, 'org.deckmouse.streamDeckPlugin');
    laidOut = assemble(path.join(work, 'out'), {
      windowsExe: standIn('win.exe', peStandIn(PE_AMD64)),
      linuxExe: standIn('x86-64', elfStandIn(ELF_MACHINE['x86_64-unknown-linux-gnu'])),
      linuxAarch64Exe: standIn('arm64', elfStandIn(ELF_MACHINE['aarch64-unknown-linux-gnu'])),
      macosExe: standIn('macos', universalStandIn()),
      packageFile: pkg,
    });
  }
  const into = path.join(work, 'unpacked');
  fs.mkdirSync(into);
  execFileSync('cmake', ['-E', 'tar', 'xf', pkg], { cwd: into });
  unpacked = path.join(into, PLUGIN_FOLDER);
  merged = mergePatch(readJson(path.join(unpacked, 'manifest.json')), readJson(path.join(unpacked, 'manifest.linux.json')));
});

after(() => fs.rmSync(work, { recursive: true, force: true }));

// Every program a host may start: path in the folder -> what it must be.
function programs() {
  const base = readJson(path.join(unpacked, 'manifest.json'));
  const found = new Map([[base.CodePathWin ?? base.CodePath, { pe: PE_AMD64 }], [base.CodePathMac, { universal: true }]]);
  for (const [triple, machine] of Object.entries(ELF_MACHINE)) {
    found.set(linuxProgram(merged, triple), { elf: machine, triple });
  }
  return found;
}

test('the vendor\'s validator finds the folder and the unpacked package clean, with either schema', (t) => {
  const folders = [['unpacked package', unpacked]];
  if (laidOut) folders.unshift(['laid-out folder', laidOut]);
  for (const [what, dir] of folders) {
    for (const [schema, schemas] of [['bundled schema', null], ['newest schema on npm', NEWEST_SCHEMAS]]) {
      const result = vendorValidate(dir, { schemas });
      t.diagnostic(`${what}, ${schema}: exit ${result.status}: ${result.output}`);
      assert.ok(isClean(result), `${what}, ${schema}: exit ${result.status}\n${result.output}`);
    }
  }
});

// A validator whose verdict was never read, or a schema the tool never
// loaded, would pass everything: a broken manifest must fail, and a schema
// put in the tool's cache must be the one it applies.
test('the validator fails a broken manifest and applies the schema it is given', () => {
  const broken = path.join(work, 'broken', PLUGIN_FOLDER);
  fs.cpSync(unpacked, broken, { recursive: true });
  const manifestFile = path.join(broken, 'manifest.json');
  const manifest = readJson(manifestFile);
  fs.writeFileSync(manifestFile, JSON.stringify({ ...manifest, SDKVersion: 4 }));
  const rejected = vendorValidate(broken);
  assert.notEqual(rejected.status, 0, rejected.output);
  assert.match(rejected.output, /SDKVersion/);

  fs.writeFileSync(manifestFile, JSON.stringify(manifest));
  const schema = readJson(NEWEST_SCHEMAS['manifest.json']);
  schema.$id = schema.$id.replace(/@[^@]*$/, '@999.0.0');
  schema.definitions.Manifest.required.push('DeckmouseProbe');
  const probed = vendorValidate(broken, { schemas: { 'manifest.json': schema } });
  assert.notEqual(probed.status, 0, probed.output);
  assert.match(probed.output, /DeckmouseProbe/);
});

test('the package asks for SDK version 3 and host 6.9 or later, as the Marketplace requires', () => {
  const manifest = readJson(path.join(unpacked, 'manifest.json'));
  assert.equal(manifest.SDKVersion, 3);
  const [major, minor] = manifest.Software.MinimumVersion.split('.').map(Number);
  assert.ok(major > 6 || (major === 6 && minor >= 9), manifest.Software.MinimumVersion);
});

test('each program is in the package, executable, and built for its machine', () => {
  const entries = new Map(zipEntries(pkg).map((e) => [e.name, e]));
  for (const [program, want] of programs()) {
    const entry = entries.get(`${PLUGIN_FOLDER}/${program}`);
    assert.ok(entry, `${program} in the package`);
    assert.ok(entry.unix && (entry.mode & 0o111) === 0o111, `${program}: zip keeps it executable (mode ${entry.mode?.toString(8)})`);
    const file = path.join(unpacked, program);
    assert.ok((fs.statSync(file).mode & 0o111) === 0o111, `${program}: executable once unpacked`);
    if (want.pe) {
      assert.equal(peMachine(file), want.pe, `${program}: Windows x64`);
    } else if (want.universal) {
      assert.ok(isUniversalMachO(file), `${program}: a universal macOS executable`);
    } else {
      const elf = elfHeader(file);
      assert.ok(elf, `${program}: a 64-bit little-endian ELF file`);
      assert.equal(elf.machine, want.elf, `${program}: machine of ${want.triple}`);
    }
  }
  assert.equal(programs().size, 4, 'one program per system and machine');
});
