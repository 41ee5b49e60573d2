// The key commands beyond the first 22, and the optional members that change
// the old ones, observed from outside the plugin: double clicks and their
// timing, drag-lock toggles with their held image, click-at with return,
// held wheels and moves with growth, the nudge, and positions on a chosen
// monitor (Xvfb with two monitors declared on its one screen).
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { solidPng, delay, isButtonOrWheel, releaseButton, COMMAND_QUIET_MS } from '../lib/index.js';
import { buildUnderTest, bundleSuite, startTwoMonitorSession, twoMonitorsSkip, settings, inputText, pressAndCollect, report } from './support/e2e.js';

const build = buildUnderTest();

// How programs tell a double click: on Windows the second press within
// GetDoubleClickTime (500 ms in a fresh Wine prefix) of the first; on X11
// within 100 ms of the first release.
const DOUBLE_CLICK = build.wine
  ? { ms: 500, measure: ([down1, , down2]) => down2 - down1 }
  : { ms: 100, measure: ([, up1, down2]) => down2 - up1 };
const HOLD_MS = 1000;
// How late input may still come after keyUp: the run's wait ends with
// the release, and the recorder's pipe adds its own delay.
const STOP_MARGIN_MS = 80;

const ICONS = {
  'hand_1red.png': solidPng(144, 144, [200, 20, 20]),
  'hand_held_1red.png': solidPng(144, 144, [20, 20, 20]),
};
const TOGGLE_ICON = { my_icon_name: 'hand', my_icon_color_id: '1', my_icon_color: 'red' };

const isMove = (event) => event.kind === 'move';

// Seen under Wine: SendInput's moves (absolute over the virtual desktop, and
// relative) reach the low-level hook's chain but do not move the X pointer
// while no Wine window has the focus, so where they lead cannot be read back.
const SENT_MOVES_HIDDEN = build.wine && 'under Wine, moves sent with SendInput do not move the X pointer while no Wine window has the focus';

