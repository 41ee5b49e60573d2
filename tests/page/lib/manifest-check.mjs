// Checks a laid-out plugin folder against the host's manifest rules.
//   node lib/manifest-check.mjs <folder>.sdPlugin   -> prints problems, exits 1 if any
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const UUID_RE = /^([a-z0-9-]+)(\.[a-z0-9-]+)+$/;
const VERSION_RE = /^\d+\.\d+\.\d+\.\d+$/;

const TOP_REQUIRED = ['Actions', 'Author', 'CodePath', 'Description', 'Icon', 'Name', 'OS',
  'SDKVersion', 'Software', 'UUID', 'Version'];
// The host knows more optional members than these; accepting only the ones this
// plugin may use keeps a typo from passing as an unknown-but-allowed member.
const TOP_OPTIONAL = ['CodePathWin', 'CodePathMac', 'Category', 'CategoryIcon',
  'PropertyInspectorPath', 'URL'];
const LINUX_ONLY = ['CodePathLin', 'CodePaths'];
// A Linux host picks CodePaths' entry by its own target triple.
const TRIPLE_RE = /^[a-z0-9_]+-[a-z0-9_]+-linux-[a-z0-9_]+$/;
const ACTION_REQUIRED = ['Icon', 'Name', 'States', 'UUID'];
const ACTION_OPTIONAL = ['Tooltip', 'PropertyInspectorPath', 'Controllers', 'Encoder', 'DisableAutomaticStates',
  'UserTitleEnabled', 'SupportedInMultiActions'];
const STATE_REQUIRED = ['Image'];
const STATE_OPTIONAL = [];
const CONTROLLERS = ['Keypad', 'Encoder'];
const ENCODER_REQUIRED = ['layout', 'Icon', 'background', 'TriggerDescription'];
const TRIGGERS = ['Rotate', 'Push', 'Touch', 'LongTouch'];
// The built-in layouts of the touch strip.
const LAYOUTS = ['$X1', '$A0', '$A1', '$B1', '$B2', '$C1'];

function isObject(v) {
  return v !== null && typeof v === 'object' && !Array.isArray(v);
}

function members(obj, where, required, optional, errors) {
  for (const k of required) if (!(k in obj)) errors.push(`${where}: missing ${k}`);
  for (const k of Object.keys(obj)) {
    if (!required.includes(k) && !optional.includes(k)) errors.push(`${where}: unknown member ${k}`);
  }
}

function text(obj, key, where, errors) {
  if (key in obj && (typeof obj[key] !== 'string' || obj[key] === '')) {
    errors.push(`${where}: ${key} must be a non-empty string`);
  }
}

// "6.5" -> 65; ranges compare major then minor.
function minorVersion(v) {
  const m = /^(\d+)\.(\d+)$/.exec(v);
  return m ? Number(m[1]) * 100 + Number(m[2]) : null;
}

function checkOs(os, platforms, where, errors) {
  if (!Array.isArray(os) || os.length < 1 || os.length > 2) {
    errors.push(`${where}: OS must hold one or two entries`);
    return;
  }
  os.forEach((e, i) => {
    const at = `${where}.OS[${i}]`;
    if (!isObject(e)) { errors.push(`${at}: not an object`); return; }
    members(e, at, ['Platform', 'MinimumVersion'], [], errors);
    if ('Platform' in e && !platforms.includes(e.Platform)) {
      errors.push(`${at}: Platform ${JSON.stringify(e.Platform)} not one of ${platforms.join(', ')}`);
    }
    if ('MinimumVersion' in e && (typeof e.MinimumVersion !== 'string' || e.MinimumVersion === '')) {
      errors.push(`${at}: MinimumVersion must be text`);
    }
  });
  const names = os.filter(isObject).map((e) => e.Platform);
  if (new Set(names).size !== names.length) errors.push(`${where}: OS lists a platform twice`);
}

