// The settings page's view of the pointer, from the plugin's side of the
// host: the monitors and the live position while a key's page is open, the
// countdown that picks a position, and no activity once the page is closed.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { delay } from '../lib/index.js';
import { run } from '../lib/process.js';
import { buildUnderTest, startSession, startTwoMonitorSession, twoMonitorsSkip, settings, report, contextSwitches } from './support/e2e.js';

const build = buildUnderTest();
const COUNTDOWN = ['3', '2', '1'];

async function wakeUpsPerSecond(pid, ms = 1000) {
  const before = contextSwitches(pid);
  await delay(ms);
  return ((contextSwitches(pid) - before) * 1000) / ms;
}

const titlesOf = (messages) => messages.map((entry) => entry.json.payload.title ?? null);
const isPicked = (message) => message.payload?.picked !== undefined;

describe(`${build.name} build: the settings page's pointer and picker`, { skip: build.skip }, () => {
  let session;
  let keys = 0;
  before(async () => {
    session = await startSession(build);
  });
  after(async () => {
    await session?.stop();
  });

  function key(members) {
    const context = `picker-${keys++}`;
    session.host.willAppear(context, { settings: settings({ my_mouse_event: 'MOUSE_CURSOR_POS', ...members }) });
    return context;
  }

  it('an open page gets the monitors and the pointer as it moves, about ten times a second, and nothing once closed', async (t) => {
    const { host } = session;
    const context = key({});
    await session.setCursor(100, 200);
    const opened = host.propertyInspectorDidAppear(context);
    const [monitors, first] = await host.waitForMessages('sendToPropertyInspector', { context, count: 2, after: opened });
    assert.deepEqual(monitors.json.payload, { monitors: [{ number: 1, x: 0, y: 0, width: 1365, height: 767, primary: true }] });
    assert.deepEqual(first.json.payload, { pointer: { x: 100, y: 200, monitor: 1 } });

    // The pointer keeps moving: one readout per period, each where it was then.
    const moving = host.now();
    for (let i = 1; i <= 20; ++i) {
      await session.setCursor(100 + 10 * i, 200);
      await delay(25);
    }
    const readouts = await host.waitForMessages('sendToPropertyInspector', { context, count: 3, after: moving });
    const span = readouts.at(-1).time - readouts[0].time;
    const rate = ((readouts.length - 1) * 1000) / span;
    report(t, `live readout while the pointer moves: ${readouts.length} messages in ${Math.round(span)} ms, ${rate.toFixed(1)} per second`);
    assert.ok(rate > 4 && rate < 13, `about ten readouts a second, got ${rate.toFixed(1)}`);
    for (const { json } of readouts) {
      assert.equal(json.payload.pointer.y, 200);
      assert.equal(json.payload.pointer.monitor, 1);
    }
    await delay(150);
    const last = host.fromPlugin.filter((entry) => entry.json?.event === 'sendToPropertyInspector').at(-1);
    assert.deepEqual(last.json.payload.pointer, { x: 300, y: 200, monitor: 1 }, 'the last readout is where the pointer stopped');

    report(t, `wake-ups with the page open and the pointer at rest: ${await wakeUpsPerSecond(host.plugin.pid)} per second`);
    const closed = host.propertyInspectorDidDisappear(context);
    await delay(200);
    for (let i = 0; i < 5; ++i) await session.setCursor(400 + i, 300);
    await delay(400);
    assert.deepEqual(host.fromPlugin.filter((entry) => entry.time > closed + 150 && entry.json?.event === 'sendToPropertyInspector'), []);
    const idle = await wakeUpsPerSecond(host.plugin.pid);
    report(t, `wake-ups with no page open: ${idle} per second`);
    assert.ok(idle <= 5, `the plugin keeps waking up with no page open: ${idle} per second`);
  });

  it('"Pick on screen" counts down 3, 2, 1 in the title, then sends where the pointer was moved', async (t) => {
    const { host } = session;
    const context = key({});
    host.propertyInspectorDidAppear(context);
    await session.setCursor(10, 10);
    const asked = host.sendToPlugin(context, { pick: 'position' });
    const [three] = await host.waitForMessages('setTitle', { context, after: asked });
    await run('xdotool', ['mousemove', '--sync', '700', '345'], { env: { ...process.env, DISPLAY: session.display } });
    const titles = await host.waitForMessages('setTitle', { context, count: 4, after: asked, timeoutMs: 6000 });
    const [picked] = await host.waitForMessages('sendToPropertyInspector', { context, where: isPicked, after: asked, timeoutMs: 2000 });
    assert.deepEqual(titlesOf(titles), [...COUNTDOWN, null]);
    assert.equal(titles[3].json.payload.target, 0);
    assert.deepEqual(picked.json.payload, { picked: { x: 700, y: 345, monitor: 1 } });
    const steps = titles.slice(1).map((entry, i) => entry.time - titles[i].time);
    report(t, `countdown steps: ${steps.map(Math.round).join(', ')} ms; first title ${Math.round(three.time - asked)} ms after the request`);
    for (const step of steps) assert.ok(step > 900 && step < 1500, `a step of the countdown took ${step} ms`);
    host.propertyInspectorDidDisappear(context);
  });

  it('a cancelled countdown gives the key its title back and picks nothing', async () => {
    const { host } = session;
    const context = key({});
    const asked = host.sendToPlugin(context, { pick: 'position' });
    await host.waitForMessages('setTitle', { context, after: asked });
    const cancelled = host.sendToPlugin(context, { pick: 'cancel' });
    const [restored] = await host.waitForMessages('setTitle', { context, after: cancelled });
    assert.deepEqual(restored.json.payload, { target: 0 });
    await delay(3500);
    const later = host.fromPlugin.filter((entry) => entry.time > restored.time && entry.json?.context === context);
    assert.deepEqual(later.map((entry) => entry.json), []);
  });
});

