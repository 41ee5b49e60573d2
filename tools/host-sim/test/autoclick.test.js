// Autoclick and the jiggler, observed from outside the plugin: the clicks of
// a held autoclick key (count and spacing against my_sleep), an autoclick
// toggle started and stopped by its key and stopped by its key's
// disappearance, and the jiggler's one-pixel moves, which go on while its key
// is away and leave the pointer where it was.
import { describe, it, before } from 'node:test';
import assert from 'node:assert/strict';
import { solidPng, delay, isButtonOrWheel, isButtonWheelOrKey, releaseButton, COMMAND_QUIET_MS } from '../lib/index.js';
import { buildUnderTest, bundleSuite, settings, inputText, heldButtons, report, contextSwitches } from './support/e2e.js';

const build = buildUnderTest();

const ICONS = {
  'autoclick_toggle_1red.png': solidPng(144, 144, [200, 20, 20]),
  'autoclick_toggle_held_1red.png': solidPng(144, 144, [20, 20, 20]),
  'jiggle_1red.png': solidPng(144, 144, [20, 200, 20]),
  'jiggle_held_1red.png': solidPng(144, 144, [20, 20, 200]),
};
const icon = (name) => ({ my_icon_name: name, my_icon_color_id: '1', my_icon_color: 'red' });

const SLEEP_MS = 50;
const HOLD_MS = 1000;
// How late a click may still come after its end: the click in progress, and
// the recorder's pipe.
const STOP_MARGIN_MS = 80;
const JIGGLE_SECONDS = 5;

const isMove = (event) => event.kind === 'move';
const downs = (events) => events.filter((event) => event.kind === 'button' && event.down);

// The mean, shortest and longest time between the presses of `events`.
function spacing(events) {
  const times = downs(events).map((event) => event.time);
  const gaps = times.slice(1).map((time, i) => time - times[i]);
  const mean = (times.at(-1) - times[0]) / gaps.length;
  return { mean, min: Math.min(...gaps), max: Math.max(...gaps), count: times.length };
}

const describeSpacing = ({ count, mean, min, max }) =>
  `${count} clicks, every ${mean.toFixed(1)} ms on average (${min.toFixed(1)}..${max.toFixed(1)})`;