// Width and height from a PNG's header; null for anything else.
export function pngSize(file) {
  const head = Buffer.alloc(24);
  const fd = fs.openSync(file, 'r');
  try {
    if (fs.readSync(fd, head, 0, 24, 0) < 24) return null;
  } finally {
    fs.closeSync(fd);
  }
  if (head.readUInt32BE(0) !== 0x89504e47 || head.toString('latin1', 12, 16) !== 'IHDR') return null;
  return [head.readUInt32BE(16), head.readUInt32BE(20)];
}

// Image paths name no extension; the folder must hold the .png and its @2x,
// of [width, height] and twice that when `size` is given.
function checkImage(value, where, dir, errors, size = null) {
  if (typeof value !== 'string' || value === '') {
    errors.push(`${where}: image path must be text`);
    return;
  }
  if (/\.(png|svg|jpg|jpeg|gif)$/i.test(value)) {
    errors.push(`${where}: image path ${value} must be written without extension`);
    return;
  }
  if (!dir) return;
  for (const [file, scale] of [[value + '.png', 1], [value + '@2x.png', 2]]) {
    const full = path.join(dir, file);
    if (!fs.existsSync(full)) {
      errors.push(`${where}: ${file} not in the bundle`);
      continue;
    }
    if (!size) continue;
    const found = pngSize(full);
    const want = [size[0] * scale, size[1] * scale];
    if (!found || found[0] !== want[0] || found[1] !== want[1]) {
      errors.push(`${where}: ${file} is ${found ? found.join('x') : 'no PNG'}, not ${want.join('x')}`);
    }
  }
}

// The dial's part: its strip layout, icon, background and what its controls do.
function checkEncoder(e, where, dir, errors) {
  if (!isObject(e)) { errors.push(`${where}: not an object`); return; }
  members(e, where, ENCODER_REQUIRED, [], errors);
  if ('layout' in e && !LAYOUTS.includes(e.layout)) errors.push(`${where}: layout ${JSON.stringify(e.layout)} unknown`);
  if ('Icon' in e) checkImage(e.Icon, `${where}.Icon`, dir, errors, [72, 72]);
  if ('background' in e) checkImage(e.background, `${where}.background`, dir, errors, [200, 100]);
  if ('TriggerDescription' in e) {
    const t = e.TriggerDescription;
    if (!isObject(t)) errors.push(`${where}.TriggerDescription: not an object`);
    else {
      members(t, `${where}.TriggerDescription`, TRIGGERS, [], errors);
      for (const k of TRIGGERS) text(t, k, `${where}.TriggerDescription`, errors);
    }
  }
}

function checkFile(value, where, dir, errors) {
  if (typeof value !== 'string' || value === '') return;
  if (dir && !fs.existsSync(path.join(dir, value))) errors.push(`${where}: ${value} not in the bundle`);
}

