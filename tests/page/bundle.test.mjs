// The laid-out plugin folder and its package: layout, images, data shared by the
// icon renderer and the page, language files.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import vm from 'node:vm';
import zlib from 'node:zlib';
import { execFileSync } from 'node:child_process';
import { assemble, readJson, PLUGIN_FOLDER } from './lib/bundle.mjs';
import { BUNDLE_SRC, iconData, LANGUAGES, pageStrings } from './lib/page-source.mjs';
import { checkBundle } from './lib/manifest-check.mjs';

let work;
let plugin;
let pkg;
const exeBytes = {
  win: 'MZ fake windows program', linux: '#!/bin/sh\necho fake\n', arm: '#!/bin/sh\necho arm\n', mac: 'fake universal program',
};

before(() => {
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-assemble-'));
  const win = path.join(work, 'in.exe');
  const lin = path.join(work, 'in-linux');
  const arm = path.join(work, 'in-linux-arm');
  const mac = path.join(work, 'in-macos');
  fs.writeFileSync(win, exeBytes.win);
  fs.writeFileSync(lin, exeBytes.linux, { mode: 0o644 });
  fs.writeFileSync(arm, exeBytes.arm, { mode: 0o644 });
  fs.writeFileSync(mac, exeBytes.mac, { mode: 0o600 });
  pkg = path.join(work, 'dist', 'org.deckmouse.streamDeckPlugin');
  plugin = assemble(path.join(work, 'out'),
    { windowsExe: win, linuxExe: lin, linuxAarch64Exe: arm, macosExe: mac, packageFile: pkg });
});

after(() => fs.rmSync(work, { recursive: true, force: true }));

function filesUnder(dir, prefix = '') {
  const out = [];
  for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
    const rel = prefix + e.name;
    if (e.isDirectory()) out.push(...filesUnder(path.join(dir, e.name), rel + '/'));
    else out.push(rel);
  }
  return out;
}

// Width and height from the IHDR chunk, after checking the PNG signature.
function pngSize(file) {
  const b = fs.readFileSync(file);
  assert.equal(b.subarray(0, 8).toString('hex'), '89504e470d0a1a0a', `${file} is not a PNG`);
  assert.equal(b.subarray(12, 16).toString('latin1'), 'IHDR', file);
  return [b.readUInt32BE(16), b.readUInt32BE(20), b[25]];
}

test('the folder holds manifests, languages, executables, page, icons and images', () => {
  assert.equal(path.basename(plugin), PLUGIN_FOLDER);
  const top = fs.readdirSync(plugin).sort();
  assert.deepEqual(top, ['bin', 'de.json', 'en.json', 'es.json', 'fr.json', 'icons', 'images', 'ja.json',
    'ko.json', 'manifest.json', 'manifest.linux.json', 'pi', 'zh_CN.json', 'zh_TW.json']);
  assert.equal(fs.readFileSync(path.join(plugin, 'bin', 'deckmouse.exe'), 'utf8'), exeBytes.win);
  assert.equal(fs.readFileSync(path.join(plugin, 'bin', 'deckmouse'), 'utf8'), exeBytes.linux);
  assert.equal(fs.readFileSync(path.join(plugin, 'bin', 'deckmouse-aarch64'), 'utf8'), exeBytes.arm);
  assert.equal(fs.readFileSync(path.join(plugin, 'bin', 'deckmouse-macos'), 'utf8'), exeBytes.mac);
  for (const name of ['deckmouse', 'deckmouse-aarch64', 'deckmouse-macos']) {
    assert.ok(fs.statSync(path.join(plugin, 'bin', name)).mode & 0o100, `${name} is executable`);
  }
  assert.deepEqual(fs.readdirSync(path.join(plugin, 'pi')).sort(),
    ['dial-logic.js', 'dial.html', 'dial.js', 'icons-data.js', 'index.html', 'logic.js', 'page-common.js', 'page.js',
      'style.css']);
});

test('the laid-out manifests pass the host rules', () => {
  assert.deepEqual(checkBundle(plugin), []);
});

test('the package is a zip whose entries all sit under the plugin folder', () => {
  const listing = execFileSync('cmake', ['-E', 'tar', 'tf', pkg], { encoding: 'utf8' })
    .split('\n').filter(Boolean);
  assert.equal(fs.readFileSync(pkg).subarray(0, 4).toString('hex'), '504b0304', 'zip signature');
  for (const entry of listing) assert.ok(entry.startsWith(PLUGIN_FOLDER + '/'), entry);
  const files = listing.filter((e) => !e.endsWith('/')).map((e) => e.slice(PLUGIN_FOLDER.length + 1));
  assert.deepEqual(files.sort(), filesUnder(plugin).sort());
});

