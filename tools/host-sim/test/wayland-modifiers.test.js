// Modifier keys on Wayland, seen by the window of the recorder's on headless
// sway: the keys of the plugin's virtual keyboard with their keysyms, and
// the modifiers the compositor says are held with each button. Headless
// sway has no devices of its own: the recorder keeps a pointer and a
// keyboard on the seat, as a desktop's mouse and keyboard would, so that its
// window listens to both before the plugin's come and after they go.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { startSway, waitFor } from '../lib/index.js';
import { buildUnderTest, startSession, settings, report } from './support/e2e.js';

const build = buildUnderTest();
const recorder = process.env.DECKMOUSE_WAYLAND_RECORDER
  || path.join(path.dirname(build.plugin), 'tools', 'deckmouse_wayland_recorder');
const skip = build.wine ? 'Wayland is the Linux build\'s'
  : build.skip ?? (!fs.existsSync(recorder) && `no Wayland recorder at ${recorder} (set DECKMOUSE_WAYLAND_RECORDER)`);

// Its keys, buttons and wheels as the window saw them, a button with the
// modifiers held: "Control_L down", "left down [ctrl]", "wheel -1".
// The keys are pressed in the order of the words (Ctrl, Shift, Alt, Meta)
// and released after the mouse input in an order of the plugin's choosing:
// the keys that came up are compared as a set.
const isInput = (event) => ['key', 'button', 'wheel'].includes(event.kind);
function seen(event) {
  if (event.kind === 'key') return `${event.keysym} ${event.down ? 'down' : 'up'}`;
  if (event.kind === 'wheel') return `wheel ${event.discrete}`;
  return `${event.button} ${event.down ? 'down' : 'up'} [${event.mods.join(',')}]`;
}
const isModifiers = (event) => event.kind === 'modifiers';
function phases(events) {
  const firstMouse = events.findIndex((e) => e.kind !== 'key');
  const lastMouse = events.findLastIndex((e) => e.kind !== 'key');
  return {
    before: events.slice(0, firstMouse).map(seen),
    mouse: events.slice(firstMouse, lastMouse + 1).map(seen),
    after: events.slice(lastMouse + 1).map(seen).sort(),
  };
}

// sway and a plugin whose input goes through it; `keys` makes keys.
function swaySession() {
  const suite = { keys: 0 };
  before(async () => {
    suite.sway = await startSway();
    suite.session = await startSession({ ...build, recorder },
      { env: { WAYLAND_DISPLAY: suite.sway.waylandDisplay, DECKMOUSE_RECORDER_SEAT_DEVICES: '1' } });
    const { host, recorder: window } = suite.session;
    // The pointer into the window, where the buttons are seen.
    const context = suite.key({ my_mouse_event: 'MOUSE_CURSOR_POS', my_offset_x: '300', my_offset_y: '300' });
    await suite.session.settle();
    host.keyDown(context);
    host.keyUp(context);
    await waitFor(() => window.events.some((e) => (e.kind === 'enter' || e.kind === 'motion') && Math.round(e.x) === 300 && Math.round(e.y) === 300),
      { timeoutMs: 5000, what: 'the pointer in the window' });
    await window.waitForQuiet(300);
  });
  after(async () => {
    await suite.session?.stop();
    await suite.sway?.stop();
  });
  suite.key = (members) => {
    const context = `modifiers-${suite.keys++}`;
    suite.session.host.willAppear(context, { settings: settings(members) });
    return context;
  };
  // Presses and releases the key; what the window saw once `count` inputs came.
  suite.press = async (context, count) => {
    const { host, recorder: window } = suite.session;
    await suite.session.settle();
    const mark = window.mark();
    host.keyDown(context);
    host.keyUp(context);
    await window.waitForEvents(mark, (events) => events.length >= count, { filter: isInput, what: `${count} keys and buttons` });
    await window.waitForQuiet(200);
    return { mark, events: window.since(mark, isInput) };
  };
  return suite;
}