// manifest.json as the host reads it. `dir` (optional) is the plugin folder for file checks.
export function checkManifest(m, dir = null) {
  const errors = [];
  if (!isObject(m)) return ['manifest: not an object'];
  members(m, 'manifest', TOP_REQUIRED, TOP_OPTIONAL, errors);
  for (const k of LINUX_ONLY) if (k in m) errors.push(`manifest: ${k} belongs in manifest.linux.json`);
  for (const k of ['Author', 'CodePath', 'Description', 'Name', 'CodePathWin', 'CodePathMac',
    'Category', 'PropertyInspectorPath', 'URL']) text(m, k, 'manifest', errors);

  if ('UUID' in m && (typeof m.UUID !== 'string' || !UUID_RE.test(m.UUID))) {
    errors.push(`manifest: UUID ${JSON.stringify(m.UUID)} is not lower-case reverse-DNS`);
  }
  if ('Version' in m && (typeof m.Version !== 'string' || !VERSION_RE.test(m.Version))) {
    errors.push(`manifest: Version ${JSON.stringify(m.Version)} needs four numeric parts`);
  }
  if ('SDKVersion' in m && m.SDKVersion !== 2 && m.SDKVersion !== 3) {
    errors.push('manifest: SDKVersion must be 2 or 3');
  }
  if ('Software' in m) {
    if (!isObject(m.Software)) {
      errors.push('manifest: Software must be an object');
    } else {
      members(m.Software, 'manifest.Software', ['MinimumVersion'], [], errors);
      const v = typeof m.Software.MinimumVersion === 'string'
        ? minorVersion(m.Software.MinimumVersion) : null;
      if (v === null || v < 604 || v > 704) {
        errors.push(`manifest.Software: MinimumVersion ${JSON.stringify(m.Software.MinimumVersion)} outside 6.4..7.4`);
      }
    }
  }
  if ('OS' in m) checkOs(m.OS, ['windows', 'mac'], 'manifest', errors);
  if ('Icon' in m) checkImage(m.Icon, 'manifest.Icon', dir, errors);
  if ('CategoryIcon' in m) checkImage(m.CategoryIcon, 'manifest.CategoryIcon', dir, errors);
  if ('Category' in m) {
    if (m.Category !== m.Name) errors.push('manifest: Category must equal Name');
    if (!('CategoryIcon' in m)) errors.push('manifest: Category needs a CategoryIcon');
  }
  if ('PropertyInspectorPath' in m) checkFile(m.PropertyInspectorPath, 'manifest.PropertyInspectorPath', dir, errors);
  for (const k of ['CodePath', 'CodePathWin', 'CodePathMac']) {
    if (k in m) checkFile(m[k], `manifest.${k}`, dir, errors);
  }
  // Without CodePathMac a Mac host starts CodePath, which here is the Windows program.
  const onMac = Array.isArray(m.OS) && m.OS.some((e) => isObject(e) && e.Platform === 'mac');
  if (onMac && !('CodePathMac' in m) && typeof m.CodePath === 'string' && /\.exe$/i.test(m.CodePath)) {
    errors.push(`manifest: mac would start ${m.CodePath} (no CodePathMac)`);
  }

  if ('Actions' in m) {
    if (!Array.isArray(m.Actions) || m.Actions.length === 0) {
      errors.push('manifest: Actions must be a non-empty array');
    } else {
      const seen = new Set();
      m.Actions.forEach((a, i) => checkAction(a, `manifest.Actions[${i}]`, m.UUID, dir, seen, errors));
    }
  }
  return errors;
}

function checkAction(a, where, pluginUuid, dir, seen, errors) {
  if (!isObject(a)) { errors.push(`${where}: not an object`); return; }
  members(a, where, ACTION_REQUIRED, ACTION_OPTIONAL, errors);
  text(a, 'Name', where, errors);
  text(a, 'Tooltip', where, errors);
  if ('UUID' in a) {
    if (typeof a.UUID !== 'string' || !UUID_RE.test(a.UUID)) {
      errors.push(`${where}: UUID ${JSON.stringify(a.UUID)} is not lower-case reverse-DNS`);
    } else {
      if (typeof pluginUuid === 'string' && !a.UUID.startsWith(pluginUuid + '.')) {
        errors.push(`${where}: UUID should start with the plugin UUID`);
      }
      if (seen.has(a.UUID)) errors.push(`${where}: UUID used twice`);
      seen.add(a.UUID);
    }
  }
  if ('Icon' in a) checkImage(a.Icon, `${where}.Icon`, dir, errors);
  if ('Controllers' in a) {
    if (!Array.isArray(a.Controllers) || a.Controllers.length === 0
        || a.Controllers.some((c) => !CONTROLLERS.includes(c))) {
      errors.push(`${where}: Controllers must be ["Keypad"], ["Encoder"] or both`);
    }
  }
  const onDial = Array.isArray(a.Controllers) && a.Controllers.includes('Encoder');
  if (onDial && !('Encoder' in a)) errors.push(`${where}: an Encoder controller needs an Encoder object`);
  if ('Encoder' in a) {
    if (!onDial) errors.push(`${where}: Encoder object without the Encoder controller`);
    checkEncoder(a.Encoder, `${where}.Encoder`, dir, errors);
  }
  for (const k of ['DisableAutomaticStates', 'UserTitleEnabled', 'SupportedInMultiActions']) {
    if (k in a && typeof a[k] !== 'boolean') errors.push(`${where}: ${k} must be true or false`);
  }
  if ('PropertyInspectorPath' in a) checkFile(a.PropertyInspectorPath, `${where}.PropertyInspectorPath`, dir, errors);
  if ('States' in a) {
    if (!Array.isArray(a.States) || a.States.length < 1 || a.States.length > 2) {
      errors.push(`${where}: States must hold one or two entries`);
    } else {
      a.States.forEach((s, j) => {
        const at = `${where}.States[${j}]`;
        if (!isObject(s)) { errors.push(`${at}: not an object`); return; }
        members(s, at, STATE_REQUIRED, STATE_OPTIONAL, errors);
        if ('Image' in s) checkImage(s.Image, `${at}.Image`, dir, errors, [72, 72]);
      });
    }
  }
}

