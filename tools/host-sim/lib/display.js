// The X display that the plugin, the recorder and xdotool share.
import { spawn } from 'node:child_process';
import { waitFor, withDeadline } from './wait.js';
import { run } from './process.js';

export const SCREEN_WIDTH = 1365;
export const SCREEN_HEIGHT = 767;

// Starts a private Xvfb and lets it choose a free display number, which it
// writes to the descriptor named by -displayfd once it accepts clients.
export async function startXvfb({ width = SCREEN_WIDTH, height = SCREEN_HEIGHT, timeoutMs = 15000 } = {}) {
  const child = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', `${width}x${height}x24`, '-nolisten', 'tcp'], {
    stdio: ['ignore', 'ignore', 'pipe', 'pipe'],
  });
  let stderr = '';
  child.stderr.on('data', (chunk) => {
    stderr += chunk;
  });
  const exited = new Promise((resolve) => child.on('close', resolve));
  const number = new Promise((resolve, reject) => {
    let text = '';
    child.stdio[3].on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) resolve(text.trim());
    });
    child.on('error', reject);
    exited.then((code) => reject(new Error(`Xvfb ended with ${code} before it was ready: ${stderr}`)));
  });
  let display;
  try {
    display = `:${await withDeadline(number, timeoutMs, 'Xvfb to start')}`;
  } catch (error) {
    child.kill('SIGKILL');
    throw error;
  }
  return {
    display,
    pid: child.pid,  // for a test that stops the server to see what a frozen display does
    started: true,
    async stop() {
      if (child.exitCode !== null || child.signalCode !== null) return;
      child.kill('SIGTERM');
      await withDeadline(exited, 5000, 'Xvfb to end').catch(() => child.kill('SIGKILL'));
    },
  };
}

// Uses DISPLAY when it is set, otherwise a private Xvfb.
export async function ensureDisplay(env = process.env) {
  if (env.DISPLAY) return { display: env.DISPLAY, started: false, async stop() {} };
  return startXvfb();
}

export async function getCursor(display) {
  const { stdout } = await run('xdotool', ['getmouselocation', '--shell'], { env: { ...process.env, DISPLAY: display } });
  const x = Number(/^X=(-?\d+)$/m.exec(stdout)?.[1]);
  const y = Number(/^Y=(-?\d+)$/m.exec(stdout)?.[1]);
  if (!Number.isInteger(x) || !Number.isInteger(y)) throw new Error(`unexpected xdotool output: ${stdout}`);
  return { x, y };
}

// Moves the cursor and returns once the display reports it there. (xdotool's
// own --sync never returns when the cursor is already in place.)
export async function setCursor(display, x, y, timeoutMs = 3000) {
  await run('xdotool', ['mousemove', String(x), String(y)], { env: { ...process.env, DISPLAY: display } });
  await waitFor(async () => {
    const at = await getCursor(display);
    return at.x === x && at.y === y;
  }, { timeoutMs, what: `the cursor to reach (${x}, ${y})` });
}

export async function screenSize(display) {
  const { stdout } = await run('xdotool', ['getdisplaygeometry'], { env: { ...process.env, DISPLAY: display } });
  const [width, height] = stdout.trim().split(/\s+/).map(Number);
  return { width, height };
}

const X_BUTTONS = { left: 1, middle: 2, right: 3, x1: 8, x2: 9 };

// Releases a button through XTest, to tidy up after a plugin that died with
// the button down and left it pressed for everything after it.
export async function releaseButton(display, button) {
  await run('xdotool', ['mouseup', String(X_BUTTONS[button])], { env: { ...process.env, DISPLAY: display } });
}

// The keysyms of the modifier keys the recorder names.
const KEYSYMS = { ctrl: 'Control_L', shift: 'Shift_L', alt: 'Alt_L', meta: 'Super_L' };

// Lets go of a modifier key that a failed test left down, which X would keep
// down for the tests after it.
export async function releaseKey(display, key) {
  await run('xdotool', ['keyup', KEYSYMS[key] ?? key], { env: { ...process.env, DISPLAY: display } });
}