describe('linux build on Wayland: modifier keys through the virtual keyboard', { skip }, () => {
  const suite = swaySession();

  // The first row is the plugin's first key: its keyboard is made for it.
  const ROWS = [
    { modifiers: 'CTRL', command: 'MOUSE_LEFT_CLICK',
      seen: { before: ['Control_L down'], mouse: ['left down [ctrl]', 'left up [ctrl]'], after: ['Control_L up'] } },
    // Pressed in the order the page writes them, whatever order they are typed in.
    { modifiers: 'SHIFT+CTRL', command: 'MOUSE_RIGHT_CLICK',
      seen: { before: ['Control_L down', 'Shift_L down'], mouse: ['right down [shift,ctrl]', 'right up [shift,ctrl]'], after: ['Control_L up', 'Shift_L up'] } },
    { modifiers: 'ALT+META', command: 'MOUSE_MIDDLE_CLICK',
      seen: { before: ['Alt_L down', 'Super_L down'], mouse: ['middle down [alt,meta]', 'middle up [alt,meta]'], after: ['Alt_L up', 'Super_L up'] } },
    { modifiers: 'CTRL', command: 'MOUSE_WHEEL_UP', seen: { before: ['Control_L down'], mouse: ['wheel -1'], after: ['Control_L up'] } },
  ];
  for (const row of ROWS) {
    const count = row.seen.before.length + row.seen.mouse.length + row.seen.after.length;
    it(`${row.command} with ${row.modifiers}: ${[...row.seen.before, ...row.seen.mouse, ...row.seen.after].join(', ')}`, async (t) => {
      const context = suite.key({ my_mouse_event: row.command, my_modifiers: row.modifiers });
      const { mark, events } = await suite.press(context, count);
      assert.deepEqual(phases(events), row.seen);
      // The last word of the compositor: nothing held.
      assert.deepEqual(suite.session.recorder.since(mark, isModifiers).at(-1)?.mods, []);
      const first = events.find((e) => e.kind !== 'key');
      report(t, `${row.modifiers} ${row.command}: ${events.map(seen).join(', ')}; first key to first mouse event ${(first.time - events[0].time).toFixed(2)} ms`);
    });
  }

  it('a drag lock with CTRL holds Ctrl while the button is locked, and lets both go at the next press', async () => {
    const context = suite.key({ my_mouse_event: 'MOUSE_LEFT_TOGGLE', my_modifiers: 'CTRL' });
    assert.deepEqual((await suite.press(context, 2)).events.map(seen), ['Control_L down', 'left down [ctrl]']);
    assert.deepEqual(suite.session.recorder.events.filter(isModifiers).at(-1).mods, ['ctrl'], 'held between the presses');
    assert.deepEqual((await suite.press(context, 2)).events.map(seen), ['left up [ctrl]', 'Control_L up']);
  });
});

// Killed outright with a Ctrl drag lock: the window sees the button and
// Ctrl let go, the button by the guardian. sway destroys a client's virtual
// keyboard with its connection and sends the window Ctrl's key up, but no new
// modifier state: the window goes on taking Ctrl as held until a keyboard
// says otherwise, which is the guardian's to do.
describe('linux build on Wayland: killed with a Ctrl drag lock', { skip }, () => {
  const suite = swaySession();
  const RELEASE_MS = 2000;

  it('the window sees the button up and no modifier held', async (t) => {
    const { host, recorder: window } = suite.session;
    const context = suite.key({ my_mouse_event: 'MOUSE_LEFT_TOGGLE', my_modifiers: 'CTRL' });
    assert.deepEqual(phases((await suite.press(context, 2)).events), { before: ['Control_L down'], mouse: ['left down [ctrl]'], after: [] });
    const killed = window.mark();
    const killedAt = performance.now();
    host.plugin.child.kill('SIGKILL');
    const after = () => window.since(killed, (e) => isInput(e) || isModifiers(e));
    await window.waitForEvents(killed, () => after().some((e) => e.kind === 'button' && !e.down)
      && after().filter(isModifiers).at(-1)?.mods.includes('ctrl') === false, { timeoutMs: RELEASE_MS, what: 'the button up and Ctrl let go' })
      .finally(() => report(t, `after SIGKILL, ${(performance.now() - killedAt).toFixed(0)} ms: ${after().map((e) => (isModifiers(e) ? `mods [${e.mods}]` : seen(e))).join(', ')}`));
    assert.deepEqual(after().filter((e) => e.kind === 'button').map((e) => `${e.button} ${e.down ? 'down' : 'up'}`), ['left up']);
  });
});