// manifest.linux.json: merged over manifest.json by a Linux host.
export function checkLinuxManifest(l, base, dir = null) {
  const errors = [];
  if (!isObject(l)) return ['manifest.linux: not an object'];
  for (const k of Object.keys(l)) {
    if (!['OS', ...LINUX_ONLY].includes(k) && !TOP_REQUIRED.includes(k) && !TOP_OPTIONAL.includes(k)) {
      errors.push(`manifest.linux: unknown member ${k}`);
    }
  }
  if (!('CodePathLin' in l)) errors.push('manifest.linux: missing CodePathLin');
  else checkFile(l.CodePathLin, 'manifest.linux.CodePathLin', dir, errors);
  text(l, 'CodePathLin', 'manifest.linux', errors);
  if ('CodePaths' in l) {
    if (!isObject(l.CodePaths)) errors.push('manifest.linux: CodePaths must map target triples to programs');
    else {
      for (const [triple, program] of Object.entries(l.CodePaths)) {
        const at = `manifest.linux.CodePaths.${triple}`;
        if (!TRIPLE_RE.test(triple)) errors.push(`${at}: not a Linux target triple`);
        if (typeof program !== 'string' || program === '') errors.push(`${at}: must name a program`);
        else checkFile(program, at, dir, errors);
      }
    }
  }
  if (!('OS' in l)) errors.push('manifest.linux: missing OS');
  else {
    checkOs(l.OS, ['linux', 'windows', 'mac'], 'manifest.linux', errors);
    if (Array.isArray(l.OS) && !l.OS.some((e) => isObject(e) && e.Platform === 'linux')) {
      errors.push('manifest.linux: OS has no linux entry');
    }
  }
  if (isObject(base) && 'UUID' in l && l.UUID !== base.UUID) errors.push('manifest.linux: UUID differs');
  return errors;
}

export function checkBundle(dir) {
  const errors = [];
  const read = (name) => {
    try {
      return JSON.parse(fs.readFileSync(path.join(dir, name), 'utf8'));
    } catch (e) {
      errors.push(`${name}: ${e.message}`);
      return null;
    }
  };
  const m = read('manifest.json');
  const l = read('manifest.linux.json');
  if (m) {
    errors.push(...checkManifest(m, dir));
    const folder = path.basename(path.resolve(dir));
    if (folder !== `${m.UUID}.sdPlugin`) errors.push(`folder ${folder} does not match UUID ${m.UUID}`);
  }
  if (l) errors.push(...checkLinuxManifest(l, m, dir));
  return errors;
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const dir = process.argv[2];
  if (!dir) {
    console.error('usage: node manifest-check.mjs <plugin folder>');
    process.exit(2);
  }
  const errors = checkBundle(dir);
  for (const e of errors) console.error(e);
  console.log(errors.length ? `${errors.length} problem(s)` : 'manifest ok');
  process.exit(errors.length ? 1 : 0);
}
