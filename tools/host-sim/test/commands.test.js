// Every mouse command, one plugin process for the whole table: the button
// and wheel events it produces, in order and with their data, and where it
// leaves the cursor.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { buildUnderTest, startSession, settings, inputText, wheelAsSeen, pressAndCollect } from './support/e2e.js';

const build = buildUnderTest();

const click = (button) => [`${button} down`, `${button} up`];
const wheel = (axis, amount) => wheelAsSeen(build, axis, amount);

// cursor: where the cursor starts and where it must end up (a function of
// the start for relative moves).
const ROWS = [
  { name: 'MOUSE_LEFT_CLICK', events: click('left') },
  { name: 'MOUSE_MIDDLE_CLICK', events: click('middle') },
  { name: 'MOUSE_RIGHT_CLICK', events: click('right') },
  { name: 'MOUSE_X1_CLICK', events: click('x1') },
  { name: 'MOUSE_X2_CLICK', events: click('x2') },
  { name: 'MOUSE_LEFT_CLICK', repeat: '1', events: [...click('left'), ...click('left')] },
  { name: 'MOUSE_X2_CLICK', repeat: '2', sleep: '10', events: [...click('x2'), ...click('x2'), ...click('x2')] },
  { name: 'MOUSE_WHEEL_UP', wheel: '120', events: wheel('vertical', 120) },
  { name: 'MOUSE_WHEEL_UP', wheel: '-240', events: wheel('vertical', -240) },
  { name: 'MOUSE_WHEEL_UP', wheel: '240', repeat: '1', events: [...wheel('vertical', 240), ...wheel('vertical', 240)] },
  // The sign of my_wheel alone sets the direction: DOWN with +120 scrolls forward.
  { name: 'MOUSE_WHEEL_DOWN', wheel: '120', events: wheel('vertical', 120) },
  { name: 'MOUSE_WHEEL_DOWN', wheel: '-360', events: wheel('vertical', -360) },
  { name: 'MOUSE_HWHEEL_UP', wheel: '120', events: wheel('horizontal', 120) },
  { name: 'MOUSE_HWHEEL_UP', wheel: '-120', events: wheel('horizontal', -120) },
  { name: 'MOUSE_HWHEEL_DOWN', wheel: '240', events: wheel('horizontal', 240) },
  { name: 'MOUSE_HWHEEL_DOWN', wheel: '-120', events: wheel('horizontal', -120) },
  // Each down is followed by its up so that no button stays pressed.
  { name: 'MOUSE_LEFT_DOWN', events: ['left down'] },
  { name: 'MOUSE_LEFT_UP', events: ['left up'] },
  { name: 'MOUSE_MIDDLE_DOWN', events: ['middle down'] },
  { name: 'MOUSE_MIDDLE_UP', events: ['middle up'] },
  { name: 'MOUSE_RIGHT_DOWN', events: ['right down'] },
  { name: 'MOUSE_RIGHT_UP', events: ['right up'] },
  { name: 'MOUSE_X1_DOWN', events: ['x1 down'] },
  { name: 'MOUSE_X1_UP', events: ['x1 up'] },
  { name: 'MOUSE_X2_DOWN', events: ['x2 down'] },
  { name: 'MOUSE_X2_UP', events: ['x2 up'] },
  { name: 'MOUSE_CURSOR_POS', x: '100', y: '200', events: [], cursor: { from: { x: 600, y: 500 }, to: () => ({ x: 100, y: 200 }) } },
  // The offsets are an absolute position; the platform keeps it on screen.
  { name: 'MOUSE_CURSOR_POS', x: '-10', y: '20', events: [], cursor: { from: { x: 600, y: 500 }, to: () => ({ x: 0, y: 20 }) } },
  { name: 'MOUSE_CURSOR_POS', x: '5000', y: '5000', events: [], cursor: { from: { x: 600, y: 500 }, to: () => ({ x: 1364, y: 766 }) } },
  { name: 'MOUSE_CURSOR_RESET', x: '100', y: '200', events: [], cursor: { from: { x: 10, y: 700 }, to: () => ({ x: 682, y: 383 }) } },
  // A tap still moves for the one pass of 200 ms, in steps of the offset.
  { name: 'MOUSE_CURSOR_MOVE', x: '3', y: '0', sleep: '9', events: [], cursor: { from: { x: 300, y: 600 }, moved: { dx: 3, dy: 0 } } },
  // Names match exactly: another letter case or a trailing blank is no command.
  { name: 'mouse_left_click', events: [] },
  { name: 'Mouse_Wheel_Up', events: [] },
  { name: 'MOUSE_LEFT_CLICK ', events: [] },
  { name: 'MOUSE_CURSOR_reset', events: [], cursor: { from: { x: 10, y: 10 }, to: () => ({ x: 10, y: 10 }) } },
];

describe(`${build.name} build: the mouse commands`, { skip: build.needsRecorder }, () => {
  let session;
  before(async () => {
    session = await startSession(build);
  });
  after(async () => {
    await session?.stop();
  });

  for (const [index, row] of ROWS.entries()) {
    const label = `${JSON.stringify(row.name)}${row.wheel ? ` wheel ${row.wheel}` : ''}${row.repeat ? ` repeat ${row.repeat}` : ''}${row.x ? ` at (${row.x}, ${row.y})` : ''}`;
    it(`${label} -> ${row.events.length ? row.events.join(', ') : 'no button or wheel event'}`, async () => {
      const context = `command-${index}`;
      session.host.willAppear(context, {
        settings: settings({ my_mouse_event: row.name, my_wheel: row.wheel ?? '120', my_repeat_loops: row.repeat ?? '0',
          my_sleep: row.sleep ?? '0', my_offset_x: row.x ?? '0', my_offset_y: row.y ?? '0' }),
        coordinates: { column: index % 5, row: Math.trunc(index / 5) % 3 },
      });
      if (row.cursor) await session.setCursor(row.cursor.from.x, row.cursor.from.y);
      const { events } = await pressAndCollect(session, context, { expectedCount: row.events.length });
      assert.deepEqual(events.map(inputText), row.events);
      // The Windows hook flags synthetic input; every event here is synthetic.
      for (const event of events) if (event.injected !== undefined) assert.equal(event.injected, true, JSON.stringify(event));
      if (row.cursor?.to) {
        assert.deepEqual(await session.cursor(), row.cursor.to(row.cursor.from));
      }
      if (row.cursor?.moved) {
        const { from, moved } = row.cursor;
        const at = await session.cursor();
        const steps = (at.x - from.x) / moved.dx;
        assert.ok(Number.isInteger(steps) && steps > 0, `moved from ${JSON.stringify(from)} to ${JSON.stringify(at)}, not in whole steps of ${moved.dx}`);
        assert.equal(at.y, from.y + steps * moved.dy);
        // The release has been handled, so the cursor stays where it is.
        await session.recorder.settle(100);
        assert.deepEqual(await session.cursor(), at);
      }
    });
  }
});