// Name and Unix mode of each entry, from the zip's central directory.
function zipModes(file) {
  const b = fs.readFileSync(file);
  const end = b.lastIndexOf(Buffer.from([0x50, 0x4b, 0x05, 0x06]));
  assert.ok(end >= 0, 'end of central directory');
  const modes = new Map();
  for (let at = b.readUInt32LE(end + 16), n = b.readUInt16LE(end + 10); n > 0; n--) {
    assert.equal(b.readUInt32LE(at), 0x02014b50, 'central directory entry');
    const nameLength = b.readUInt16LE(at + 28);
    const name = b.toString('utf8', at + 46, at + 46 + nameLength);
    modes.set(name, { unix: b[at + 5] === 3, mode: b.readUInt32LE(at + 38) >>> 16 });
    at += 46 + nameLength + b.readUInt16LE(at + 30) + b.readUInt16LE(at + 32);
  }
  return modes;
}

test('the package keeps the Linux and macOS programs executable', () => {
  const modes = zipModes(pkg);
  for (const name of ['deckmouse', 'deckmouse-macos']) {
    const entry = modes.get(`${PLUGIN_FOLDER}/bin/${name}`);
    assert.ok(entry && entry.unix, `${name}: stored with Unix attributes`);
    assert.equal(entry.mode & 0o755, 0o755, `${name}: mode ${entry.mode.toString(8)}`);
  }
  assert.equal(modes.get(`${PLUGIN_FOLDER}/manifest.json`).mode & 0o111, 0, 'data files are not executable');
});

test('without executables the folder is laid out with an empty bin', () => {
  const out = path.join(work, 'bare');
  const dir = assemble(out);
  assert.deepEqual(fs.readdirSync(path.join(dir, 'bin')), []);
  assert.ok(fs.existsSync(path.join(dir, 'manifest.json')));
});

test('a missing executable stops the layout', () => {
  assert.throws(() => assemble(path.join(work, 'broken'), { windowsExe: path.join(work, 'nope.exe') }));
});

// The top-left pixel as "#rrggbb". Whatever filter the first row uses, its
// first pixel is stored as it is, so inflating the image data is enough.
function cornerColour(file) {
  pngSize(file);
  const b = fs.readFileSync(file);
  assert.ok(b[24] === 8 && (b[25] === 2 || b[25] === 6), `${file}: 8-bit RGB or RGBA`);
  const idat = [];
  for (let at = 8; at < b.length;) {
    const length = b.readUInt32BE(at);
    if (b.subarray(at + 4, at + 8).toString('latin1') === 'IDAT') idat.push(b.subarray(at + 8, at + 8 + length));
    at += 12 + length;
  }
  const pixels = zlib.inflateSync(Buffer.concat(idat));
  return '#' + pixels.subarray(1, 4).toString('hex');
}

test('every icon exists in every palette colour at 144x144, held as well, and nothing else', () => {
  const want = [];
  for (const icon of iconData.icons) {
    for (const c of iconData.palette) {
      want.push(`${icon.name}_${c.id}${c.word}.png`, `${icon.name}_held_${c.id}${c.word}.png`);
    }
  }
  const got = fs.readdirSync(path.join(plugin, 'icons'));
  assert.deepEqual(got.sort(), want.sort());
  for (const f of got) {
    const [w, h] = pngSize(path.join(plugin, 'icons', f));
    assert.deepEqual([w, h], [144, 144], f);
  }
});

test('a held icon stands out from its icon: the palette colour becomes the ground', () => {
  for (const icon of iconData.icons) {
    for (const c of iconData.palette) {
      const file = (name) => path.join(plugin, 'icons', `${name}_${c.id}${c.word}.png`);
      assert.equal(cornerColour(file(icon.name)), '#111111', `${icon.name} ${c.word}`);
      assert.equal(cornerColour(file(`${icon.name}_held`)), c.hex, `${icon.name}_held ${c.word}`);
    }
  }
});

