// Running the Windows build under Wine: one prefix per run, made once and
// reused, and a wineserver that is ended when the run is over.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { run } from './process.js';

// Mono and Gecko would otherwise prompt for an install on a new prefix.
const QUIET = { WINEDEBUG: '-all', WINEDLLOVERRIDES: 'mscoree,mshtml=' };

export function defaultWinePrefix(env = process.env) {
  if (env.WINEPREFIX) return env.WINEPREFIX;
  const user = typeof os.userInfo === 'function' ? os.userInfo().uid : 'user';
  return path.join(os.tmpdir(), `deckmouse-host-sim-wine-${user}`);
}

export function wineEnv(env = process.env, prefix = defaultWinePrefix(env)) {
  return { ...env, ...QUIET, WINEPREFIX: prefix };
}

// The command that starts `exe` with `args`, directly, through Wine, or
// through an emulator named by its command words (e.g. qemu-aarch64-static
// with its library root, for a build of another architecture).
export function launchCommand(exe, args, { wine = false, emulator = [] } = {}) {
  if (wine) return { command: 'wine', args: [exe, ...args] };
  if (emulator.length) return { command: emulator[0], args: [...emulator.slice(1), exe, ...args] };
  return { command: exe, args };
}

// Creates the prefix unless it exists already. A new prefix takes tens of
// seconds, so the deadline is generous.
export async function ensureWinePrefix(env, { timeoutMs = 240000, log = () => {} } = {}) {
  const prefix = env.WINEPREFIX;
  if (fs.existsSync(path.join(prefix, 'system.reg')) && fs.existsSync(path.join(prefix, 'drive_c', 'windows'))) {
    return prefix;
  }
  log(`creating Wine prefix ${prefix}`);
  const started = performance.now();
  await run('wineboot', ['-i'], { env, timeoutMs });
  // wineboot returns before the prefix is written out completely.
  await run('wineserver', ['-w'], { env, timeoutMs });
  log(`Wine prefix ready after ${((performance.now() - started) / 1000).toFixed(1)} s`);
  return prefix;
}

// Waits for the prefix's processes to end, ending them when they do not.
export async function stopWine(env, { timeoutMs = 15000 } = {}) {
  try {
    await run('wineserver', ['-w'], { env, timeoutMs });
  } catch {
    await run('wineserver', ['-k'], { env, timeoutMs: 5000 }).catch(() => {});
  }
}