describe(`${build.name} build: autoclick and the jiggler`, { skip: build.needsRecorder }, () => {
  const suite = bundleSuite(build, ICONS, 'auto');
  const { key } = suite;
  let session;
  before(() => {
    session = suite.session;
  });

  const imagesOf = (context) => session.host.images.filter((image) => image.context === context);
  async function expectImage(context, count, name, why) {
    await session.host.waitForImage({ context, count });
    assert.ok(imagesOf(context)[count - 1].bytes.equals(ICONS[name]), why);
  }

  // Collects the clicks from `mark` until `end()`, which returns when it
  // ended them (performance.now()), and then until the input is quiet.
  async function clicksUntil(mark, end) {
    const { recorder } = session;
    const endAt = end() - recorder.clockOffset;
    await recorder.waitForQuiet(COMMAND_QUIET_MS);
    const events = recorder.since(mark, isButtonOrWheel);
    for (const event of events) {
      assert.ok(event.time <= endAt + STOP_MARGIN_MS, `a click ${(event.time - endAt).toFixed(1)} ms after the end`);
    }
    assert.deepEqual(heldButtons(events), [], 'a button was left down');
    return events;
  }

  it(`MOUSE_AUTOCLICK_HOLD clicks my_button every my_sleep (${SLEEP_MS} ms) while held, at once, and stops at keyUp`, async (t) => {
    const context = key({ my_mouse_event: 'MOUSE_AUTOCLICK_HOLD', my_sleep: String(SLEEP_MS), my_button: 'RIGHT' });
    await session.settle();
    const { host, recorder } = session;
    const mark = recorder.mark();
    const downAt = performance.now();
    host.keyDown(context);
    // Held for about a second: until 20 clicks have come, however late the
    // first (a loaded machine, Wine's first input).
    await recorder.waitForEvents(mark, (events) => downs(events).length >= HOLD_MS / SLEEP_MS, { filter: isButtonOrWheel, timeoutMs: 10 * HOLD_MS, what: `${HOLD_MS / SLEEP_MS} clicks while held` });
    let upAt;
    const events = await clicksUntil(mark, () => {
      host.keyUp(context);
      upAt = performance.now();
      return upAt;
    });
    for (let i = 0; i < events.length; i += 2) assert.deepEqual(events.slice(i, i + 2).map(inputText), ['right down', 'right up']);
    const figures = spacing(events);
    report(t, `${build.name}: autoclick hold, my_sleep ${SLEEP_MS}, held ${(upAt - downAt).toFixed(0)} ms: ${describeSpacing(figures)}; first click ${(recorder.hostTimeOf(events[0]) - downAt).toFixed(1)} ms after keyDown`);
    // The click under way at keyUp may still come.
    assert.ok(figures.count <= HOLD_MS / SLEEP_MS + 1, describeSpacing(figures));
    assert.ok(figures.mean >= SLEEP_MS - 2 && figures.mean <= SLEEP_MS * 2, describeSpacing(figures));
  });

  it('MOUSE_AUTOCLICK_TOGGLE clicks from its first press to its next with the held image, and stops when its key disappears', async (t) => {
    const context = key({ my_mouse_event: 'MOUSE_AUTOCLICK_TOGGLE', my_sleep: String(SLEEP_MS), ...icon('autoclick_toggle') });
    await expectImage(context, 1, 'autoclick_toggle_1red.png', 'the own icon at appearance');
    await session.settle();
    const { host, recorder } = session;
    let ended = false;
    try {
      let mark = recorder.mark();
      host.keyDown(context);
      host.keyUp(context);
      await recorder.waitForEvents(mark, (events) => downs(events).length >= 20, { filter: isButtonOrWheel, what: '20 clicks after keyUp' });
      await expectImage(context, 2, 'autoclick_toggle_held_1red.png', 'no held image while it clicks');
      let events = await clicksUntil(mark, () => {
        host.keyDown(context);
        return performance.now();
      });
      host.keyUp(context);
      ended = true;
      assert.deepEqual([...new Set(events.map(inputText))].sort(), ['left down', 'left up'], 'an empty my_button clicks the left button');
      const figures = spacing(events);
      report(t, `${build.name}: autoclick toggle, my_sleep ${SLEEP_MS}: ${describeSpacing(figures)}`);
      assert.ok(figures.mean >= SLEEP_MS - 2 && figures.mean <= SLEEP_MS * 2, describeSpacing(figures));
      await expectImage(context, 3, 'autoclick_toggle_1red.png', 'the own icon did not come back');

      ended = false;
      mark = recorder.mark();
      host.keyDown(context);
      host.keyUp(context);
      await recorder.waitForEvents(mark, (seen) => downs(seen).length >= 3, { filter: isButtonOrWheel, what: 'clicks again' });
      events = await clicksUntil(mark, () => {
        host.willDisappear(context);
        return performance.now();
      });
      ended = true;
      assert.ok(downs(events).length >= 3);
    } finally {
      if (!ended) {
        host.willDisappear(context);
        await releaseButton(session.display, 'left').catch(() => {});
      }
    }
  });

  // Around each click rather than for the whole run: between two clicks the
  // keyboard is the user's.
  const MODIFIED = [
    { command: 'MOUSE_AUTOCLICK_HOLD', modifiers: 'CTRL', around: ['ctrl down', 'right down', 'right up', 'ctrl up'] },
    { command: 'MOUSE_AUTOCLICK_TOGGLE', modifiers: 'SHIFT+CTRL',
      around: ['ctrl down', 'shift down', 'right down', 'right up', 'shift up', 'ctrl up'] },
  ];
  for (const row of MODIFIED) {
    it(`${row.command} with my_modifiers ${row.modifiers}: the keys go down and up around each click`, async (t) => {
      const context = key({ my_mouse_event: row.command, my_sleep: '100', my_button: 'RIGHT', my_modifiers: row.modifiers });
      await session.settle();
      const { host, recorder } = session;
      const mark = recorder.mark();
      host.keyDown(context);
      await recorder.waitForEvents(mark, (events) => downs(events).length >= 3, { filter: isButtonOrWheel, what: '3 clicks' });
      // The hold ends at keyUp, the toggle at its next press.
      if (row.command === 'MOUSE_AUTOCLICK_TOGGLE') {
        host.keyUp(context);
        host.keyDown(context);
      }
      host.keyUp(context);
      await recorder.waitForQuiet(COMMAND_QUIET_MS);
      const seen = recorder.since(mark, isButtonWheelOrKey).map(inputText);
      report(t, `${build.name}: ${row.command} with ${row.modifiers}: ${seen.length / row.around.length} clicks, each as ${row.around.join(', ')}`);
      assert.ok(seen.length >= 3 * row.around.length, seen.join(', '));
      for (let i = 0; i < seen.length; i += row.around.length) {
        assert.deepEqual(seen.slice(i, i + row.around.length), row.around, `click ${i / row.around.length}: ${seen.join(', ')}`);
      }
    });
  }

  it(`MOUSE_JIGGLE_TOGGLE moves one pixel and back at once and every my_sleep (${JIGGLE_SECONDS} s), also while its key is away; the pointer stays`, async (t) => {
    const context = key({ my_mouse_event: 'MOUSE_JIGGLE_TOGGLE', my_sleep: String(JIGGLE_SECONDS), ...icon('jiggle') });
    await expectImage(context, 1, 'jiggle_1red.png', 'the own icon at appearance');
    await session.setCursor(300, 300);
    await session.settle();
    const { host, recorder } = session;
    const mark = recorder.mark();
    const downAt = performance.now();
    host.keyDown(context);
    host.keyUp(context);
    try {
      const first = await recorder.waitForEvents(mark, (events) => events.length >= 1, { filter: isMove, what: 'the first jiggle' });
      await expectImage(context, 2, 'jiggle_held_1red.png', 'no held image while on');
      host.willDisappear(context);
      const secondMark = recorder.mark();
      // The first jiggle's moves may still be arriving: the second is the
      // first move a period later.
      const later = await recorder.waitForEvents(mark, (events) => events.some((event) => event.time - first[0].time > 1000),
        { filter: isMove, timeoutMs: (JIGGLE_SECONDS + 5) * 1000, what: 'the jiggle a period later' });
      const second = later.find((event) => event.time - first[0].time > 1000);
      const period = second.time - first[0].time;
      report(t, `${build.name}: jiggle ${(recorder.hostTimeOf(first[0]) - downAt).toFixed(1)} ms after keyDown, the next ${period.toFixed(0)} ms later, its key away; moves seen: ${recorder.since(mark, isMove).length}`);
      assert.ok(recorder.hostTimeOf(first[0]) - downAt < 1000, 'the first jiggle waited');
      assert.ok(period >= JIGGLE_SECONDS * 1000 - 50 && period <= JIGGLE_SECONDS * 1000 + 1500, `period ${period} ms`);
      assert.ok(recorder.since(secondMark, isButtonOrWheel).length === 0, 'a jiggle clicked or scrolled');
      // Back on the page: the held image again.
      const shown = imagesOf(context).length;
      host.willAppear(context, { settings: settings({ my_mouse_event: 'MOUSE_JIGGLE_TOGGLE', my_sleep: String(JIGGLE_SECONDS), ...icon('jiggle') }) });
      await expectImage(context, shown + 1, 'jiggle_held_1red.png', 'the reappearing key does not show held');
      await recorder.waitForQuiet(300, { filter: isMove });
      assert.deepEqual(await session.cursor(), { x: 300, y: 300 }, 'the pointer did not come back');
    } finally {
      const count = imagesOf(context).length;
      host.keyDown(context);
      host.keyUp(context);
      await expectImage(context, count + 1, 'jiggle_1red.png', 'the own icon after the jiggler stopped');
    }
  });

  it('a second jiggle key\'s press stops the first, whose key shows its own icon again, and starts its own', async () => {
    const jiggle = { my_mouse_event: 'MOUSE_JIGGLE_TOGGLE', my_sleep: '60', ...icon('jiggle') };
    const first = key(jiggle);
    const second = key(jiggle);
    await expectImage(first, 1, 'jiggle_1red.png', 'the own icon at appearance');
    await expectImage(second, 1, 'jiggle_1red.png', 'the own icon at appearance');
    await session.settle();
    const { host, recorder } = session;
    const mark = recorder.mark();
    try {
      host.keyDown(first);
      host.keyUp(first);
      await expectImage(first, 2, 'jiggle_held_1red.png', 'the first does not show held');
      host.keyDown(second);
      host.keyUp(second);
      await expectImage(second, 2, 'jiggle_held_1red.png', 'the second does not show held');
      await expectImage(first, 3, 'jiggle_1red.png', 'the first still shows held');
      // The jiggling itself, seen.
      await recorder.waitForEvents(mark, (events) => events.length >= 2, { filter: isMove, what: 'both keys\' first jiggle' });
    } finally {
      host.keyDown(second);
      host.keyUp(second);
    }
    await expectImage(second, 3, 'jiggle_1red.png', 'the second still shows held after its second press');
    assert.equal(imagesOf(first).length, 3, 'the first key\'s image changed again');
  });

  it('the jiggler sleeps between its jiggles without waking up every few milliseconds', { skip: build.wine && 'counted on the Linux process only' }, async (t) => {
    const context = key({ my_mouse_event: 'MOUSE_JIGGLE_TOGGLE', my_sleep: '' });
    await session.settle();
    const { host, recorder } = session;
    const mark = recorder.mark();
    host.keyDown(context);
    host.keyUp(context);
    try {
      await recorder.waitForEvents(mark, (events) => events.length >= 1, { filter: isMove, what: 'the first jiggle' });
      const pid = host.plugin.pid;
      const before = contextSwitches(pid);
      const began = performance.now();
      await delay(900);
      const rate = ((contextSwitches(pid) - before) * 1000) / (performance.now() - began);
      report(t, `the jiggler between two jiggles a minute apart: ${rate.toFixed(1)} wake-ups a second`);
      assert.ok(rate < 30, `${rate.toFixed(1)} wake-ups a second while waiting`);
    } finally {
      host.keyDown(context);
      host.keyUp(context);
    }
  });

  // Last: the plugin ends with it.
  it('MOUSE_AUTOCLICK_TOGGLE stops when the host goes, with no button left down', async (t) => {
    const context = key({ my_mouse_event: 'MOUSE_AUTOCLICK_TOGGLE', my_sleep: '10', my_button: 'MIDDLE' });
    await session.settle();
    const { host, recorder } = session;
    const mark = recorder.mark();
    host.keyDown(context);
    host.keyUp(context);
    await recorder.waitForEvents(mark, (events) => downs(events).length >= 5, { filter: isButtonOrWheel, what: '5 clicks' });
    let closedAt;
    const events = await clicksUntil(mark, () => {
      closedAt = performance.now();
      host.closeConnection({ timeoutMs: 3000 }).catch(() => {});
      return closedAt;
    });
    // Wine may tell of the end late, on a loaded machine by seconds.
    await host.plugin.waitForExit(10000);
    report(t, `${build.name}: the host went after ${downs(events).length} clicks every 10 ms; the last began ${(recorder.hostTimeOf(downs(events).at(-1)) - closedAt).toFixed(1)} ms after`);
    assert.deepEqual([...new Set(events.map(inputText))].sort(), ['middle down', 'middle up']);
  });
});
