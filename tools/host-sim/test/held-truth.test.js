// What the plugin holds, seen from outside: which buttons are down (the
// recorder), what each key shows (the images it sent), its titles, and how
// often it wakes up while it waits. Locks of two keys and a dial's push share
// one button; a changed command ends a key's lock; a key's image follows its
// lock; releases and disappearances do not wait behind queued presses; a key
// whose numbers cannot be read touches nothing another key holds; a pick's
// countdown gives the title back however it ends; long waits do not poll.
import { describe, it, before, after, beforeEach, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { solidPng, delay, isButtonOrWheel, releaseButton } from '../lib/index.js';
import { buildUnderTest, startBundleSession, settings, inputText, report, contextSwitches } from './support/e2e.js';

const build = buildUnderTest();

const ICONS = {
  'hand_1red.png': solidPng(144, 144, [200, 20, 20]),
  'hand_held_1red.png': solidPng(144, 144, [20, 20, 20]),
  'hand_1blue.png': solidPng(144, 144, [20, 20, 200]),
  'hand_held_1blue.png': solidPng(144, 144, [20, 20, 60]),
};
const RED = { my_icon_name: 'hand', my_icon_color_id: '1', my_icon_color: 'red' };
const LOCK = { my_mouse_event: 'MOUSE_LEFT_TOGGLE', ...RED };

// How long the input must stay as it is to count as "nothing happened":
// longer than a pass wait, short next to the faults (seconds).
const QUIET_MS = 400;
// How soon something due at once must be seen; generous for a loaded machine.
const SOON_MS = 1500;

const isButton = (event) => event.kind === 'button';

describe(`${build.name} build: held input tells the truth`, { skip: build.needsRecorder }, () => {
  let session;
  let layout;
  let stop;
  let keys = 0;
  let start;

  before(async () => {
    ({ session, layout, stop } = await startBundleSession(build, ICONS));
  });
  after(async () => {
    await stop?.();
  });
  // A plugin of its own for each case: nothing held or queued carries over.
  beforeEach(async () => {
    await session.restartPlugin();
    start = session.recorder.mark();
  });
  // A faulty plugin may leave a button down; X keeps it so after the plugin
  // is gone, and the next case would start with it.
  afterEach(async () => {
    if (session.wine) return;
    await session.recorder.settle(100);
    const held = new Set();
    for (const event of session.recorder.since(start, isButton)) {
      if (event.down) held.add(event.button);
      else held.delete(event.button);
    }
    for (const button of held) await releaseButton(session.display, button).catch(() => {});
  });

  function key(members) {
    const context = `held-${keys++}`;
    session.host.willAppear(context, { settings: settings(members), coordinates: { column: keys % 5, row: 0 } });
    return context;
  }

  function buttonsSince(mark) {
    return session.recorder.since(mark, isButton).map(inputText);
  }

  async function waitForButtons(mark, expected, timeoutMs = SOON_MS) {
    await session.recorder.waitForEvents(mark, (events) => events.length >= expected.length, { filter: isButton, timeoutMs, what: expected.join(', ') });
    await session.recorder.settle(QUIET_MS);
    assert.deepEqual(buttonsSince(mark), expected);
  }

  async function press(context, expected) {
    const mark = session.recorder.mark();
    session.host.keyDown(context);
    session.host.keyUp(context);
    await waitForButtons(mark, expected);
  }

  // The last image the key was sent after `after`, as the file it came from.
  async function imageAfter(context, after) {
    const images = await session.host.waitForImage({ context, after });
    await session.barrier();
    const last = session.host.images.filter((image) => image.context === context && image.time >= after).at(-1) ?? images.at(-1);
    return Object.keys(ICONS).find((name) => ICONS[name].equals(last.bytes)) ?? 'another image';
  }

  it('a locked key whose command is changed lets its button go and shows its own icon', async () => {
    const context = key(LOCK);
    await press(context, ['left down']);
    const mark = session.recorder.mark();
    const changed = session.host.sendToPlugin(context, { my_mouse_event: 'MOUSE_WHEEL_HOLD' });
    await waitForButtons(mark, ['left up']);
    assert.equal(await imageAfter(context, changed), 'hand_1red.png');
  });

  it('two keys lock the left button: it goes up with the second to let go, and each shows its own truth', async () => {
    const a = key(LOCK);
    const b = key(LOCK);
    await press(a, ['left down']);
    await press(b, []);
    const released = session.host.now();
    await press(a, []);
    assert.equal(await imageAfter(a, released), 'hand_1red.png');
    const again = session.host.willAppear(b);
    assert.equal(await imageAfter(b, again), 'hand_held_1red.png', 'b still holds the button');
    await press(b, ['left up']);
  });

  it('a dial pushed with LEFT_HOLD and a key\'s lock hold one button between them', async () => {
    const lock = key(LOCK);
    session.host.dialAppear('dial', { settings: { dial_rotate: 'MOVE_X', dial_press: 'LEFT_HOLD' } });
    await press(lock, ['left down']);
    let mark = session.recorder.mark();
    session.host.dialDown('dial');
    session.host.dialUp('dial');
    await session.recorder.settle(QUIET_MS);
    assert.deepEqual(buttonsSince(mark).filter((text) => text === 'left up'), [], 'the dial let go of the key\'s lock');
    await press(lock, ['left up']);

    mark = session.recorder.mark();
    session.host.dialDown('dial');
    await session.recorder.waitForEvents(mark, (events) => events.length >= 1, { filter: isButton, what: 'the dial\'s push' });
    await press(lock, []);
    await press(lock, []);
    mark = session.recorder.mark();
    session.host.dialUp('dial');
    await waitForButtons(mark, ['left up']);
  });

  it('a click of the button a key has locked neither presses it again nor lets it go', async () => {
    const lock = key(LOCK);
    const click = key({ my_mouse_event: 'MOUSE_LEFT_CLICK' });
    await press(lock, ['left down']);
    await press(click, []);
    await press(lock, ['left up']);
  });

  it('a locked key shows held at every appearance and colour change, and its own icon after a page switch', async () => {
    const context = key(LOCK);
    await press(context, ['left down']);
    const appeared = session.host.willAppear(context);
    assert.equal(await imageAfter(context, appeared), 'hand_held_1red.png', 'a second willAppear');
    const blue = session.pluginPath(path.join(layout.bundle, 'icons', 'hand_1blue.png'));
    const coloured = session.host.sendToPlugin(context, { my_icon_color: 'blue', 'background-image': blue });
    assert.equal(await imageAfter(context, coloured), 'hand_held_1blue.png', 'a colour change');
    const mark = session.recorder.mark();
    session.host.willDisappear(context);
    await waitForButtons(mark, ['left up']);
    const back = session.host.willAppear(context);
    // With the settings the host stored: the page changed the colour for the plugin only.
    assert.equal(await imageAfter(context, back), 'hand_1red.png', 'back after the page switch');
  });

  it('a held move tapped for 50 ms stops at its release whatever "my_repeat_loops" says, and keeps no key waiting', async (t) => {
    const move = key({ my_mouse_event: 'MOUSE_CURSOR_MOVE', my_offset_x: '2', my_sleep: '20', my_repeat_loops: '100' });
    const click = key({ my_mouse_event: 'MOUSE_MIDDLE_CLICK' });
    await session.barrier();
    if (!session.wine) await session.setCursor(100, 300);
    session.host.keyDown(move);
    await delay(50);
    session.host.keyUp(move);
    const mark = session.recorder.mark();
    const sent = session.host.keyDown(click);
    session.host.keyUp(click);
    await session.recorder.waitForEvents(mark, (events) => events.length >= 1, { filter: isButton, timeoutMs: SOON_MS, what: 'the next key\'s click' });
    report(t, `the next key's click seen within ${Math.round(session.host.now() - sent)} ms of its press`);
    if (session.wine) return;  // Wine's sent moves do not move the X pointer
    const stopped = await session.cursor();
    await delay(QUIET_MS);
    assert.deepEqual(await session.cursor(), stopped, 'the pointer kept moving after the release');
  });

  const LOCK_ENDS = [
    { name: 'a page switch', end: (lock) => session.host.willDisappear(lock) },
    { name: 'an unplugged deck', end: () => session.host.deviceDidDisconnect() },
  ];
  for (const ending of LOCK_ENDS) {
    it(`${ending.name} releases a drag lock at once, behind a backlog of presses`, async (t) => {
      const lock = key(LOCK);
      const click = key({ my_mouse_event: 'MOUSE_MIDDLE_CLICK' });
      await press(lock, ['left down']);
      for (let i = 0; i < 60; ++i) {
        session.host.keyDown(click);
        session.host.keyUp(click);
      }
      const mark = session.recorder.mark();
      const ended = ending.end(lock);
      await session.recorder.waitForEvents(mark, (events) => events.some((e) => e.button === 'left'), {
        filter: isButton, timeoutMs: SOON_MS, what: 'the lock\'s release',
      });
      report(t, `the lock's release seen within ${Math.round(session.host.now() - ended)} ms of ${ending.name} (60 presses queued)`);
    });
  }

  it('a lock queued for a key that left the page before its turn never locks', async () => {
    const slow = key({ my_mouse_event: 'MOUSE_MIDDLE_CLICK', my_sleep: '300' });
    const lock = key(LOCK);
    await session.barrier();
    const mark = session.recorder.mark();
    session.host.keyDown(slow);
    session.host.keyUp(slow);
    session.host.keyDown(lock);
    session.host.keyUp(lock);
    session.host.willDisappear(lock);
    await session.recorder.waitForEvents(mark, (events) => events.length >= 2, { filter: isButton, what: 'the slow click' });
    await session.recorder.settle(QUIET_MS);
    assert.deepEqual(buttonsSince(mark), ['middle down', 'middle up']);
  });

  it('a key whose offset cannot be read leaves another key\'s held scroll and the pointer alone', async () => {
    const scroll = key({ my_mouse_event: 'MOUSE_WHEEL_HOLD', my_wheel: '-120', my_sleep: '40' });
    const broken = key({ my_mouse_event: 'MOUSE_CURSOR_MOVE', my_offset_x: '50', my_offset_y: 'down' });
    await session.barrier();
    if (!session.wine) await session.setCursor(300, 300);
    session.host.keyDown(scroll);
    const scrolling = session.recorder.mark();
    await session.recorder.waitForEvents(scrolling, (events) => events.length >= 2, { filter: isButtonOrWheel, what: 'the held scroll' });
    session.host.keyDown(broken);
    session.host.keyUp(broken);
    await session.barrier();
    const mark = session.recorder.mark();
    await session.recorder.settle(QUIET_MS);
    const wheels = session.recorder.since(mark, isButtonOrWheel);
    session.host.keyUp(scroll);
    assert.ok(wheels.length >= 3, `the scroll stopped: ${wheels.length} wheel events in ${QUIET_MS} ms`);
    if (!session.wine) assert.deepEqual(await session.cursor(), { x: 300, y: 300 }, 'the pointer moved');
  });

  const PICK_ENDS = [
    { name: 'a page switch', end: (context) => session.host.willDisappear(context) },
    { name: 'the settings page closing', end: (context) => session.host.propertyInspectorDidDisappear(context) },
  ];
  for (const ending of PICK_ENDS) {
    it(`a pick's countdown cut short by ${ending.name} gives the key its title back`, async () => {
      const { host } = session;
      const context = key({ my_mouse_event: 'MOUSE_CLICK_AT' });
      host.propertyInspectorDidAppear(context);
      const asked = host.sendToPlugin(context, { pick: 'position' });
      await host.waitForMessages('setTitle', { context, count: 2, after: asked, timeoutMs: 3000 });
      const ended = ending.end(context);
      const [restored] = await host.waitForMessages('setTitle', { context, after: ended, timeoutMs: 500 });
      assert.deepEqual(restored.json.payload, { target: 0 });
      await delay(2500);
      const later = host.fromPlugin.filter((entry) => entry.time > restored.time && entry.json?.event === 'setTitle' && entry.json.context === context);
      assert.deepEqual(later.map((entry) => entry.json.payload), [], 'the countdown went on');
    });
  }

  // Measured on the process's threads; Wine's own threads would blur it.
  const WAITS = [
    { name: 'a click held for 3 s', members: { my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '3000' } },
    { name: 'a held scroll of one notch a second', members: { my_mouse_event: 'MOUSE_WHEEL_HOLD', my_sleep: '1000' }, hold: true },
  ];
  for (const row of WAITS) {
    it(`${row.name} sleeps without waking up every few milliseconds`, { skip: build.wine && 'counted on the Linux process only' }, async (t) => {
      const context = key(row.members);
      await session.barrier();
      const mark = session.recorder.mark();
      session.host.keyDown(context);
      if (!row.hold) session.host.keyUp(context);
      await session.recorder.waitForEvents(mark, (events) => events.length >= 1, { filter: isButtonOrWheel, what: 'the command\'s first input' });
      const pid = session.host.plugin.pid;
      const before = contextSwitches(pid);
      const began = performance.now();
      await delay(900);
      const rate = ((contextSwitches(pid) - before) * 1000) / (performance.now() - began);
      session.host.keyUp(context);
      report(t, `${row.name}: ${rate.toFixed(1)} wake-ups a second`);
      assert.ok(rate < 30, `${rate.toFixed(1)} wake-ups a second while waiting`);
    });
  }
});

