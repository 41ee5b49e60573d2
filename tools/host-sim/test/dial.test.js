// The dial action observed from outside the plugin: wheel notches per tick,
// sideways scrolling, pointer moves of step times ticks, a drag with the
// push held, and the touch strip's messages in the user's language (German
// here, from the bundle's own language file).
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { isButtonOrWheel, releaseButton, median } from '../lib/index.js';
import { buildUnderTest, startSession, inputText, wheelAsSeen, makeBundle, report } from './support/e2e.js';

const build = buildUnderTest();
const LANG_DIR = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../../bundle/lang');
const german = JSON.parse(fs.readFileSync(path.join(LANG_DIR, 'de.json'), 'utf8')).Localization;

describe(`${build.name} build: the dial action`, { skip: build.needsRecorder }, () => {
  let session;
  let layout;
  let dials = 0;
  before(async () => {
    layout = makeBundle(build, {});
    fs.copyFileSync(path.join(LANG_DIR, 'de.json'), path.join(layout.bundle, 'de.json'));
    session = await startSession({ ...build, plugin: layout.exe }, { cwd: layout.bundle, language: 'de' });
  });
  after(async () => {
    if (session) await releaseButton(session.display, 'left').catch(() => {});
    await session?.stop();
    if (layout) fs.rmSync(layout.root, { recursive: true, force: true });
  });

  // A dial of its own for each scenario; returns once its strip is drawn,
  // so that the plugin knows it.
  async function dial(settings) {
    const context = `dial-${dials++}`;
    const after = session.host.now();
    session.host.dialAppear(context, { settings, coordinates: { column: dials % 4, row: 0 } });
    await session.host.waitForFeedback({ context, after });
    return context;
  }

  // Turns the dial and collects the button and wheel events that follow.
  async function turn(context, ticks, expectedCount) {
    const { host, recorder } = session;
    await session.settle();
    const mark = recorder.mark();
    host.dialRotate(context, ticks);
    await recorder.waitForEvents(mark, (events) => events.length >= expectedCount, { filter: isButtonOrWheel, what: `${expectedCount} wheel events` });
    await recorder.settle(200);
    return recorder.since(mark, isButtonOrWheel).map(inputText);
  }

  const wheelCases = [
    { rotate: 'WHEEL', step: '120', ticks: 2, axis: 'vertical', amount: -240, why: 'clockwise scrolls down, a notch per tick' },
    { rotate: 'WHEEL', step: '120', ticks: -3, axis: 'vertical', amount: 360, why: 'anticlockwise scrolls up' },
    { rotate: 'HWHEEL', step: '120', ticks: 2, axis: 'horizontal', amount: 240, why: 'clockwise scrolls right' },
    { rotate: 'HWHEEL', step: '-240', ticks: 1, axis: 'horizontal', amount: -240, why: 'a negative step reverses: left' },
  ];
  for (const c of wheelCases) {
    it(`${c.rotate} with step ${c.step}, ${c.ticks} ticks: ${c.why}`, async () => {
      const context = await dial({ dial_rotate: c.rotate, dial_step: c.step });
      const expected = wheelAsSeen(build, c.axis, c.amount);
      assert.deepEqual(await turn(context, c.ticks, expected.length), expected);
    });
  }

  it('MOVE_X and MOVE_Y move the pointer by step times ticks from where it is', async () => {
    const context = await dial({ dial_rotate: 'MOVE_X', dial_step: '7' });
    await session.setCursor(300, 300);
    session.host.dialRotate(context, 3);
    await session.barrier();
    assert.deepEqual(await session.cursor(), { x: 321, y: 300 });
    session.host.dialRotate(context, -1);
    await session.barrier();
    assert.deepEqual(await session.cursor(), { x: 314, y: 300 });
    const vertical = await dial({ dial_rotate: 'MOVE_Y' });
    session.host.dialRotate(vertical, 4);
    await session.barrier();
    assert.deepEqual(await session.cursor(), { x: 314, y: 340 }, 'the default 10 px per tick, downwards');
  });

  // Under Wine the plugin's idea of the pointer follows its own placements,
  // not those made from outside (xdotool), so the drag is measured from where
  // a turn there and back leaves the pointer.
  it('LEFT_HOLD: a push holds the left button, a turn drags, the release lets go', async () => {
    const context = await dial({ dial_rotate: 'MOVE_X', dial_step: '10', dial_press: 'LEFT_HOLD' });
    const { host, recorder } = session;
    host.dialRotate(context, 1);
    host.dialRotate(context, -1);
    await session.barrier();
    const start = await session.cursor();
    await session.settle();
    const mark = recorder.mark();
    host.dialDown(context);
    host.dialRotate(context, 5, { pressed: true });
    await session.barrier();
    const during = await session.cursor();
    host.dialUp(context);
    await recorder.waitForEvents(mark, (events) => events.length >= 2, { filter: isButtonOrWheel, what: 'the press and release' });
    await recorder.settle(200);
    assert.deepEqual(recorder.since(mark, isButtonOrWheel).map(inputText), ['left down', 'left up']);
    assert.deepEqual(during, { x: start.x + 50, y: start.y }, 'moved while the button was down');
  });

  it('a dial taken away while pushed lets go of the button', async () => {
    const context = await dial({ dial_press: 'LEFT_HOLD' });
    const { host, recorder } = session;
    await session.settle();
    const mark = recorder.mark();
    host.dialDown(context);
    host.willDisappear(context);
    await recorder.waitForEvents(mark, (events) => events.length >= 2, { filter: isButtonOrWheel, what: 'the press and release' });
    assert.deepEqual(recorder.since(mark, isButtonOrWheel).map(inputText), ['left down', 'left up']);
  });

  it('the strip tells the axis, step and acceleration in German, and follows a swap and a settings change', async () => {
    const context = await dial({ dial_rotate: 'WHEEL', dial_step: '120', dial_accel: '30', dial_touch: 'SWAP' });
    const { host } = session;
    const strip = () => host.feedback.filter((f) => f.context === context && f.event === 'setFeedback').at(-1).payload;
    assert.deepEqual(strip(), { title: german.Scroll, value: german['{0} notch'].replace('{0}', '1'), indicator: { value: 30 } });
    const triggers = host.feedback.filter((f) => f.context === context && f.event === 'setTriggerDescription').at(-1).payload;
    assert.deepEqual(triggers, { rotate: german.Scroll, push: german['Hold the left button'], touch: german['Swap axis'], longTouch: german['Reset acceleration'] });

    let after = host.now();
    host.touchTap(context);
    await host.waitForFeedback({ context, after });
    assert.equal(strip().title, german['Scroll sideways']);
    const expected = wheelAsSeen(build, 'horizontal', 120);
    assert.deepEqual(await turn(context, 1, expected.length), expected, 'the swapped dial scrolls sideways');

    after = host.now();
    host.sendToPlugin(context, { dial_rotate: 'MOVE_Y', dial_step: '25', dial_accel: '0', dial_press: 'NONE', dial_touch: 'NONE' });
    await host.waitForFeedback({ context, after });
    assert.deepEqual(strip(), { title: german['Move up/down'], value: german['{0} px'].replace('{0}', '25'), indicator: { value: 0 } });

    after = host.now();
    host.touchTap(context, { hold: true });
    await host.waitForFeedback({ context, after });
  });

  it('a burst of hostile turns ends at once and stays bounded', async (t) => {
    const context = await dial({ dial_rotate: 'WHEEL', dial_step: '1200', dial_accel: '100' });
    const { host } = session;
    await session.settle();
    const sent = performance.now();
    for (let i = 0; i < 20; i += 1) host.dialRotate(context, 1e9);
    await session.barrier();
    const handled = performance.now() - sent;
    report(t, `${build.name}: 20 turns of 1e9 ticks handled in ${handled.toFixed(0)} ms`);
    assert.ok(handled < 5000, `${handled} ms`);
  });

  it('measures dialRotate to the wheel event the input stack sees (median of 40)', async (t) => {
    const context = await dial({ dial_rotate: 'WHEEL', dial_step: '120' });
    const { host, recorder } = session;
    await session.settle();
    const latencies = [];
    for (let i = 0; i < 40; i += 1) {
      const mark = recorder.mark();
      const ticks = i % 2 ? 1 : -1; // back and forth: nothing scrolls away
      const sentAt = host.dialRotate(context, ticks);
      const [event] = await recorder.waitForEvents(mark, (seen) => seen.length >= 1, { filter: isButtonOrWheel, what: 'the notch' });
      assert.equal(inputText(event), `wheel vertical ${ticks > 0 ? '-' : '+'}120`);
      latencies.push(event.hostTime - host.origin - sentAt);
    }
    const sorted = [...latencies].sort((a, b) => a - b);
    report(t, `${build.name}: dialRotate -> wheel event: median ${median(latencies).toFixed(2)} ms, min ${sorted[0].toFixed(2)}, max ${sorted.at(-1).toFixed(2)} (n=${latencies.length})`);
  });
});
