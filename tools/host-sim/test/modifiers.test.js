// Modifier keys with mouse commands ("my_modifiers"), seen by the input
// stack itself: the X11 recorder's raw key and button events, or the low-level
// keyboard and mouse hooks under Wine, in the order they reached it. A
// Ctrl+click, Shift held through a drag lock and let go of with it, Ctrl+wheel
// in whole notches, a Ctrl+click-at sent as one batch, a word that names no
// key, which sends nothing, Ctrl kept down through a held wheel, and the keys
// let go of when the host goes.
import { describe, it, before, after, beforeEach, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import { isButtonWheelOrKey, releaseButton, COMMAND_QUIET_MS } from '../lib/index.js';
import { run } from '../lib/process.js';
import { buildUnderTest, startSession, settings, inputText, wheelAsSeen, report } from './support/e2e.js';

const build = buildUnderTest();

// How soon input due at once must be seen; generous for a loaded machine.
const SOON_MS = 3000;
const KEYSYMS = { ctrl: 'Control_L', shift: 'Shift_L', alt: 'Alt_L', meta: 'Super_L' };

describe(`${build.name} build: modifier keys around mouse commands`, { skip: build.needsRecorder }, () => {
  let session;
  let keys = 0;

  before(async () => {
    session = await startSession(build);
  });
  after(async () => {
    await session?.stop();
  });
  // A faulty plugin may leave a key or button down, which X keeps after the
  // plugin is gone and the next case would start with.
  let start = 0;
  beforeEach(() => {
    start = session.recorder.mark();
  });
  afterEach(async () => {
    if (session.wine) return;
    await session.recorder.settle(100);
    const down = new Map();
    for (const event of session.recorder.since(start, (e) => e.kind === 'key' || e.kind === 'button')) {
      const name = event.kind === 'key' ? event.key : event.button;
      if (event.down) down.set(name, event);
      else down.delete(name);
    }
    const env = { ...process.env, DISPLAY: session.display };
    for (const [name, event] of down) {
      if (event.kind === 'key') await run('xdotool', ['keyup', KEYSYMS[name] ?? event.keysym], { env }).catch(() => {});
      else await releaseButton(session.display, name).catch(() => {});
    }
  });

  function key(members) {
    const context = `modifiers-${keys++}`;
    session.host.willAppear(context, { settings: settings(members), coordinates: { column: keys % 5, row: 0 } });
    return context;
  }

  // Presses and releases the key; waits for `expected` (texts of button,
  // wheel and key events) and for the input to stay quiet after them.
  async function press(context, expected) {
    const { host, recorder } = session;
    const mark = recorder.mark();
    host.keyDown(context);
    host.keyUp(context);
    await recorder.waitForEvents(mark, (events) => events.length >= expected.length,
      { filter: isButtonWheelOrKey, timeoutMs: SOON_MS, what: expected.join(', ') });
    await recorder.settle(COMMAND_QUIET_MS);
    const events = recorder.since(mark, isButtonWheelOrKey);
    assert.deepEqual(events.map(inputText), expected);
    return events;
  }

  // The gaps between events as the input stack timed them, for the report.
  const gaps = (events) => events.slice(1).map((event, i) => `${(event.time - events[i].time).toFixed(1)} ms`).join(', ');

  it('Ctrl+click: Ctrl goes down before the button and up after it', async (t) => {
    const events = await press(key({ my_mouse_event: 'MOUSE_LEFT_CLICK', my_modifiers: 'CTRL' }),
      ['ctrl down', 'left down', 'left up', 'ctrl up']);
    report(t, `${build.name}: Ctrl+click as seen: ${events.map(inputText).join(', ')}; gaps ${gaps(events)}`);
  });

  it('Ctrl+Shift+right click: both keys around the button, let go of in reverse order', async () => {
    await press(key({ my_mouse_event: 'MOUSE_RIGHT_CLICK', my_modifiers: 'SHIFT+CTRL' }),
      ['ctrl down', 'shift down', 'right down', 'right up', 'shift up', 'ctrl up']);
  });

  it('Shift stays down through a drag lock and comes up with it', async () => {
    const lock = key({ my_mouse_event: 'MOUSE_LEFT_TOGGLE', my_modifiers: 'SHIFT' });
    await press(lock, ['shift down', 'left down']);
    const quiet = await session.recorder.settle(COMMAND_QUIET_MS, isButtonWheelOrKey);
    assert.deepEqual(quiet.map(inputText), [], 'the lock let go of something while locked');
    await press(lock, ['left up', 'shift up']);
  });

  it('Ctrl+wheel: Ctrl around the notches', async (t) => {
    const events = await press(key({ my_mouse_event: 'MOUSE_WHEEL_UP', my_wheel: '240', my_modifiers: 'CTRL' }),
      ['ctrl down', ...wheelAsSeen(build, 'vertical', 240), 'ctrl up']);
    report(t, `${build.name}: Ctrl+wheel as seen: ${events.map(inputText).join(', ')}; gaps ${gaps(events)}`);
  });

  it('Ctrl+click-at: the keys travel in the click\'s one batch', async (t) => {
    const events = await press(key({ my_mouse_event: 'MOUSE_CLICK_AT', my_offset_x: '200', my_offset_y: '150', my_modifiers: 'CTRL' }),
      ['ctrl down', 'left down', 'left up', 'ctrl up']);
    report(t, `${build.name}: Ctrl+click-at as seen: gaps ${gaps(events)}`);
  });

  it('a word that names no key sends nothing at all', async () => {
    await press(key({ my_mouse_event: 'MOUSE_LEFT_CLICK', my_modifiers: 'CTRL+HYPER' }), []);
  });

  it('a Ctrl held wheel keeps Ctrl down while its key is held and lets go of it at the release', async () => {
    const { host, recorder } = session;
    const wheel = key({ my_mouse_event: 'MOUSE_WHEEL_HOLD', my_sleep: '50', my_modifiers: 'CTRL' });
    const mark = recorder.mark();
    host.keyDown(wheel);
    await recorder.waitForEvents(mark, (events) => events.filter((e) => e.kind === 'wheel').length >= 3,
      { filter: isButtonWheelOrKey, timeoutMs: SOON_MS, what: 'three notches' });
    host.keyUp(wheel);
    await recorder.waitForEvents(mark, (events) => events.some((e) => e.kind === 'key' && !e.down),
      { filter: isButtonWheelOrKey, timeoutMs: SOON_MS, what: 'ctrl up' });
    await recorder.settle(COMMAND_QUIET_MS);
    const seen = recorder.since(mark, isButtonWheelOrKey).map(inputText);
    assert.equal(seen[0], 'ctrl down');
    assert.equal(seen.at(-1), 'ctrl up', 'a notch after Ctrl came up');
    assert.ok(seen.slice(1, -1).every((text) => text === 'wheel vertical +120'), seen.join(', '));
  });

  it('the host goes while a Shift drag lock holds: the plugin lets go of the button, then Shift', async () => {
    const { host, recorder } = session;
    await press(key({ my_mouse_event: 'MOUSE_LEFT_TOGGLE', my_modifiers: 'SHIFT' }), ['shift down', 'left down']);
    const mark = recorder.mark();
    const { code } = await host.closeConnection({ timeoutMs: 10000 });
    assert.equal(code, 0);
    await recorder.waitForEvents(mark, (events) => events.length >= 2,
      { filter: isButtonWheelOrKey, timeoutMs: SOON_MS, what: 'left up, shift up' });
    await recorder.settle(COMMAND_QUIET_MS);
    assert.deepEqual(recorder.since(mark, isButtonWheelOrKey).map(inputText), ['left up', 'shift up']);
    await session.restartPlugin();
  });
});