test('icon names, colour identifiers and words are usable in file names and distinct', () => {
  const names = iconData.icons.map((i) => i.name);
  const ids = iconData.palette.map((p) => p.id);
  const words = iconData.palette.map((p) => p.word);
  for (const list of [names, ids, words]) assert.equal(new Set(list).size, list.length);
  for (const n of names) assert.match(n, /^[a-z0-9_]+$/);
  for (const id of ids) assert.match(id, /^[0-9]+$/);
  for (const w of words) assert.match(w, /^[a-z]+$/);
  for (const p of iconData.palette) assert.match(p.hex, /^#[0-9a-f]{6}$/);
  assert.ok(ids.includes(iconData.defaultColour));
  // <name>_held.svg is the held look of an icon that has one drawn; the rest get theirs derived.
  for (const n of names) assert.doesNotMatch(n, /_held$/);
  const drawings = fs.readdirSync(path.join(BUNDLE_SRC, 'icons-src')).filter((f) => f.endsWith('.svg'))
    .map((f) => f.slice(0, -4));
  assert.deepEqual(drawings.filter((d) => !d.endsWith('_held')).sort(), [...names].sort());
  for (const d of drawings.filter((x) => x.endsWith('_held'))) assert.ok(names.includes(d.slice(0, -5)), d);
  // The derived held look swaps the two paints, so a drawing uses no others.
  for (const d of drawings) {
    const svg = fs.readFileSync(path.join(BUNDLE_SRC, 'icons-src', `${d}.svg`), 'utf8');
    const paints = [...svg.matchAll(/(?:fill|stroke)="([^"]*)"/g)].map((m) => m[1]);
    for (const paint of paints) assert.ok(['@COLOR@', '#111111', 'none'].includes(paint), `${d}: ${paint}`);
    assert.doesNotMatch(svg, /style=|<style/, `${d}: paints only in attributes`);
  }
});

test('host images come in both sizes, list icons with transparency', () => {
  const cases = [['action', 20, 20, true], ['category', 28, 28, true], ['key', 72, 72, false],
    ['plugin', 256, 256, false], ['dial-action', 20, 20, true], ['dial', 72, 72, false], ['dial-strip', 200, 100, false]];
  for (const [name, width, height, transparent] of cases) {
    const [w1, h1, type1] = pngSize(path.join(plugin, 'images', `${name}.png`));
    const [w2, h2] = pngSize(path.join(plugin, 'images', `${name}@2x.png`));
    assert.deepEqual([w1, h1, w2, h2], [width, height, width * 2, height * 2], name);
    if (transparent) assert.equal(type1, 6, `${name} has an alpha channel`);
  }
});

test('the page gets the same icon list and palette the renderer used', () => {
  const code = fs.readFileSync(path.join(plugin, 'pi', 'icons-data.js'), 'utf8');
  const sandbox = { window: {} };
  vm.runInNewContext(code, sandbox);
  assert.deepEqual(JSON.parse(JSON.stringify(sandbox.window.DECKMOUSE_ICONS)), iconData);
});

test('each language file has the host shape and translates every page text', () => {
  const strings = [...pageStrings()].sort();
  const manifest = readJson(path.join(BUNDLE_SRC, 'manifest.json'));
  const english = readJson(path.join(plugin, 'en.json'));
  for (const lang of LANGUAGES) {
    const file = readJson(path.join(plugin, `${lang}.json`));
    assert.deepEqual(Object.keys(file).sort(),
      ['Category', 'Description', 'Localization', 'Name', 'org.deckmouse.dial', 'org.deckmouse.mouse'], lang);
    assert.equal(file.Category, file.Name, `${lang}: Category is the name`);
    assert.deepEqual(Object.keys(file['org.deckmouse.mouse']).sort(), ['Name', 'Tooltip'], lang);
    const dial = file['org.deckmouse.dial'];
    assert.deepEqual(Object.keys(dial).sort(), ['Encoder', 'Name', 'Tooltip'], lang);
    assert.deepEqual(Object.keys(dial.Encoder.TriggerDescription).sort(), ['LongTouch', 'Push', 'Rotate', 'Touch'], lang);
    assert.deepEqual(Object.keys(file.Localization).sort(), strings, `${lang}: Localization keys`);
    for (const [key, value] of Object.entries(file.Localization)) {
      assert.ok(typeof value === 'string' && value.trim() !== '', `${lang}: ${key}`);
      const slots = (s) => (s.match(/\{\w+\}/g) || []).sort();
      assert.deepEqual(slots(value), slots(key), `${lang}: slots of ${key}`);
    }
    if (lang === 'en') {
      for (const [k, v] of Object.entries(file.Localization)) assert.equal(v, k);
      assert.equal(file.Description, manifest.Description);
      assert.deepEqual(dial.Encoder.TriggerDescription, manifest.Actions[1].Encoder.TriggerDescription);
    } else {
      // Brand-like words may stay; most texts must read differently from English.
      const same = Object.entries(file.Localization).filter(([k, v]) => k === v).length;
      assert.ok(same <= strings.length * 0.1, `${lang}: ${same} texts left in English`);
      assert.notEqual(file.Description, english.Description, lang);
      assert.notEqual(file['org.deckmouse.mouse'].Tooltip, english['org.deckmouse.mouse'].Tooltip, lang);
      const triggers = (f) => f['org.deckmouse.dial'].Encoder.TriggerDescription;
      for (const k of Object.keys(triggers(english))) {
        assert.notEqual(triggers(file)[k], triggers(english)[k], `${lang}: trigger ${k} translated`);
      }
    }
  }
});
