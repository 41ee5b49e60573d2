// Input that stays within its bounds, seen from outside: a part of a wheel
// notch that ends with the command that made it, positions and steps kept on
// the screen, a plugin that ends within a second of the host or a signal
// while the X server is frozen, one whose X server ends, and a log that says
// why the connection ended.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { StreamDeckHost, getCursor, isButtonOrWheel, releaseButton, startXvfb, waitFor, withDeadline, SCREEN_WIDTH, SCREEN_HEIGHT } from '../lib/index.js';
import { buildUnderTest, sessionForSuite, settings, inputText, pressAndCollect, report } from './support/e2e.js';

const build = buildUnderTest();

// However frozen the display, the plugin is gone this soon after the host
// closes or a termination signal arrives.
const EXIT_MS = 1000;
// Longer than any wait here for a plugin that works.
const HANG_MS = 5000;

const SENT_MOVES_HIDDEN = build.wine && 'under Wine, moves sent with SendInput do not move the X pointer while no Wine window has the focus';

describe(`${build.name} build: a part of a wheel notch ends with its command`, { skip: build.needsRecorder }, () => {
  const suite = sessionForSuite(build);

  // Each row leaves part of a notch on a system that sends whole notches,
  // then a key scrolls three whole notches the other way.
  const CASES = [
    { name: 'a dial step of 60 turned one tick down', scrollUp: true,
      async leave(session) {
        session.host.dialAppear('dial', { settings: { dial_rotate: 'WHEEL', dial_step: '60' } });
        session.host.dialRotate('dial', 1);
        await session.barrier();
      } },
    { name: 'a held scroll of one and a half notches up, let go after its first step', scrollUp: false,
      async leave(session) {
        const { host, recorder } = session;
        host.willAppear('held', { settings: settings({ my_mouse_event: 'MOUSE_WHEEL_HOLD', my_wheel: '180', my_sleep: '5000' }) });
        const mark = recorder.mark();
        host.keyDown('held');
        await recorder.waitForEvents(mark, (events) => events.length >= 1, { filter: isButtonOrWheel, what: 'the first step' });
        host.keyUp('held');
        await session.settle();
      } },
  ];
  for (const row of CASES) {
    it(`after ${row.name}, a three-notch scroll of another key is seen as exactly three notches`, async () => {
      const { session } = suite;
      await session.restartPlugin();
      await row.leave(session);
      session.host.willAppear('scroll', { settings: settings({ my_mouse_event: 'MOUSE_WHEEL_UP', my_wheel: row.scrollUp ? '360' : '-360' }) });
      // The notches come together: the first, then a settle window for the rest.
      const { events } = await pressAndCollect(session, 'scroll', { expectedCount: 1 });
      const sign = row.scrollUp ? '+' : '-';
      const expected = build.perNotchWheel ? Array(3).fill(`wheel vertical ${sign}120`) : [`wheel vertical ${sign}360`];
      assert.deepEqual(events.map(inputText), expected);
    });
  }
});

describe(`${build.name} build: a dial's parts of a notch add up over its own turns`, { skip: build.needsRecorder }, () => {
  const suite = sessionForSuite(build);

  it('two one-tick turns of a dial step of 60, apart, scroll one notch', async () => {
    const { session } = suite;
    const { host, recorder } = session;
    host.dialAppear('dial', { settings: { dial_rotate: 'WHEEL', dial_step: '60' } });
    const mark = recorder.mark();
    for (let turn = 0; turn < 2; turn += 1) {
      host.dialRotate('dial', 1);
      await session.barrier();
    }
    await recorder.waitForEvents(mark, (events) => events.length >= 1, { filter: isButtonOrWheel, what: 'the notch' });
    await session.settle();
    // Clockwise scrolls down; a system that takes parts of a notch sees both halves.
    const expected = build.perNotchWheel ? ['wheel vertical -120'] : ['wheel vertical -60', 'wheel vertical -60'];
    assert.deepEqual(recorder.since(mark, isButtonOrWheel).map(inputText), expected);
  });
});

