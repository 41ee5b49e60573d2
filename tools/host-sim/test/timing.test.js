// When the input comes: the pauses inside and between passes, the waits in
// front of a single-shot command, and (measured, not asserted) how long a
// key press takes to reach the input stack.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { median, COMMAND_QUIET_MS } from '../lib/index.js';
import { buildUnderTest, startSession, settings, inputText, pressAndCollect, report } from './support/e2e.js';

const build = buildUnderTest();
// Bounds on the recorder's gaps. Its times are taken when it reads each
// event, so a late read of the first event of a gap shortens that gap by a
// few milliseconds on a busy machine; the upper bounds still tell a pause
// taken twice, or a pass too many, from a slow wake-up.
const PRESSED = [40, 95];
const BETWEEN = [190, 290];
// Host times on both sides: the plugin cannot answer before its waits are
// over; the margin only absorbs rounding.
const EARLY = 2;

const within = (value, [low, high]) => value >= low && value <= high;

describe(`${build.name} build: pass timing`, { skip: build.needsRecorder }, () => {
  let session;
  before(async () => {
    session = await startSession(build);
  });
  after(async () => {
    await session?.stop();
  });

  it('MOUSE_LEFT_CLICK with my_sleep 50 and my_repeat_loops 2: three clicks, 50 ms inside, 200 ms between, about 750 ms in all', async (t) => {
    const { host, recorder } = session;
    host.willAppear('click', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '50', my_repeat_loops: '2' }) });
    // Pressed right after: key commands run one after another, so its click
    // comes only once the first command has finished.
    host.willAppear('next', { settings: settings({ my_mouse_event: 'MOUSE_MIDDLE_CLICK' }) });
    const mark = recorder.mark();
    const sentAt = host.keyDown('click');
    host.keyUp('click');
    host.keyDown('next');
    host.keyUp('next');
    const events = await recorder.waitForEvents(mark, (seen) => seen.length >= 8, { filter: (e) => e.kind === 'button' });
    await recorder.settle(COMMAND_QUIET_MS);
    const buttons = recorder.since(mark, (e) => e.kind === 'button' || e.kind === 'wheel');
    assert.deepEqual(buttons.map(inputText), ['left down', 'left up', 'left down', 'left up', 'left down', 'left up', 'middle down', 'middle up']);
    const held = [0, 2, 4].map((i) => events[i + 1].time - events[i].time);
    const between = [1, 3].map((i) => events[i + 1].time - events[i].time);
    for (const gap of held) assert.ok(within(gap, PRESSED), `press to release ${gap.toFixed(1)} ms`);
    for (const gap of between) assert.ok(within(gap, BETWEEN), `release to next press ${gap.toFixed(1)} ms`);
    // The last pass ends with its 200 ms wait too: the first command takes
    // three times 250 ms before the next one can start.
    const busy = events[6].hostTime - host.origin - sentAt;
    assert.ok(busy >= 750 - EARLY && busy < 1000, `the next key's click came ${busy.toFixed(1)} ms after the first key press`);
    assert.ok(within(events[6].time - events[5].time, BETWEEN), `last release to the next key's click ${(events[6].time - events[5].time).toFixed(1)} ms`);
    report(t, `${build.name}: press->release ${held.map((v) => v.toFixed(1)).join('/')} ms, release->press ${between.map((v) => v.toFixed(1)).join('/')} ms, whole press ${busy.toFixed(1)} ms`);
  });

  it('MOUSE_RIGHT_DOWN with my_repeat_loops 3: one press, after four waits of 200 ms', async (t) => {
    const { host, recorder } = session;
    host.willAppear('right-down', { settings: settings({ my_mouse_event: 'MOUSE_RIGHT_DOWN', my_repeat_loops: '3' }) });
    host.willAppear('right-up', { settings: settings({ my_mouse_event: 'MOUSE_RIGHT_UP' }) });
    const { sentAt, events } = await pressAndCollect(session, 'right-down', { expectedCount: 1 });
    assert.deepEqual(events.map(inputText), ['right down']);
    // Host clock on both sides: the recorder's line arrives after the event.
    const after = events[0].hostTime - host.origin - sentAt;
    assert.ok(after >= 800 - EARLY, `right down ${after.toFixed(1)} ms after the keyDown`);
    report(t, `${build.name}: MOUSE_RIGHT_DOWN (repeat 3) came ${after.toFixed(1)} ms after the keyDown`);
    const released = await pressAndCollect(session, 'right-up', { expectedCount: 1 });
    assert.deepEqual(released.events.map(inputText), ['right up']);
  });

  it('measures keyDown to input for single-shot commands (median of 20, less the 200 ms pass)', async (t) => {
    const { host, recorder } = session;
    host.willAppear('down', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_DOWN' }) });
    host.willAppear('up', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_UP' }) });
    const latencies = [];
    for (let i = 0; i < 20; i++) {
      const context = i % 2 ? 'up' : 'down';
      const mark = recorder.mark();
      const sentAt = host.keyDown(context);
      host.keyUp(context);
      const [event] = await recorder.waitForEvents(mark, (seen) => seen.length >= 1, { filter: (e) => e.kind === 'button' });
      assert.equal(inputText(event), i % 2 ? 'left up' : 'left down');
      latencies.push(event.hostTime - host.origin - sentAt - 200);
    }
    const sorted = [...latencies].sort((a, b) => a - b);
    report(t, `${build.name}: keyDown -> first input event, less 200 ms: median ${median(latencies).toFixed(2)} ms, min ${sorted[0].toFixed(2)}, max ${sorted.at(-1).toFixed(2)} (n=${latencies.length})`);
  });
});
