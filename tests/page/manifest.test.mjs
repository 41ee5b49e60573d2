// The manifest checker itself: it must reject each way of breaking the host rules.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { assemble, readJson, REPO } from './lib/bundle.mjs';
import { checkManifest, checkLinuxManifest } from './lib/manifest-check.mjs';
import { mergePatch, linuxProgram } from './lib/merge-patch.mjs';

let work;
let plugin;
let base;
let linux;

before(() => {
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-manifest-'));
  const exe = path.join(work, 'exe');
  fs.writeFileSync(exe, 'x');
  plugin = assemble(path.join(work, 'out'), { windowsExe: exe, linuxExe: exe, linuxAarch64Exe: exe, macosExe: exe });
  base = readJson(path.join(plugin, 'manifest.json'));
  linux = readJson(path.join(plugin, 'manifest.linux.json'));
});

after(() => fs.rmSync(work, { recursive: true, force: true }));

const clone = (v) => JSON.parse(JSON.stringify(v));

test('the plugin manifest states the agreed identity', () => {
  assert.equal(base.UUID, 'org.deckmouse');
  assert.equal(base.Name, 'deckmouse');
  assert.equal(base.Category, base.Name);
  assert.equal(base.CodePath, 'bin/deckmouse.exe');
  assert.equal(base.CodePathMac, 'bin/deckmouse-macos');
  assert.equal(base.Version, '1.0.0.0');
  // What the Marketplace takes since early 2026.
  assert.equal(base.SDKVersion, 3);
  assert.deepEqual(base.Software, { MinimumVersion: '6.9' });
  assert.deepEqual(base.OS, [{ Platform: 'windows', MinimumVersion: '10' }, { Platform: 'mac', MinimumVersion: '11' }]);
  assert.deepEqual(base.Actions.map((a) => [a.UUID, a.Controllers]),
    [['org.deckmouse.mouse', ['Keypad']], ['org.deckmouse.dial', ['Encoder']]]);
  assert.equal(base.Actions[1].Encoder.layout, '$B1');
  assert.ok(!('URL' in base));
  assert.equal(linux.CodePathLin, 'bin/deckmouse');
});

test('the host simulator reports a host version the manifest accepts', async () => {
  const { HOST_VERSION } = await import(pathToFileURL(path.join(REPO, 'tools', 'host-sim', 'lib', 'host.js')).href);
  const [major, minor] = HOST_VERSION.split('.').map(Number);
  const [needMajor, needMinor] = base.Software.MinimumVersion.split('.').map(Number);
  assert.match(HOST_VERSION, /^\d+\.\d+\.\d+\.\d+$/);
  assert.ok(major > needMajor || (major === needMajor && minor >= needMinor),
    `host ${HOST_VERSION} older than the manifest's ${base.Software.MinimumVersion}`);
});

test('accepted variants pass', () => {
  const cases = [
    ['as shipped', (m) => m],
    ['SDK 3', (m) => { m.SDKVersion = 3; }],
    ['oldest host', (m) => { m.Software.MinimumVersion = '6.4'; }],
    ['newest host', (m) => { m.Software.MinimumVersion = '7.4'; }],
    ['windows alone', (m) => { m.OS = [m.OS[0]]; delete m.CodePathMac; }],
    ['a later mac', (m) => { m.OS[1].MinimumVersion = '12'; }],
    ['no category', (m) => { delete m.Category; delete m.CategoryIcon; }],
  ];
  for (const [name, change] of cases) {
    const m = clone(base);
    change(m);
    assert.deepEqual(checkManifest(m, plugin), [], name);
  }
});

