// The build under test, chosen by the environment, and helpers shared by
// the end-to-end scenarios:
//   DECKMOUSE_PLUGIN    the plugin executable (default: the Linux build)
//   DECKMOUSE_WINE=1    run it under Wine (the Windows build)
//   DECKMOUSE_RECORDER  the input recorder, or "xinput" on Linux
//   DECKMOUSE_EMULATOR  command words that run the Linux build, e.g.
//                       "qemu-aarch64-static -L /" for the ARM64 build
import { before, after } from 'node:test';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { Session, isButtonOrWheel, releaseButton, releaseKey, COMMAND_QUIET_MS } from '../../lib/index.js';
import { run } from '../../lib/process.js';

const REPO = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../../..');

export function buildUnderTest(env = process.env) {
  const wine = env.DECKMOUSE_WINE === '1';
  const name = wine ? 'windows' : 'linux';
  const buildDir = path.join(REPO, 'build', name);
  const plugin = env.DECKMOUSE_PLUGIN || path.join(buildDir, wine ? 'deckmouse.exe' : 'deckmouse');
  const recorder = env.DECKMOUSE_RECORDER
    || path.join(buildDir, 'tools', wine ? 'deckmouse_input_recorder.exe' : 'deckmouse_x11_recorder');
  const emulator = wine ? [] : (env.DECKMOUSE_EMULATOR ?? '').split(/\s+/).filter(Boolean);
  const build = { name, wine, emulator, plugin, recorder, perNotchWheel: !wine };
  // `skip` for everything, `needsRecorder` for the scenarios that watch input.
  if (!fs.existsSync(plugin)) build.skip = `${name} build: no plugin executable at ${plugin} (set DECKMOUSE_PLUGIN)`;
  if (recorder !== 'xinput' && !fs.existsSync(recorder)) {
    build.recorder = undefined;
    build.noRecorder = `${name} build: no input recorder at ${recorder} (set DECKMOUSE_RECORDER)`;
  }
  build.needsRecorder = build.skip || build.noRecorder;
  return build;
}

export function startSession(build, options = {}) {
  return Session.start({ plugin: build.plugin, wine: build.wine, emulator: build.emulator, recorder: build.recorder, ...options });
}

// The session of the tests in the enclosing describe: started before them
// (with the options `options()` gives then), stopped after them.
export function sessionForSuite(build, options = () => ({})) {
  const suite = {};
  before(async () => {
    suite.session = await startSession(build, options());
  });
  after(async () => {
    await suite.session?.stop();
  });
  return suite;
}

// Xvfb's one screen as two monitors, the primary on the right, declared with
// the monitor tool built beside the X11 recorder (Xvfb keeps no monitor that
// Debian 12's xrandr --setmonitor declares).
export const TWO_MONITORS = [
  { name: 'deckmouse-left', geometry: '682x767+0+0', flags: ['output'] },
  { name: 'deckmouse-right', geometry: '683x767+682+0', flags: ['primary'] },
];

function monitorTool(build) {
  return process.env.DECKMOUSE_MONITORS || path.join(path.dirname(build.recorder ?? ''), 'deckmouse_x11_monitors');
}

// Why the build cannot show two monitors here, or false.
export function twoMonitorsSkip(build) {
  if (build.wine) return 'Wine takes its monitors from the RandR outputs and CRTCs, not from monitors declared on one screen';
  const tool = monitorTool(build);
  return !fs.existsSync(tool) && `no monitor tool at ${tool} (set DECKMOUSE_MONITORS)`;
}

// A session whose screen shows TWO_MONITORS; `stop` removes them and ends it.
export async function startTwoMonitorSession(build) {
  const session = await startSession(build);
  const monitors = (...args) => run(monitorTool(build), args, { env: { ...process.env, DISPLAY: session.display } });
  for (const monitor of TWO_MONITORS) await monitors('set', monitor.name, monitor.geometry, ...monitor.flags);
  const stop = async () => {
    await monitors('delete', ...TWO_MONITORS.map((monitor) => monitor.name)).catch(() => {});
    await session.stop();
  };
  return { session, stop };
}

// The nine settings, all texts; a row overrides what it needs.
export function settings(overrides = {}) {
  return {
    my_mouse_event: '', my_sleep: '0', my_offset_x: '0', my_offset_y: '0', my_wheel: '120',
    my_repeat_loops: '0', my_icon_name: '', my_icon_color: '', my_icon_color_id: '', ...overrides,
  };
}

// A button, key or wheel event as a short text: "left down", "ctrl up",
// "wheel vertical +120".
export function inputText(event) {
  if (event.kind === 'button') return `${event.button} ${event.down ? 'down' : 'up'}`;
  if (event.kind === 'key') return `${event.key} ${event.down ? 'down' : 'up'}`;
  return `wheel ${event.axis} ${event.amount > 0 ? '+' : ''}${event.amount}`;
}

