// The Linux build in a Wayland session: headless sway, a fullscreen window
// of the recorder's that prints the pointer events it receives, and the
// plugin's input through the compositor's virtual pointer. Every key
// command, the held moves and wheels, and what stands in for reading the
// pointer's position, which no Wayland client can do.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { startSway, delay, median, isButtonOrWheel, COMMAND_QUIET_MS } from '../lib/index.js';
import { buildUnderTest, startSession, settings, inputText, pressAndCollect, report } from './support/e2e.js';

const build = buildUnderTest();
const recorder = process.env.DECKMOUSE_WAYLAND_RECORDER
  || path.join(path.dirname(build.plugin), 'tools', 'deckmouse_wayland_recorder');
const skip = build.wine ? 'Wayland is the Linux build\'s'
  : build.skip ?? (!fs.existsSync(recorder) && `no Wayland recorder at ${recorder} (set DECKMOUSE_WAYLAND_RECORDER)`);

const click = (button) => [`${button} down`, `${button} up`];
const isPosition = (event) => event.kind === 'enter' || event.kind === 'motion';
const CENTRE = { x: 682, y: 383 };  // of the 1365x767 output

describe('linux build on Wayland (headless sway, virtual pointer)', { skip }, () => {
  let sway;
  let session;
  let keys = 0;
  const latencies = [];
  before(async () => {
    sway = await startSway();
    session = await startSession({ ...build, recorder }, { env: { WAYLAND_DISPLAY: sway.waylandDisplay } });
  });
  after(async () => {
    await session?.stop();
    await sway?.stop();
  });

  function key(members) {
    const context = `wayland-${keys++}`;
    session.host.willAppear(context, { settings: settings(members), coordinates: { column: keys % 5, row: Math.trunc(keys / 5) % 3 } });
    return context;
  }

  // Where the pointer is, by the last enter or motion the window saw.
  function pointer() {
    const last = session.recorder.events.filter(isPosition).at(-1);
    return last && { x: Math.round(last.x), y: Math.round(last.y) };
  }

  // Presses a key and waits until the window sees the pointer at `to`.
  async function placeBy(members, to) {
    const context = key(members);
    const mark = session.recorder.mark();
    session.host.keyDown(context);
    session.host.keyUp(context);
    await session.recorder.waitForEvents(mark, (events) => events.length && pointer().x === to.x && pointer().y === to.y,
      { filter: isPosition, what: `the pointer at ${JSON.stringify(to)}` });
    await session.settle();
  }

  const placeAt = (x, y) => placeBy({ my_mouse_event: 'MOUSE_CURSOR_POS', my_offset_x: String(x), my_offset_y: String(y) }, { x, y });

  it('chooses the virtual pointer and says so once', async () => {
    key({});
    const line = 'Input through the compositor\'s virtual pointer';
    await session.host.waitForStdout(line, 10000);
    await session.outputBarrier();
    assert.equal(session.host.plugin.stdout.split(line).length - 1, 1);
    assert.doesNotMatch(session.host.plugin.stdout, /XWayland/);
  });

  it('MOUSE_CURSOR_POS places the pointer with absolute motion, clamped to the output', async () => {
    await placeAt(300, 200);
    await placeAt(1000, 600);
    await placeBy({ my_mouse_event: 'MOUSE_CURSOR_POS', my_offset_x: '-10', my_offset_y: '5000' }, { x: 0, y: 766 });
  });

  it('MOUSE_CURSOR_RESET places it at the centre of the output', async () => {
    await placeAt(10, 10);
    await placeBy({ my_mouse_event: 'MOUSE_CURSOR_RESET' }, CENTRE);
  });

  const ROWS = [
    { name: 'MOUSE_LEFT_CLICK', events: click('left') },
    { name: 'MOUSE_MIDDLE_CLICK', events: click('middle') },
    { name: 'MOUSE_RIGHT_CLICK', events: click('right') },
    { name: 'MOUSE_X1_CLICK', events: click('x1') },
    { name: 'MOUSE_X2_CLICK', events: click('x2') },
    { name: 'MOUSE_LEFT_CLICK', repeat: '1', events: [...click('left'), ...click('left')] },
    { name: 'MOUSE_WHEEL_UP', wheel: '120', events: ['wheel vertical +120'] },
    { name: 'MOUSE_WHEEL_DOWN', wheel: '-360', events: ['wheel vertical -360'] },
    { name: 'MOUSE_HWHEEL_UP', wheel: '240', events: ['wheel horizontal +240'] },
    { name: 'MOUSE_HWHEEL_DOWN', wheel: '-120', events: ['wheel horizontal -120'] },
    ...['LEFT', 'MIDDLE', 'RIGHT', 'X1', 'X2'].flatMap((button) => [
      { name: `MOUSE_${button}_DOWN`, events: [`${button.toLowerCase()} down`] },
      { name: `MOUSE_${button}_UP`, events: [`${button.toLowerCase()} up`] },
    ]),
    ...['LEFT', 'MIDDLE', 'RIGHT'].flatMap((button) => [
      { name: `MOUSE_${button}_DOUBLE_CLICK`, events: [...click(button.toLowerCase()), ...click(button.toLowerCase())] },
    ]),
  ];
  for (const row of ROWS) {
    it(`${row.name}${row.wheel ? ` wheel ${row.wheel}` : ''}${row.repeat ? ` repeat ${row.repeat}` : ''} -> ${row.events.join(', ')}`, async () => {
      if (!pointer()) await placeAt(CENTRE.x, CENTRE.y);
      const context = key({ my_mouse_event: row.name, my_wheel: row.wheel ?? '120', my_repeat_loops: row.repeat ?? '0' });
      await session.settle();
      const { sentAt, events } = await pressAndCollect(session, context, { expectedCount: row.events.length });
      assert.deepEqual(events.map(inputText), row.events);
      // Clicks and wheels act at once; the rest only after a pass's wait.
      if (/_(CLICK|WHEEL_UP|WHEEL_DOWN)$/.test(row.name)) latencies.push(session.recorder.hostTimeOf(events[0]) - session.host.origin - sentAt);
    });
  }

  it('the clicks and wheels above reached the window after their keyDown', (t) => {
    assert.equal(latencies.length, ROWS.filter((row) => /_(CLICK|WHEEL_UP|WHEEL_DOWN)$/.test(row.name)).length);
    assert.ok(latencies.every((ms) => ms > 0), JSON.stringify(latencies));
    report(t, `keyDown to first event: median ${median(latencies).toFixed(2)} ms, max ${Math.max(...latencies).toFixed(2)} ms over ${latencies.length} clicks and wheels`);
  });

  it('a wheel notch carries the discrete step and the smooth length; part of a notch only the length', async () => {
    const context = key({ my_mouse_event: 'MOUSE_WHEEL_UP', my_wheel: '60', my_repeat_loops: '1' });
    await session.settle();
    const mark = session.recorder.mark();
    session.host.keyDown(context);
    session.host.keyUp(context);
    const events = await session.recorder.waitForEvents(mark, (seen) => seen.length >= 2, { filter: (e) => e.kind === 'wheel' });
    assert.deepEqual(events.map(({ discrete, value }) => ({ discrete, value })), [{ discrete: 0, value: -7.5 }, { discrete: -1, value: -7.5 }]);
  });

  it('MOUSE_LEFT_TOGGLE presses on the first press and releases on the second', async () => {
    const context = key({ my_mouse_event: 'MOUSE_LEFT_TOGGLE' });
    await session.settle();
    assert.deepEqual((await pressAndCollect(session, context, { expectedCount: 1 })).events.map(inputText), ['left down']);
    assert.deepEqual((await pressAndCollect(session, context, { expectedCount: 1 })).events.map(inputText), ['left up']);
  });

  it('MOUSE_CLICK_AT clicks at its point; with my_return it stays there, as the way back cannot be read', async () => {
    await placeAt(100, 100);
    const context = key({ my_mouse_event: 'MOUSE_CLICK_AT', my_offset_x: '400', my_offset_y: '300', my_button: 'RIGHT', my_return: '1' });
    await session.settle();
    const mark = session.recorder.mark();
    const { events } = await pressAndCollect(session, context, { expectedCount: 2 });
    assert.deepEqual(events.map(inputText), click('right'));
    const moves = session.recorder.since(mark, isPosition);
    assert.ok(moves.length >= 1 && moves.every((e) => Math.round(e.x) === 400 && Math.round(e.y) === 300), JSON.stringify(moves));
    assert.deepEqual(pointer(), { x: 400, y: 300 });
  });

  it('my_monitor "cursor" takes the primary output, as the pointer\'s cannot be read', async () => {
    await placeAt(1200, 700);
    await placeBy({ my_mouse_event: 'MOUSE_CURSOR_POS', my_monitor: 'cursor', my_offset_x: '50', my_offset_y: '60' }, { x: 50, y: 60 });
    await placeBy({ my_mouse_event: 'MOUSE_CURSOR_RESET', my_monitor: '1' }, CENTRE);
  });

  it('MOUSE_CURSOR_NUDGE moves by its offsets as relative motion', async () => {
    await placeAt(500, 400);
    await placeBy({ my_mouse_event: 'MOUSE_CURSOR_NUDGE', my_offset_x: '-7', my_offset_y: '11' }, { x: 493, y: 411 });
  });

  // No client can read the pointer here: the sequence's return goes back by
  // the relative motion it made since its start.
  it('MOUSE_SEQUENCE clicks in order with its wait between, and returns by the relative motion it made', async (t) => {
    // Not where the scenarios after it start from, which wait for motion there.
    await placeAt(320, 280);
    const context = key({ my_mouse_event: 'MOUSE_SEQUENCE', my_steps: 'move +40 +30; click left; wait 200; move +10 +0\nclick right; return' });
    const mark = session.recorder.mark();
    session.host.keyDown(context);
    session.host.keyUp(context);
    const buttons = await session.recorder.waitForEvents(mark, (events) => events.length >= 4, { filter: isButtonOrWheel, what: 'two clicks' });
    await session.recorder.waitForEvents(mark, () => pointer().x === 320 && pointer().y === 280, { filter: isPosition, what: 'the pointer back at (320, 280)' });
    assert.deepEqual(buttons.map(inputText), [...click('left'), ...click('right')]);
    const waited = buttons[2].time - buttons[1].time;
    report(t, `wayland: sequence: left up to right down ${waited.toFixed(1)} ms across "wait 200"`);
    assert.ok(waited >= 198 && waited < 450, `the wait took ${waited.toFixed(1)} ms`);
    assert.ok(session.recorder.since(mark, isPosition).some((event) => Math.round(event.x) === 370 && Math.round(event.y) === 310), 'the moves went elsewhere');
  });

  // Holds the key until the window has seen `steps` events passing `filter`,
  // then releases it; returns what came from keyDown on.
  async function holdFor(context, steps, filter) {
    const { host, recorder } = session;
    await session.settle();
    const mark = recorder.mark();
    host.keyDown(context);
    await recorder.waitForEvents(mark, (events) => events.length >= steps, { filter, timeoutMs: 10000, what: `${steps} steps` });
    host.keyUp(context);
    await recorder.waitForQuiet(COMMAND_QUIET_MS);
    return recorder.since(mark, filter);
  }

  for (const relative of ['0', '1']) {
    it(`MOUSE_CURSOR_MOVE (my_relative ${relative}) steps with relative motion while held`, async (t) => {
      await placeAt(300, 300);
      const context = key({ my_mouse_event: 'MOUSE_CURSOR_MOVE', my_offset_x: '3', my_offset_y: '-1', my_sleep: '9', my_relative: relative });
      const moves = await holdFor(context, 30, isPosition);
      const positions = [{ x: 300, y: 300 }, ...moves.map((e) => ({ x: Math.round(e.x), y: Math.round(e.y) }))];
      for (let i = 1; i < positions.length; ++i) {
        assert.deepEqual({ dx: positions[i].x - positions[i - 1].x, dy: positions[i].y - positions[i - 1].y }, { dx: 3, dy: -1 }, `step ${i}`);
      }
      const span = (moves.at(-1).time - moves[0].time) / 1000;
      report(t, `held move (10 ms period): ${((moves.length - 1) / span).toFixed(1)} steps per second over ${moves.length} steps`);
    });
  }

  for (const [name, axis, sign] of [['MOUSE_WHEEL_HOLD', 'vertical', '+'], ['MOUSE_HWHEEL_HOLD', 'horizontal', '+']]) {
    it(`${name} turns the ${axis} wheel a notch at a time while held`, async (t) => {
      const context = key({ my_mouse_event: name, my_wheel: '120', my_sleep: '20' });
      const turns = await holdFor(context, 10, isButtonOrWheel);
      assert.deepEqual([...new Set(turns.map(inputText))], [`wheel ${axis} ${sign}120`]);
      const span = (turns.at(-1).time - turns[0].time) / 1000;
      report(t, `${name} (20 ms period): ${((turns.length - 1) / span).toFixed(1)} steps per second`);
    });
  }

  it('MOUSE_AUTOCLICK_HOLD clicks its button at its rate while held', async (t) => {
    const context = key({ my_mouse_event: 'MOUSE_AUTOCLICK_HOLD', my_button: 'MIDDLE', my_sleep: '20' });
    const clicks = await holdFor(context, 20, isButtonOrWheel);
    for (let i = 0; i < clicks.length; i += 2) assert.deepEqual(clicks.slice(i, i + 2).map(inputText), click('middle'));
    const downs = clicks.filter((event) => event.down);
    const period = (downs.at(-1).time - downs[0].time) / (downs.length - 1);
    report(t, `MOUSE_AUTOCLICK_HOLD (20 ms period): a click every ${period.toFixed(1)} ms over ${downs.length} clicks`);
    assert.ok(period >= 19 && period <= 40, `${period} ms between clicks`);
  });

  it('MOUSE_JIGGLE_TOGGLE moves one pixel and back as relative motion, at once', async () => {
    await placeAt(500, 400);
    const context = key({ my_mouse_event: 'MOUSE_JIGGLE_TOGGLE', my_sleep: '60' });
    await session.settle();
    const mark = session.recorder.mark();
    session.host.keyDown(context);
    session.host.keyUp(context);
    try {
      const moves = await session.recorder.waitForEvents(mark, (events) => events.some((e) => Math.round(e.x) === 501)
        && pointer().x === 500, { filter: isPosition, what: 'a pixel right and back' });
      assert.ok(moves.every((e) => Math.round(e.y) === 400), JSON.stringify(moves));
    } finally {
      session.host.keyDown(context);
      session.host.keyUp(context);
    }
    assert.deepEqual(pointer(), { x: 500, y: 400 });
  });

  // Turns a new dial with `settings` by `ticks` and returns the events that
  // passed `filter` once `enough` of them came and the input went quiet.
  async function turnDial(settings, ticks, filter, enough) {
    const { host, recorder } = session;
    const context = `wayland-dial-${keys++}`;
    host.dialAppear(context, { settings });
    await session.settle();
    const mark = recorder.mark();
    host.dialRotate(context, ticks);
    await recorder.waitForEvents(mark, enough, { filter, what: `the turn of ${context}` });
    await recorder.waitForQuiet(COMMAND_QUIET_MS);
    return recorder.since(mark, filter);
  }

  it('a dial scrolls a notch per tick, down clockwise and right for the sideways wheel, and moves by relative motion', async () => {
    const isWheel = (event) => event.kind === 'wheel';
    const total = (events) => events.reduce((sum, event) => sum + event.amount, 0);
    const down = await turnDial({ dial_rotate: 'WHEEL' }, 2, isWheel, (seen) => total(seen) <= -240);
    assert.deepEqual([total(down), [...new Set(down.map((event) => event.axis))]], [-240, ['vertical']]);
    const right = await turnDial({ dial_rotate: 'HWHEEL' }, 3, isWheel, (seen) => total(seen) >= 360);
    assert.deepEqual([total(right), [...new Set(right.map((event) => event.axis))]], [360, ['horizontal']]);

    await placeAt(300, 300);
    await turnDial({ dial_rotate: 'MOVE_X', dial_step: '7' }, 2, isPosition, () => pointer().x === 314);
    assert.deepEqual(pointer(), { x: 314, y: 300 });
    await turnDial({ dial_rotate: 'MOVE_Y', dial_step: '5' }, -3, isPosition, () => pointer().y === 285);
    assert.deepEqual(pointer(), { x: 314, y: 285 });
  });

  it('a button held down when the host goes away is released', async () => {
    const context = key({ my_mouse_event: 'MOUSE_MIDDLE_DOWN' });
    await session.settle();
    assert.deepEqual((await pressAndCollect(session, context, { expectedCount: 1 })).events.map(inputText), ['middle down']);
    const mark = session.recorder.mark();
    await session.host.closeConnection();
    const events = await session.recorder.waitForEvents(mark, (seen) => seen.length >= 1, { filter: isButtonOrWheel });
    assert.deepEqual(events.map(inputText), ['middle up']);
  });
});