test('each broken manifest is rejected with the matching complaint', () => {
  const cases = [
    ['required member missing', (m) => { delete m.Author; }, /missing Author/],
    ['unknown member', (m) => { m.Colour = 'red'; }, /unknown member Colour/],
    ['upper-case UUID', (m) => { m.UUID = 'org.DeckMouse'; }, /UUID/],
    ['UUID with one part', (m) => { m.UUID = 'deckmouse'; }, /UUID/],
    ['three-part version', (m) => { m.Version = '1.0.0'; }, /Version/],
    ['version with letters', (m) => { m.Version = '1.0.0.beta'; }, /Version/],
    ['SDK 4', (m) => { m.SDKVersion = 4; }, /SDKVersion/],
    ['SDK as text', (m) => { m.SDKVersion = '2'; }, /SDKVersion/],
    ['host too old', (m) => { m.Software.MinimumVersion = '6.3'; }, /outside 6.4..7.4/],
    ['host too new', (m) => { m.Software.MinimumVersion = '7.5'; }, /outside 6.4..7.4/],
    ['host version as number', (m) => { m.Software.MinimumVersion = 6.5; }, /outside/],
    ['linux in manifest.json', (m) => { m.OS = [{ Platform: 'linux', MinimumVersion: '1' }]; }, /Platform/],
    ['no OS entry', (m) => { m.OS = []; }, /one or two/],
    ['three OS entries', (m) => { m.OS = [...m.OS, { Platform: 'mac', MinimumVersion: '12' }, { Platform: 'mac', MinimumVersion: '13' }]; }, /one or two/],
    ['OS version as number', (m) => { m.OS[0].MinimumVersion = 10; }, /MinimumVersion must be text/],
    ['category not the name', (m) => { m.Category = 'Mouse'; }, /Category must equal Name/],
    ['category without icon', (m) => { delete m.CategoryIcon; }, /needs a CategoryIcon/],
    ['image with extension', (m) => { m.Icon = 'images/plugin.png'; }, /without extension/],
    ['image not laid out', (m) => { m.Icon = 'images/missing'; }, /images\/missing.png not in the bundle/],
    ['state image not laid out', (m) => { m.Actions[0].States[0].Image = 'images/gone'; }, /States\[0\]\.Image/],
    ['page not laid out', (m) => { m.PropertyInspectorPath = 'pi/none.html'; }, /PropertyInspectorPath/],
    ['program not laid out', (m) => { m.CodePath = 'bin/other.exe'; }, /CodePath: bin\/other.exe/],
    ['mac program not laid out', (m) => { m.CodePathMac = 'bin/none'; }, /CodePathMac: bin\/none not in the bundle/],
    ['mac listed without its program', (m) => { delete m.CodePathMac; }, /mac would start bin\/deckmouse.exe/],
    ['linux member in manifest.json', (m) => { m.CodePathLin = 'bin/deckmouse'; }, /belongs in manifest.linux.json/],
    ['action outside the plugin', (m) => { m.Actions[0].UUID = 'org.other.mouse'; }, /start with the plugin UUID/],
    ['action without states', (m) => { delete m.Actions[0].States; }, /missing States/],
    ['state without image', (m) => { m.Actions[0].States = [{}]; }, /missing Image/],
    ['unknown action member', (m) => { m.Actions[0].Hotkey = 'F1'; }, /unknown member Hotkey/],
    ['unknown controller', (m) => { m.Actions[0].Controllers = ['Pedal']; }, /Controllers/],
    ['no actions', (m) => { m.Actions = []; }, /Actions/],
    ['dial without its Encoder object', (m) => { delete m.Actions[1].Encoder; }, /needs an Encoder object/],
    ['Encoder object on a key', (m) => { m.Actions[0].Encoder = m.Actions[1].Encoder; }, /without the Encoder controller/],
    ['unknown strip layout', (m) => { m.Actions[1].Encoder.layout = '$Z9'; }, /layout "\$Z9" unknown/],
    ['trigger description missing', (m) => { delete m.Actions[1].Encoder.TriggerDescription.LongTouch; }, /missing LongTouch/],
    ['empty trigger description', (m) => { m.Actions[1].Encoder.TriggerDescription.Push = ''; }, /Push must be a non-empty/],
    ['dial icon of the wrong size', (m) => { m.Actions[1].Encoder.Icon = 'images/dial-action'; }, /Encoder\.Icon: images\/dial-action\.png is 20x20, not 72x72/],
    ['strip background of the wrong size', (m) => { m.Actions[1].Encoder.background = 'images/dial'; }, /background: images\/dial@2x\.png is 144x144, not 400x200/],
    ['key image of the wrong size', (m) => { m.Actions[0].States[0].Image = 'images/plugin'; }, /States\[0\]\.Image: images\/plugin\.png is 256x256, not 72x72/],
  ];
  for (const [name, change, complaint] of cases) {
    const m = clone(base);
    change(m);
    const errors = checkManifest(m, plugin);
    assert.ok(errors.some((e) => complaint.test(e)), `${name}: ${JSON.stringify(errors)}`);
  }
});