describe(`${build.name} build: positions are kept on the screen`, { skip: build.needsRecorder || SENT_MOVES_HIDDEN }, () => {
  const suite = sessionForSuite(build);

  const RIGHT = SCREEN_WIDTH - 1;
  const BOTTOM = SCREEN_HEIGHT - 1;
  // The pointer starts at (600, 400); X11 takes 16 bits of a position, so
  // each of these would wrap round to the other side or to a small number.
  const CASES = [
    { name: 'MOUSE_CURSOR_POS at x 65636', settings: { my_mouse_event: 'MOUSE_CURSOR_POS', my_offset_x: '65636', my_offset_y: '100' },
      to: { x: RIGHT, y: 100 } },
    { name: 'MOUSE_CLICK_AT at x 40000', settings: { my_mouse_event: 'MOUSE_CLICK_AT', my_offset_x: '40000', my_offset_y: '200', my_return: '0' },
      to: { x: RIGHT, y: 200 }, events: ['left down', 'left up'] },
    { name: 'MOUSE_CURSOR_MOVE, a step of 40000 right', held: true, settings: { my_mouse_event: 'MOUSE_CURSOR_MOVE', my_offset_x: '40000', my_sleep: '5000' },
      to: { x: RIGHT, y: 400 } },
    { name: 'MOUSE_CURSOR_MOVE, a step of 32767 down', held: true, settings: { my_mouse_event: 'MOUSE_CURSOR_MOVE', my_offset_y: '32767', my_sleep: '5000' },
      to: { x: 600, y: BOTTOM } },
  ];
  for (const row of CASES) {
    it(`${row.name} ends at (${row.to.x}, ${row.to.y}), the screen's edge`, async () => {
      const { session } = suite;
      const { host } = session;
      await session.setCursor(600, 400);
      host.willAppear(row.name, { settings: settings(row.settings) });
      if (row.held) {
        host.keyDown(row.name);
        await waitFor(async () => {
          const at = await session.cursor();
          return at.x !== 600 || at.y !== 400;
        }, { timeoutMs: HANG_MS, what: 'the first step' });
        host.keyUp(row.name);
        await session.settle();
      } else {
        const { events } = await pressAndCollect(session, row.name, { expectedCount: row.events?.length ?? 0 });
        assert.deepEqual(events.map(inputText), row.events ?? []);
      }
      assert.deepEqual(await session.cursor(), row.to);
    });
  }
});

// xinput's view of the XTest pointer's left button: true when down.
function leftButtonDown(display) {
  const text = execFileSync('xinput', ['query-state', 'Virtual core XTEST pointer'], { env: { ...process.env, DISPLAY: display }, encoding: 'utf8', timeout: HANG_MS });
  return /button\[1\]=down/.test(text);
}