// Two outputs side by side: absolute motion spans the layout, and a monitor
// chosen by number is found in it. The window covers the first output only,
// so a placement on the second is seen by nudging the pointer back into it.
describe('linux build on Wayland: two outputs', { skip }, () => {
  let sway;
  let session;
  let keys = 0;
  before(async () => {
    sway = await startSway({ outputs: [{ width: 1365, height: 767, x: 0, y: 0 }, { width: 800, height: 600, x: 1365, y: 0 }] });
    session = await startSession({ ...build, recorder }, { env: { WAYLAND_DISPLAY: sway.waylandDisplay } });
  });
  after(async () => {
    await session?.stop();
    await sway?.stop();
  });

  async function press(members) {
    const context = `outputs-${keys++}`;
    session.host.willAppear(context, { settings: settings(members) });
    await session.settle();
    session.host.keyDown(context);
    session.host.keyUp(context);
  }

  async function pointerAt(mark, to) {
    const [last] = (await session.recorder.waitForEvents(mark, (events) => {
      const at = events.at(-1);
      return at && Math.round(at.x) === to.x && Math.round(at.y) === to.y;
    }, { filter: isPosition, what: `the pointer at ${JSON.stringify(to)}` })).slice(-1);
    return last;
  }

  it('the window covers the first output', () => {
    const surface = session.recorder.events.find((event) => event.kind === 'surface');
    assert.deepEqual(surface && { width: surface.width, height: surface.height }, { width: 1365, height: 767 });
  });

  // Placed on the second output, then nudged back left into the window.
  for (const row of [
    { members: { my_mouse_event: 'MOUSE_CURSOR_POS', my_offset_x: '1415', my_offset_y: '60' }, nudge: -100, back: { x: 1315, y: 60 } },
    { members: { my_mouse_event: 'MOUSE_CURSOR_POS', my_monitor: '2', my_offset_x: '50', my_offset_y: '70' }, nudge: -100, back: { x: 1315, y: 70 } },
    { members: { my_mouse_event: 'MOUSE_CURSOR_RESET', my_monitor: '2' }, nudge: -500, back: { x: 1265, y: 300 } },
  ]) {
    it(`${row.members.my_mouse_event}${row.members.my_monitor ? ` on monitor ${row.members.my_monitor}` : ''} lands on the second output`, async () => {
      let mark = session.recorder.mark();
      await press({ my_mouse_event: 'MOUSE_CURSOR_POS', my_offset_x: '600', my_offset_y: '300' });
      await pointerAt(mark, { x: 600, y: 300 });
      mark = session.recorder.mark();
      await press(row.members);
      await press({ my_mouse_event: 'MOUSE_CURSOR_NUDGE', my_offset_x: String(row.nudge), my_offset_y: '0' });
      const seen = await pointerAt(mark, row.back);
      // The pointer left the window and came back into it only where the nudge took it.
      assert.equal(seen.kind, 'enter');
      assert.deepEqual(session.recorder.since(mark, (e) => e.kind === 'motion'), []);
    });
  }
});