test('the Linux manifest is checked on its own rules', () => {
  assert.deepEqual(checkLinuxManifest(linux, base, plugin), []);
  const cases = [
    ['no CodePathLin', (l) => { delete l.CodePathLin; }, /missing CodePathLin/],
    ['program not laid out', (l) => { l.CodePathLin = 'bin/none'; }, /CodePathLin: bin\/none/],
    ['no linux entry', (l) => { l.OS = [{ Platform: 'windows', MinimumVersion: '10' }]; }, /no linux entry/],
    ['unknown member', (l) => { l.Shell = 'bash'; }, /unknown member Shell/],
    ['other UUID', (l) => { l.UUID = 'org.other'; }, /UUID differs/],
    ['CodePaths not an object', (l) => { l.CodePaths = ['bin/deckmouse']; }, /CodePaths must map/],
    ['triple of another system', (l) => { l.CodePaths = { 'aarch64-apple-darwin': 'bin/deckmouse' }; }, /not a Linux target triple/],
    ['triple program not laid out', (l) => { l.CodePaths['aarch64-unknown-linux-gnu'] = 'bin/none'; }, /CodePaths\.aarch64-unknown-linux-gnu: bin\/none/],
    ['triple program empty', (l) => { l.CodePaths['x86_64-unknown-linux-gnu'] = ''; }, /must name a program/],
  ];
  for (const [name, change, complaint] of cases) {
    const l = clone(linux);
    change(l);
    const errors = checkLinuxManifest(l, base, plugin);
    assert.ok(errors.some((e) => complaint.test(e)), `${name}: ${JSON.stringify(errors)}`);
  }
});

// RFC 7396's own examples (its appendix A), and the one that matters here:
// an array is replaced whole, so the merged OS names Linux alone.
test('the merge patch follows RFC 7396', () => {
  const cases = [
    [{ a: 'b' }, { a: 'c' }, { a: 'c' }],
    [{ a: 'b' }, { b: 'c' }, { a: 'b', b: 'c' }],
    [{ a: 'b' }, { a: null }, {}],
    [{ a: 'b', b: 'c' }, { a: null }, { b: 'c' }],
    [{ a: ['b'] }, { a: 'c' }, { a: 'c' }],
    [{ a: 'c' }, { a: ['b'] }, { a: ['b'] }],
    [{ a: { b: 'c' } }, { a: { b: 'd', c: null } }, { a: { b: 'd' } }],
    [{ a: [{ b: 'c' }] }, { a: [1] }, { a: [1] }],
    [['a', 'b'], ['c', 'd'], ['c', 'd']],
    [{ a: 'b' }, ['c'], ['c']],
    [{ a: 'foo' }, null, null],
    [{ a: 'foo' }, 'bar', 'bar'],
    [{ e: null }, { a: 1 }, { e: null, a: 1 }],
    [[1, 2], { a: 'b', c: null }, { a: 'b' }],
    [{}, { a: { bb: { ccc: null } } }, { a: { bb: {} } }],
  ];
  for (const [target, patch, want] of cases) {
    const before = JSON.stringify(target);
    assert.deepEqual(mergePatch(target, patch), want, `${before} + ${JSON.stringify(patch)}`);
    assert.equal(JSON.stringify(target), before, 'the target is left as it was');
  }
});

test('merged as a Linux host merges them, the manifests start the program of its architecture', () => {
  const merged = mergePatch(base, linux);
  assert.deepEqual(merged.OS, [{ Platform: 'linux', MinimumVersion: '1' }]);
  assert.equal(merged.UUID, base.UUID);
  assert.deepEqual(merged.Actions, base.Actions);
  const cases = [
    ['x86_64-unknown-linux-gnu', 'bin/deckmouse'],
    ['aarch64-unknown-linux-gnu', 'bin/deckmouse-aarch64'],
  ];
  for (const [triple, program] of cases) {
    assert.equal(linuxProgram(merged, triple), program, triple);
    assert.ok(fs.existsSync(path.join(plugin, program)), `${program} laid out`);
  }
  assert.equal(linuxProgram(base, 'x86_64-unknown-linux-gnu'), null, 'manifest.json alone names no Linux program');
  assert.equal(linuxProgram({ ...merged, CodePaths: undefined }, 'aarch64-unknown-linux-gnu'), 'bin/deckmouse',
    'without CodePaths every architecture gets CodePathLin');
});