describe(`${build.name} build: the X server stops answering while a drag lock holds the left button`, { skip: build.skip || (build.wine && 'the Windows build holds no X connection of its own') }, () => {
  let x;
  before(async () => {
    x = await startXvfb();
  });
  after(async () => {
    if (x) process.kill(x.pid, 'SIGCONT');
    await x?.stop();
  });

  const ENDINGS = [
    { name: 'the host closes the connection', end: (host) => host.pluginSocket.close(1000) },
    { name: 'the plugin is sent SIGTERM', end: (host) => host.plugin.child.kill('SIGTERM') },
  ];
  // With the lock alone the releases wait in the connection to the server,
  // which takes them once it answers again. A held move under way is stuck
  // in that connection itself: no release can go through it, and the
  // button is left to a process with a display connection of its own.
  const HOLDS = [
    { name: 'the lock alone', releasedOnResume: true },
    { name: 'the lock and a held move under way', heldMove: true },
  ];
  const CASES = ENDINGS.flatMap((ending) => HOLDS.map((hold) => ({ ...ending, ...hold, name: `${hold.name}, ${ending.name}` })));
  for (const row of CASES) {
    it(`${row.name}: the plugin ends within ${EXIT_MS} ms${row.releasedOnResume ? ', and once the server answers again the button is up' : ''}`, async (t) => {
      const host = new StreamDeckHost({ outDir: undefined });
      await host.listen();
      host.launch({ exe: build.plugin, env: { ...process.env, DISPLAY: x.display, WAYLAND_DISPLAY: '' } });
      let frozen = false;
      try {
        await host.waitForRegistration();
        host.willAppear('lock', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_TOGGLE' }) });
        host.keyDown('lock');
        host.keyUp('lock');
        await waitFor(() => leftButtonDown(x.display), { timeoutMs: HANG_MS, what: 'the left button down' });
        if (row.heldMove) {
          host.willAppear('move', { settings: settings({ my_mouse_event: 'MOUSE_CURSOR_MOVE', my_offset_x: '1', my_offset_y: '1' }) });
          const from = await getCursor(x.display);
          host.keyDown('move');
          await waitFor(async () => (await getCursor(x.display)).x !== from.x, { timeoutMs: HANG_MS, what: 'the held move' });
        }
        process.kill(x.pid, 'SIGSTOP');
        frozen = true;
        const endedAt = host.now();
        row.end(host);
        const exit = await withDeadline(host.plugin.exited, HANG_MS, 'the plugin to end').catch(() => undefined);
        const exitMs = exit ? host.pluginExitTime() - endedAt : undefined;
        report(t, `${build.name}: ${row.name} with the X server stopped: ${exit ? `ended after ${exitMs.toFixed(1)} ms (${exit.code ?? exit.signal})` : `still running after ${HANG_MS} ms`}`);
        assert.ok(exit && exitMs <= EXIT_MS, `expected an exit within ${EXIT_MS} ms of the end`);
      } finally {
        if (frozen) process.kill(x.pid, 'SIGCONT');
        await host.stop();
      }
      if (!row.releasedOnResume) return releaseButton(x.display, 'left');
      return waitFor(() => !leftButtonDown(x.display), { timeoutMs: HANG_MS, what: 'the left button up once the server answers' })
        .finally(() => releaseButton(x.display, 'left').catch(() => {}));
    });
  }
});

describe(`${build.name} build: the X server ends under a running plugin`, { skip: build.skip || (build.wine && 'the Windows build holds no X connection of its own') }, () => {
  it('the plugin ends with 1, and the log says the display is gone', async () => {
    const x = await startXvfb();
    const host = new StreamDeckHost({ outDir: undefined });
    try {
      await host.listen();
      host.launch({ exe: build.plugin, env: { ...process.env, DISPLAY: x.display, WAYLAND_DISPLAY: '' } });
      await host.waitForRegistration();
      host.willAppear('place', { settings: settings({ my_mouse_event: 'MOUSE_CURSOR_POS', my_offset_x: '40', my_offset_y: '30' }) });
      host.keyDown('place');
      host.keyUp('place');
      await waitFor(async () => (await getCursor(x.display)).x === 40, { timeoutMs: HANG_MS, what: 'the cursor placed' });
      await x.stop();
      // The next placement finds the connection broken.
      host.keyDown('place');
      host.keyUp('place');
      const exit = await host.plugin.waitForExit(HANG_MS);
      assert.equal(exit.code, 1);
      assert.match(host.plugin.stdout, new RegExp(`The X display ${x.display} is gone`));
    } finally {
      await host.stop();
      await x.stop();
    }
  });
});

describe(`${build.name} build: the log says why the connection ended`, { skip: build.skip }, () => {
  const suite = sessionForSuite(build);

  const CASES = [
    { name: 'a message of more than 1 MiB', line: /Ended the connection to the host: it sent a message of more than 1048576 bytes/,
      end: (host) => {
        host.send(JSON.stringify({ event: 'sendToPlugin', context: 'x', payload: { 'background-image': 'a'.repeat(1024 * 1024) } }));
        return host.plugin.waitForExit(HANG_MS);
      } },
    { name: 'the host closing', line: /The host closed the connection \(code 1000\)/,
      end: (host) => host.closeConnection({ timeoutMs: HANG_MS }) },
  ];
  for (const row of CASES) {
    it(`${row.name}: the plugin ends with 0 and a line that says so`, async () => {
      const { session } = suite;
      await session.restartPlugin();
      const { host } = session;
      const exit = await row.end(host);
      assert.equal(exit.code, 0);
      assert.match(host.plugin.stdout, row.line);
    });
  }
});
