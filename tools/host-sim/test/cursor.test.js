// A held MOUSE_CURSOR_MOVE key: the cursor steps by the offset while the key
// is held, and stops when the key is released or taken away.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { waitFor, delay } from '../lib/index.js';
import { buildUnderTest, startSession, settings, report } from './support/e2e.js';

const build = buildUnderTest();
const MOVE = settings({ my_mouse_event: 'MOUSE_CURSOR_MOVE', my_offset_x: '3', my_offset_y: '0', my_sleep: '9' });

// Reads the cursor over and over for `ms`, each sample with its host time.
async function sampleCursor(session, ms) {
  const samples = [];
  const end = performance.now() + ms;
  while (performance.now() < end) {
    const at = await session.cursor();
    samples.push({ ...at, time: performance.now() });
  }
  return samples;
}

// Waits for the held move to stop after its key was let go or taken away:
// the cursor keeps still for a few steps' time, and soon.
async function waitForStop(session, { quietMs = 100, timeoutMs = 1000 } = {}) {
  let last = await session.cursor();
  let since = performance.now();
  await waitFor(async () => {
    const at = await session.cursor();
    if (at.x !== last.x || at.y !== last.y) {
      last = at;
      since = performance.now();
    }
    return performance.now() - since >= quietMs;
  }, { timeoutMs, what: 'the cursor to stop' });
}

// Shows that the cursor no longer moves: it stays put over a settle window.
async function assertStill(session, windowMs = 300) {
  const first = await session.cursor();
  await delay(windowMs);
  assert.deepEqual(await session.cursor(), first, 'the cursor still moves');
  return first;
}

describe(`${build.name} build: a held cursor move`, { skip: build.skip }, () => {
  let session;
  before(async () => {
    session = await startSession(build);
  });
  after(async () => {
    await session?.stop();
  });

  it('steps by the offset while held and stops after the keyUp', async (t) => {
    const { host, recorder } = session;
    host.willAppear('move', { settings: MOVE });
    await session.barrier();
    await session.setCursor(100, 300);
    const mark = recorder?.mark();
    host.keyDown('move');
    const samples = await sampleCursor(session, 1000);
    host.keyUp('move');
    await waitForStop(session);
    const stoppedAt = await assertStill(session);

    for (const sample of samples) {
      assert.equal(sample.y, 300, `y moved: ${JSON.stringify(sample)}`);
      assert.equal((sample.x - 100) % 3, 0, `x off the 3-pixel grid: ${JSON.stringify(sample)}`);
    }
    for (let i = 1; i < samples.length; i++) assert.ok(samples[i].x >= samples[i - 1].x, 'x went back');
    const steps = (stoppedAt.x - 100) / 3;
    // One step per my_sleep + 1 ms at best; a held second gives dozens.
    assert.ok(steps >= 20, `only ${steps} steps in a second's hold`);

    const moving = samples.filter((s) => s.x > 100);
    const first = moving[0];
    const last = moving.at(-1);
    const perSecond = ((last.x - first.x) / 3) / ((last.time - first.time) / 1000);
    const moves = recorder?.since(mark, (e) => e.kind === 'move' && e.y === 300 && e.x > 100) ?? [];
    let recorded = '';
    if (moves.length > 10) {
      const span = (moves.at(-1).time - moves[0].time) / 1000;
      recorded = `; recorder: ${moves.length} move events, ${((moves.at(-1).x - moves[0].x) / 3 / span).toFixed(1)} steps/s`;
    }
    report(t, `${build.name}: cursor move offset 3 sleep 9: ${perSecond.toFixed(1)} steps/s from ${samples.length} xdotool samples (${steps} steps in all, stopped at x=${stoppedAt.x})${recorded}`);
  });

  it('stops when the held key disappears, without a keyUp', async () => {
    const { host } = session;
    host.willAppear('move-away', { settings: MOVE });
    await session.barrier();
    await session.setCursor(100, 400);
    host.keyDown('move-away');
    await waitFor(async () => (await session.cursor()).x >= 130, { timeoutMs: 3000, what: 'the cursor to move' });
    host.willDisappear('move-away');
    await waitForStop(session);
    const stoppedAt = await assertStill(session);
    assert.ok(stoppedAt.x >= 130 && stoppedAt.y === 400, JSON.stringify(stoppedAt));
  });
});
