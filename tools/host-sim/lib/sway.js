// A headless sway for the Wayland scenarios: no screen, no input devices,
// software rendering. sway will not run as root, so a root caller runs it as
// a user made for the tests; the socket's absolute path reaches it from
// any user that may open the folder (root may open any).
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { waitFor, withDeadline } from './wait.js';
import { SCREEN_WIDTH, SCREEN_HEIGHT } from './display.js';

export const SWAY_USER = 'deckmouse-sway';

function idOf(flag, user) {
  return Number(execFileSync('id', [flag, user], { encoding: 'utf8' }).trim());
}

// The user's uid and gid, made on first use.
function testUser() {
  try {
    return { uid: idOf('-u', SWAY_USER), gid: idOf('-g', SWAY_USER) };
  } catch {
    execFileSync('useradd', ['--system', '--user-group', '--no-create-home', '--shell', '/usr/sbin/nologin', SWAY_USER]);
    return { uid: idOf('-u', SWAY_USER), gid: idOf('-g', SWAY_USER) };
  }
}

// `outputs`: each {width, height, x, y} in the layout, the first where new
// windows go.
export async function startSway({ outputs = [{ width: SCREEN_WIDTH, height: SCREEN_HEIGHT, x: 0, y: 0 }], timeoutMs = 15000 } = {}) {
  const runtimeDir = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-sway-'));
  const config = path.join(runtimeDir, 'config');
  const lines = outputs.map(({ width, height, x, y }, i) => `output HEADLESS-${i + 1} mode ${width}x${height} position ${x} ${y}`);
  fs.writeFileSync(config, ['xwayland disable', ...lines, 'focus output HEADLESS-1', ''].join('\n'));
  const owner = process.getuid() === 0 ? testUser() : undefined;
  if (owner) fs.chownSync(runtimeDir, owner.uid, owner.gid);
  fs.chmodSync(runtimeDir, 0o700);
  fs.chmodSync(config, 0o644);
  const env = {
    PATH: process.env.PATH, HOME: runtimeDir, XDG_RUNTIME_DIR: runtimeDir,
    WLR_BACKENDS: 'headless', WLR_RENDERER: 'pixman', WLR_LIBINPUT_NO_DEVICES: '1', WLR_HEADLESS_OUTPUTS: String(outputs.length),
  };
  const child = spawn('sway', ['-c', config], { env, cwd: runtimeDir, stdio: ['ignore', 'ignore', 'pipe'], ...owner });
  let stderr = '';
  child.stderr.setEncoding('utf8');
  child.stderr.on('data', (chunk) => {
    stderr += chunk;
  });
  const exited = new Promise((resolve) => child.on('close', resolve));
  let ended = false;
  exited.then(() => {
    ended = true;
  });
  const stop = async () => {
    if (!ended) {
      child.kill('SIGTERM');
      await withDeadline(exited, 5000, 'sway to end').catch(() => child.kill('SIGKILL'));
    }
    fs.rmSync(runtimeDir, { recursive: true, force: true });
  };
  try {
    // The socket appears once sway listens; clients that connect before it
    // runs its loop wait in the socket's queue.
    const socket = await waitFor(() => {
      if (ended) throw new Error(`sway ended before it was ready: ${stderr}`);
      return fs.readdirSync(runtimeDir).find((name) => /^wayland-\d+$/.test(name));
    }, { timeoutMs, intervalMs: 20, what: 'sway\'s Wayland socket' });
    return { waylandDisplay: path.join(runtimeDir, socket), stop, log: () => stderr };
  } catch (error) {
    await stop();
    throw error;
  }
}