describe(`${build.name} build: the new key commands`, { skip: build.needsRecorder }, () => {
  const suite = bundleSuite(build, ICONS, 'new');
  const { key } = suite;
  let session;
  before(() => {
    session = suite.session;
  });

  // Holds the key for `ms`, then waits for the input to end; returns the
  // events from keyDown on and the time of keyUp on the recorder's clock.
  async function hold(context, ms, filter) {
    const { host, recorder } = session;
    await session.settle();
    const mark = recorder.mark();
    host.keyDown(context);
    await delay(ms);
    host.keyUp(context);
    const upAt = performance.now();
    await recorder.waitForQuiet(COMMAND_QUIET_MS);
    const events = recorder.since(mark, filter);
    const offset = recorder.clockOffset;
    return { events, upAt: upAt - offset };
  }

  for (const button of ['left', 'middle', 'right']) {
    it(`MOUSE_${button.toUpperCase()}_DOUBLE_CLICK: two clicks, no motion between, the second press within the double-click time`, async (t) => {
      // A press of 200 ms would not fit twice into X's 100 ms: it is cut down.
      const context = key({ my_mouse_event: `MOUSE_${button.toUpperCase()}_DOUBLE_CLICK`, my_sleep: '200', my_repeat_loops: '3' });
      await session.settle();
      const mark = session.recorder.mark();
      const { events } = await pressAndCollect(session, context, { expectedCount: 4 });
      assert.deepEqual(events.map(inputText), [`${button} down`, `${button} up`, `${button} down`, `${button} up`], 'my_repeat_loops does not apply');
      const all = session.recorder.since(mark);
      const first = all.indexOf(events[0]);
      const last = all.indexOf(events[3]);
      assert.deepEqual(all.slice(first, last).filter(isMove), [], 'the pointer moved within the double click');
      const times = events.map((event) => event.time);
      const [down1, up1, down2, up2] = times;
      const figures = `press ${(up1 - down1).toFixed(1)} ms, release to press ${(down2 - up1).toFixed(1)} ms, press to press ${(down2 - down1).toFixed(1)} ms, second press ${(up2 - down2).toFixed(1)} ms`;
      report(t, `${build.name}: ${button} double click: ${figures}`);
      assert.ok(DOUBLE_CLICK.measure(times) < DOUBLE_CLICK.ms, figures);
      assert.ok(down2 - up1 > 0, figures);
    });
  }

  for (const button of ['left', 'middle', 'right']) {
    it(`MOUSE_${button.toUpperCase()}_TOGGLE: down on the first press with the held image, up on the next with the key's own icon`, async () => {
      const { host } = session;
      const context = key({ my_mouse_event: `MOUSE_${button.toUpperCase()}_TOGGLE`, ...TOGGLE_ICON });
      await host.waitForImage({ context, count: 1 });
      let released;
      try {
        const pressed = await pressAndCollect(session, context, { expectedCount: 1 });
        assert.deepEqual(pressed.events.map(inputText), [`${button} down`], 'the key up let the button go');
        await host.waitForImage({ context, count: 2 });
        assert.ok(host.images.filter((image) => image.context === context)[1].bytes.equals(ICONS['hand_held_1red.png']), 'no held image');
        released = await pressAndCollect(session, context, { expectedCount: 1 });
        assert.deepEqual(released.events.map(inputText), [`${button} up`]);
        await host.waitForImage({ context, count: 3 });
        assert.ok(host.images.filter((image) => image.context === context)[2].bytes.equals(ICONS['hand_1red.png']), 'the own icon did not come back');
      } finally {
        // A stray release would show in the next scenario's input.
        if (!released) await releaseButton(session.display, button).catch(() => {});
      }
    });
  }

  const ENDINGS = [
    { name: 'willDisappear of its key', end: (context) => session.host.willDisappear(context) },
    { name: 'deviceDidDisconnect', end: () => session.host.deviceDidDisconnect() },
  ];
  for (const ending of ENDINGS) {
    it(`a button a toggle left down goes up on ${ending.name}`, async () => {
      const context = key({ my_mouse_event: 'MOUSE_LEFT_TOGGLE' });
      let released = false;
      try {
        const pressed = await pressAndCollect(session, context, { expectedCount: 1 });
        assert.deepEqual(pressed.events.map(inputText), ['left down']);
        const mark = session.recorder.mark();
        ending.end(context);
        const events = await session.recorder.waitForEvents(mark, (seen) => seen.length >= 1, { filter: isButtonOrWheel, what: 'the release' });
        await session.recorder.settle(COMMAND_QUIET_MS);
        assert.deepEqual(session.recorder.since(mark, isButtonOrWheel).map(inputText), ['left up'], JSON.stringify(events));
        released = true;
      } finally {
        session.host.deviceDidConnect();
        if (!released) await releaseButton(session.display, 'left').catch(() => {});
      }
    });
  }

  const CLICK_AT = [
    { button: 'RIGHT', back: '1', events: ['right down', 'right up'], to: { x: 600, y: 500 } },
    { button: 'X1', back: '0', events: ['x1 down', 'x1 up'], to: { x: 100, y: 200 } },
    { button: '', back: '', events: ['left down', 'left up'], to: { x: 100, y: 200 } },
  ];
  for (const row of CLICK_AT) {
    it(`MOUSE_CLICK_AT with my_button ${JSON.stringify(row.button)} and my_return ${JSON.stringify(row.back)} clicks at (100, 200) and ends at (${row.to.x}, ${row.to.y})`, { skip: SENT_MOVES_HIDDEN }, async () => {
      const context = key({ my_mouse_event: 'MOUSE_CLICK_AT', my_offset_x: '100', my_offset_y: '200', my_button: row.button, my_return: row.back });
      await session.setCursor(600, 500);
      const mark = session.recorder.mark();
      const { events } = await pressAndCollect(session, context, { expectedCount: 2 });
      assert.deepEqual(events.map(inputText), row.events);
      // X's raw motion is read back when it arrives, by which time the
      // return may have come: that there was motion is all it shows.
      assert.ok(session.recorder.since(mark, isMove).length > 0, 'no motion at all');
      assert.deepEqual(await session.cursor(), row.to);
    });
  }

  it('MOUSE_CURSOR_NUDGE moves the pointer by the offsets as relative motion, once', { skip: SENT_MOVES_HIDDEN }, async () => {
    const context = key({ my_mouse_event: 'MOUSE_CURSOR_NUDGE', my_offset_x: '25', my_offset_y: '-10', my_repeat_loops: '2' });
    await session.setCursor(300, 300);
    const { events } = await pressAndCollect(session, context);
    assert.deepEqual(events, []);
    assert.deepEqual(await session.cursor(), { x: 325, y: 290 });
  });

  // Wheel units per half of the hold, and steps per second over the whole.
  function wheelFigures(events, downAt) {
    const units = [0, 0];
    for (const event of events) units[event.time - downAt < HOLD_MS / 2 ? 0 : 1] += Math.abs(event.amount);
    return units;
  }

  const WHEELS = [
    { name: 'MOUSE_WHEEL_HOLD', axis: 'vertical', wheel: '-120' },
    { name: 'MOUSE_HWHEEL_HOLD', axis: 'horizontal', wheel: '120' },
  ];
  for (const row of WHEELS) {
    it(`${row.name} scrolls ${row.wheel} every 50 ms while held, grows with my_accel, and stops at keyUp`, async (t) => {
      const results = {};
      for (const accel of ['0', '200']) {
        const context = key({ my_mouse_event: row.name, my_wheel: row.wheel, my_sleep: '50', my_accel: accel });
        const { events, upAt } = await hold(context, HOLD_MS, isButtonOrWheel);
        assert.ok(events.length > 0, 'no wheel input');
        for (const event of events) {
          assert.equal(event.kind, 'wheel');
          assert.equal(event.axis, row.axis);
          assert.equal(Math.sign(event.amount), Math.sign(Number(row.wheel)));
          assert.ok(event.time <= upAt + STOP_MARGIN_MS, `wheel input ${(event.time - upAt).toFixed(1)} ms after keyUp`);
        }
        const units = wheelFigures(events, events[0].time);
        results[accel] = units;
        report(t, `${build.name}: ${row.name} my_accel ${accel}: ${events.length} events, ${((units[0] + units[1]) / 120).toFixed(2)} notches in ${HOLD_MS} ms; first half ${units[0]} units, second half ${units[1]}`);
      }
      const [plainFirst, plainSecond] = results['0'];
      const steps = (plainFirst + plainSecond) / Math.abs(Number(row.wheel));
      // 1000 ms / 50 ms: 20 steps, one more at the start, fewer on a busy machine.
      assert.ok(steps >= 10 && steps <= 22, `${steps} steps in ${HOLD_MS} ms`);
      const [grownFirst, grownSecond] = results['200'];
      // 200 % a second: the step is 2x at 0.5 s and 3x at 1 s.
      assert.ok(grownSecond >= 1.4 * grownFirst, `no growth: ${grownFirst} then ${grownSecond}`);
      assert.ok(grownFirst + grownSecond >= 1.6 * (plainFirst + plainSecond), `accelerated total ${grownFirst + grownSecond} against ${plainFirst + plainSecond}`);
    });
  }

  // How far the pointer went in each half of the hold, read from the
  // display (a placement makes no event in a Windows hook).
  async function heldMove(members) {
    const context = key({ my_mouse_event: 'MOUSE_CURSOR_MOVE', my_offset_x: '2', my_offset_y: '0', my_sleep: '20', ...members });
    await session.setCursor(100, 400);
    await session.settle();
    session.host.keyDown(context);
    await delay(HOLD_MS / 2);
    const middle = await session.cursor();
    await delay(HOLD_MS / 2);
    session.host.keyUp(context);
    await session.settle();
    const end = await session.cursor();
    assert.ok(end.x > 100, 'the pointer did not move');
    return { end, halves: [middle.x - 100, end.x - middle.x] };
  }

  it('MOUSE_CURSOR_MOVE grows its step with my_accel', async (t) => {
    const plain = await heldMove({});
    const grown = await heldMove({ my_accel: '300' });
    report(t, `${build.name}: held move 2 px every 21 ms for ${HOLD_MS} ms: ${plain.halves.join(' + ')} px; with my_accel 300: ${grown.halves.join(' + ')} px`);
    for (const { end } of [plain, grown]) assert.equal(end.y, 400);
    assert.ok(plain.halves[1] <= 1.3 * plain.halves[0] + 4, `uneven without my_accel: ${plain.halves}`);
    assert.ok(grown.halves[1] >= 1.4 * grown.halves[0], `no growth: ${grown.halves}`);
    assert.ok(grown.end.x - 100 >= 1.8 * (plain.end.x - 100), `accelerated ${grown.end.x - 100} px against ${plain.end.x - 100} px`);
  });

  it('MOUSE_CURSOR_MOVE with my_relative "1" moves in whole relative steps while held', { skip: SENT_MOVES_HIDDEN }, async () => {
    const { end, halves } = await heldMove({ my_relative: '1', my_offset_x: '3' });
    const moved = halves[0] + halves[1];
    assert.ok(moved > 0 && moved % 3 === 0, `moved ${moved} px, not whole steps of 3`);
    assert.equal(end.y, 400);
  });
});