// What a sequence of recorder events leaves down of one kind: the buttons
// ('button', by their names) or the modifier keys ('key': ctrl, shift, ...).
function heldOfKind(events, kind) {
  const held = new Set();
  for (const event of events) {
    if (event.kind !== kind) continue;
    const name = event.button ?? event.key;
    if (event.down) held.add(name);
    else held.delete(name);
  }
  return [...held];
}

export const heldButtons = (events) => heldOfKind(events, 'button');
export const heldKeys = (events) => heldOfKind(events, 'key');

// Lets go, on X, of the buttons and modifier keys that `events` leave down:
// X keeps what a faulty plugin left pressed after the plugin is gone, and the
// next scenario would start with it.
export async function releaseLeftDown(session, events) {
  if (session.wine) return;
  for (const button of heldButtons(events)) await releaseButton(session.display, button).catch(() => {});
  for (const key of heldKeys(events)) await releaseKey(session.display, key).catch(() => {});
}

// How the input stack reports one wheel event of `amount`: X delivers one
// event per notch, a Windows hook one event with the whole amount.
export function wheelAsSeen(build, axis, amount) {
  if (!build.perNotchWheel) return [`wheel ${axis} ${amount > 0 ? '+' : ''}${amount}`];
  const notches = Math.trunc(Math.abs(amount) / 120);
  return Array.from({ length: notches }, () => `wheel ${axis} ${amount > 0 ? '+' : '-'}120`);
}

// Presses and releases a key and collects the button and wheel events that
// followed: all of `expectedCount`, and then whatever else arrives within a
// settle window. The window is longer than the wait that ends every pass,
// so one pass too many, or an action due after the last pass, shows in it.
export async function pressAndCollect(session, context, { expectedCount = 0, settleMs = COMMAND_QUIET_MS, timeoutMs = 3000 } = {}) {
  const { host, recorder } = session;
  const mark = recorder.mark();
  const sentAt = host.keyDown(context);
  host.keyUp(context);
  await recorder.waitForEvents(mark, (events) => events.length >= expectedCount, { timeoutMs, filter: isButtonOrWheel, what: `${expectedCount} button/wheel events` });
  await recorder.settle(settleMs);
  return { sentAt, events: recorder.since(mark, isButtonOrWheel) };
}

// Figures worth reading in the test output, not asserted.
export function report(t, line) {
  t.diagnostic(line);
}

// The plugin laid out as the host installs it: the executable (and a Windows
// build's runtime libraries) in <bundle>.sdPlugin/bin/, `icons` (file name ->
// bytes) in icons/. The bundle folder is the working directory to run it in.
export function makeBundle(build, icons) {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-bundle-'));
  const bundle = path.join(root, 'org.test.sdPlugin');
  fs.mkdirSync(path.join(bundle, 'bin'), { recursive: true });
  fs.mkdirSync(path.join(bundle, 'icons'));
  const exe = path.join(bundle, 'bin', path.basename(build.plugin));
  fs.copyFileSync(build.plugin, exe);
  fs.chmodSync(exe, 0o755);
  for (const name of fs.readdirSync(path.dirname(build.plugin))) {
    if (name.toLowerCase().endsWith('.dll')) fs.copyFileSync(path.join(path.dirname(build.plugin), name), path.join(bundle, 'bin', name));
  }
  for (const [name, bytes] of Object.entries(icons)) fs.writeFileSync(path.join(bundle, 'icons', name), bytes);
  return { root, bundle, exe };
}

// A session whose plugin runs from a bundle laid out by makeBundle with
// `icons`; `stop` ends it and removes the bundle.
export async function startBundleSession(build, icons) {
  const layout = makeBundle(build, icons);
  const stop = async (session) => {
    await session?.stop();
    fs.rmSync(layout.root, { recursive: true, force: true });
  };
  try {
    const session = await startSession({ ...build, plugin: layout.exe }, { cwd: layout.bundle });
    return { session, layout, stop: () => stop(session) };
  } catch (error) {
    await stop();
    throw error;
  }
}

// The session of the tests in the enclosing describe, its plugin run from a
// bundle with `icons` (startBundleSession), and `key(members)`, which shows a
// key of its own, named `prefix`-<n>, so that no state carries over between
// scenarios.
export function bundleSuite(build, icons, prefix) {
  const suite = { keys: 0 };
  before(async () => {
    ({ session: suite.session, stop: suite.stop } = await startBundleSession(build, icons));
  });
  after(async () => {
    await suite.stop?.();
  });
  suite.key = (members) => {
    const n = suite.keys++;
    const context = `${prefix}-${n}`;
    suite.session.host.willAppear(context, { settings: settings(members), coordinates: { column: (n + 1) % 5, row: Math.trunc((n + 1) / 5) % 3 } });
    return context;
  };
  return suite;
}

// Context switches of every thread of the process (Linux): each is a wake-up.
export function contextSwitches(pid) {
  let total = 0;
  for (const task of fs.readdirSync(`/proc/${pid}/task`)) {
    const status = fs.readFileSync(`/proc/${pid}/task/${task}/status`, 'utf8');
    for (const match of status.matchAll(/^(?:non)?voluntary_ctxt_switches:\s+(\d+)$/gm)) total += Number(match[1]);
  }
  return total;
}