describe(`${build.name} build: the page's monitor list and picks relative to a monitor, two monitors on one screen`, {
  skip: build.skip || twoMonitorsSkip(build),
}, () => {
  let session;
  let stop;
  before(async () => {
    ({ session, stop } = await startTwoMonitorSession(build));
  });
  after(async () => {
    await stop?.();
  });

  it('lists the monitors as "my_monitor" numbers them and picks relative to the chosen one', async () => {
    const { host } = session;
    const rows = [
      { monitor: '', picked: { x: 100, y: 50, monitor: 2 } },
      { monitor: '2', picked: { x: 100, y: 50, monitor: 2 } },
      { monitor: '1', picked: { x: -582, y: 50, monitor: 2 } },
      { monitor: 'cursor', picked: { x: 100, y: 50, monitor: 2 } },
    ];
    for (const [index, row] of rows.entries()) {
      const context = `monitors-${index}`;
      host.willAppear(context, { settings: settings({ my_mouse_event: 'MOUSE_CLICK_AT', my_monitor: row.monitor }) });
      await session.setCursor(100, 50);
      const opened = host.propertyInspectorDidAppear(context);
      const [list] = await host.waitForMessages('sendToPropertyInspector', { context, after: opened });
      assert.deepEqual(list.json.payload, { monitors: [
        { number: 1, x: 682, y: 0, width: 683, height: 767, primary: true },
        { number: 2, x: 0, y: 0, width: 682, height: 767, primary: false },
      ] });
      const asked = host.sendToPlugin(context, { pick: 'position' });
      const [picked] = await host.waitForMessages('sendToPropertyInspector', { context, where: isPicked, after: asked, timeoutMs: 6000 });
      assert.deepEqual(picked.json.payload.picked, row.picked, `my_monitor ${JSON.stringify(row.monitor)}`);
      host.propertyInspectorDidDisappear(context);
    }
  });
});