// Monitor 1 is the primary, here the right-hand one; the others follow from
// left to right.
const ON_MONITOR = [
  { name: 'MOUSE_CURSOR_POS', monitor: '1', x: '10', y: '20', to: { x: 692, y: 20 } },
  { name: 'MOUSE_CURSOR_POS', monitor: '2', x: '10', y: '20', to: { x: 10, y: 20 } },
  { name: 'MOUSE_CURSOR_POS', monitor: '2', x: '5000', y: '-5', to: { x: 681, y: 0 } },
  { name: 'MOUSE_CURSOR_POS', monitor: 'cursor', from: { x: 900, y: 600 }, x: '30', y: '40', to: { x: 712, y: 40 } },
  { name: 'MOUSE_CURSOR_POS', monitor: '', x: '30', y: '40', to: { x: 30, y: 40 } },
  { name: 'MOUSE_CURSOR_RESET', monitor: '1', to: { x: 1023, y: 383 } },
  { name: 'MOUSE_CURSOR_RESET', monitor: '2', to: { x: 341, y: 383 } },
  { name: 'MOUSE_CURSOR_RESET', monitor: 'cursor', from: { x: 100, y: 100 }, to: { x: 341, y: 383 } },
  { name: 'MOUSE_CLICK_AT', monitor: '1', x: '10', y: '10', events: ['left down', 'left up'], to: { x: 692, y: 10 } },
  // A monitor that is not there: nothing happens.
  { name: 'MOUSE_CLICK_AT', monitor: '3', x: '10', y: '10', events: [], to: { x: 600, y: 500 } },
];

describe(`${build.name} build: positions on a chosen monitor, two monitors on one screen`, {
  skip: build.needsRecorder || twoMonitorsSkip(build),
}, () => {
  let session;
  let stop;
  before(async () => {
    ({ session, stop } = await startTwoMonitorSession(build));
  });
  after(async () => {
    await stop?.();
  });

  for (const [index, row] of ON_MONITOR.entries()) {
    it(`${row.name} with my_monitor ${JSON.stringify(row.monitor)}${row.x ? ` at (${row.x}, ${row.y})` : ''} ends at (${row.to.x}, ${row.to.y})`, async () => {
      const context = `monitor-${index}`;
      session.host.willAppear(context, { settings: settings({ my_mouse_event: row.name, my_monitor: row.monitor, my_offset_x: row.x ?? '0', my_offset_y: row.y ?? '0' }) });
      const from = row.from ?? { x: 600, y: 500 };
      await session.setCursor(from.x, from.y);
      const { events } = await pressAndCollect(session, context, { expectedCount: row.events?.length ?? 0 });
      assert.deepEqual(events.map(inputText), row.events ?? []);
      assert.deepEqual(await session.cursor(), row.to);
    });
  }
});
