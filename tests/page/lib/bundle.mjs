// Locates the laid-out plugin folder the tests look at, assembling one if needed.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';

export const REPO = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..', '..');
export const PLUGIN_FOLDER = 'org.deckmouse.sdPlugin';

export function assemble(outDir, { windowsExe = '', linuxExe = '', linuxAarch64Exe = '', macosExe = '', packageFile = '' } = {}) {
  const args = [`-DSOURCE_DIR=${REPO}`, `-DOUT_DIR=${outDir}`, `-DWINDOWS_EXE=${windowsExe}`, `-DLINUX_EXE=${linuxExe}`,
    `-DLINUX_AARCH64_EXE=${linuxAarch64Exe}`, `-DMACOS_EXE=${macosExe}`];
  if (packageFile) args.push(`-DPACKAGE=${packageFile}`);
  args.push('-P', path.join(REPO, 'bundle', 'assemble.cmake'));
  execFileSync('cmake', args, { stdio: ['ignore', 'pipe', 'pipe'] });
  return path.join(outDir, PLUGIN_FOLDER);
}

let cached = null;

// run.sh assembles once and passes DECKMOUSE_PLUGIN_DIR; a test file run on its
// own assembles into a temporary folder instead.
export function pluginDir() {
  if (process.env.DECKMOUSE_PLUGIN_DIR) return process.env.DECKMOUSE_PLUGIN_DIR;
  if (!cached) {
    const out = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-bundle-'));
    cached = assemble(out);
    process.on('exit', () => fs.rmSync(out, { recursive: true, force: true }));
  }
  return cached;
}

export function readJson(file) {
  return JSON.parse(fs.readFileSync(file, 'utf8'));
}
