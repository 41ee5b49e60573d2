// The host vendor's own checker: the `validate` command of its command-line
// tool (@elgato/cli, pinned in package-lock.json), run offline.
//   node lib/vendor-validate.mjs <folder>.sdPlugin [--newest]
//
// The tool validates against the schema copy it bundles, unless a newer copy
// sits in its cache (~/.config/com.elgato/maker-cli/schemas/); with
// --no-update-check it never fetches one. Each run gets a HOME of its own, so
// no cache or configuration of the user's changes the verdict; `schemas`
// seeds that cache, e.g. with the newest schemas npm has (@elgato/schemas),
// which the tool's bundled copy may lag behind.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';

const MODULES = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', 'node_modules');
export const CLI = path.join(MODULES, '@elgato', 'cli', 'bin', 'streamdeck.mjs');
// The manifest and touch-strip layout schemas of the newest @elgato/schemas.
export const NEWEST_SCHEMAS = {
  'manifest.json': path.join(MODULES, '@elgato', 'schemas', 'streamdeck', 'plugins', 'manifest.json'),
  'layout.json': path.join(MODULES, '@elgato', 'schemas', 'streamdeck', 'plugins', 'layout.json'),
};

// `schemas`: file name -> schema object or file to put in the tool's cache.
// Returns the exit status and everything the tool printed.
export function vendorValidate(dir, { schemas = null } = {}) {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-vendor-cli-'));
  try {
    if (schemas) {
      const cache = path.join(home, '.config', 'com.elgato', 'maker-cli', 'schemas', 'streamdeck', 'plugins');
      fs.mkdirSync(cache, { recursive: true });
      for (const [name, schema] of Object.entries(schemas)) {
        const text = typeof schema === 'string' ? fs.readFileSync(schema, 'utf8') : JSON.stringify(schema);
        fs.writeFileSync(path.join(cache, name), text);
      }
    }
    const run = spawnSync(process.execPath, [CLI, 'validate', '--no-update-check', dir], {
      encoding: 'utf8',
      timeout: 120000,
      env: { ...process.env, HOME: home, XDG_CONFIG_HOME: path.join(home, '.config'), FORCE_COLOR: '0', NO_COLOR: '1' },
    });
    if (run.error) throw run.error;
    return { status: run.status, output: (run.stdout + run.stderr).trim() };
  } finally {
    fs.rmSync(home, { recursive: true, force: true });
  }
}

// Clean: the tool succeeded and reported neither an error nor a warning.
export function isClean({ status, output }) {
  return status === 0 && /Validation successful/.test(output) && !/\b(error|warning)s?\b/i.test(output);
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const dir = process.argv[2];
  if (!dir) {
    console.error('usage: node vendor-validate.mjs <plugin folder> [--newest]');
    process.exit(2);
  }
  const result = vendorValidate(dir, { schemas: process.argv.includes('--newest') ? NEWEST_SCHEMAS : null });
  console.log(result.output);
  process.exit(isClean(result) ? 0 : 1);
}
