// The guardian seen from outside: the plugin killed outright (SIGKILL, as
// OpenDeck does on every reload and update) while it holds buttons and
// modifier keys down, and the input stack must see every one of them
// released soon after, by the guardian process the plugin started, even
// one that stopped reading for a while or one started after the first
// ended; a plugin that ends cleanly leaves no guardian behind.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { StreamDeckHost, isButtonOrWheel, isButtonWheelOrKey, releaseButton, releaseKey, solidPng, startSway, waitFor } from '../lib/index.js';
import { buildUnderTest, startSession, startBundleSession, settings, inputText, heldButtons, heldKeys, report } from './support/e2e.js';

const build = buildUnderTest();

// From the kill to each release, as the input stack saw it. Wine tells a
// waiting process of another's end 50 to 300 ms late on a busy machine (the
// guardian's own clock shows the wait returning that late), so the Windows
// build under Wine gets that much more; on Windows itself the wait is direct.
const RELEASE_MS = build.wine ? 600 : 200;
// From the plugin's exit to its guardian's.
const GUARDIAN_EXIT_MS = 1000;

// The processes that run as a guardian now: on Linux a fork of the plugin
// that names itself, under Wine the executable started with a switch.
const GUARDIAN_NAME = 'deckmouse-guard';
const GUARDIAN_SWITCH = '--deckmouse-guardian';

function guardianPids() {
  const pids = new Set();
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    try {
      if (fs.readFileSync(`/proc/${name}/comm`, 'utf8').trim() === GUARDIAN_NAME
        || fs.readFileSync(`/proc/${name}/cmdline`, 'utf8').includes(GUARDIAN_SWITCH)) pids.add(Number(name));
    } catch {
      // ended meanwhile
    }
  }
  return pids;
}

// Not ended: a zombie that its new parent has not reaped yet has ended.
function running(pid) {
  try {
    return fs.readFileSync(`/proc/${pid}/stat`, 'utf8').replace(/^.*\) /s, '')[0] !== 'Z';
  } catch {
    return false;
  }
}

// Starts a new plugin; `guardian()` then waits for the guardian it started.
async function restartPlugin(session) {
  const before = guardianPids();
  await session.restartPlugin();
  const current = () => [...guardianPids()].find((pid) => !before.has(pid));
  return {
    current,
    guardian: () => waitFor(current, { timeoutMs: build.wine ? 30000 : 3000, what: 'the new plugin\'s guardian process' }),
  };
}

const press = (host, context) => {
  host.keyDown(context);
  host.keyUp(context);
};

// hold: makes the plugin hold buttons and keys; holding: the buttons and
// keys it holds then (what the input stack saw pressed and not released);
// released: those the guardian must release after the kill, in the order in
// which it releases them.
const CASES = [
  {
    name: 'a drag lock of the left button',
    hold: (host) => {
      host.willAppear('lock', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_TOGGLE' }) });
      press(host, 'lock');
    },
    holding: ['left'],
    released: ['left up'],
  },
  {
    name: 'a dial with LEFT_HOLD pushed',
    hold: (host) => {
      host.dialAppear('dial', { settings: { dial_rotate: 'MOVE_X', dial_step: '10', dial_press: 'LEFT_HOLD' } });
      host.dialDown('dial');
    },
    holding: ['left'],
    released: ['left up'],
  },
  {
    name: 'drag locks of the right and the middle button',
    hold: (host) => {
      host.willAppear('right', { settings: settings({ my_mouse_event: 'MOUSE_RIGHT_TOGGLE' }) });
      host.willAppear('middle', { settings: settings({ my_mouse_event: 'MOUSE_MIDDLE_TOGGLE' }) });
      press(host, 'right');
      press(host, 'middle');
    },
    holding: ['right', 'middle'],
    released: ['middle up', 'right up'],
  },
  {
    // The left button's release would come before the right one's, in the
    // same batch: its absence shows the guardian kept out of it.
    name: 'a right drag lock, with a left lock taken and let go before',
    hold: (host) => {
      host.willAppear('left', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_TOGGLE' }) });
      host.willAppear('right', { settings: settings({ my_mouse_event: 'MOUSE_RIGHT_TOGGLE' }) });
      press(host, 'left');
      press(host, 'left');
      press(host, 'right');
    },
    holding: ['right'],
    released: ['right up'],
  },
  {
    // The keys after the button, the last pressed first, as the plugin
    // itself would let go of them.
    name: 'a Ctrl+Shift drag lock of the left button',
    hold: (host) => {
      host.willAppear('lock', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_TOGGLE', my_modifiers: 'CTRL+SHIFT' }) });
      press(host, 'lock');
    },
    holding: ['left', 'ctrl', 'shift'],
    released: ['left up', 'shift up', 'ctrl up'],
  },
];

const heldInput = (events) => [...heldButtons(events), ...heldKeys(events)].sort().join();

// Kills the plugin and asserts that the input stack saw `released` within
// RELEASE_MS of the kill and nothing more, and that `guardian` ended.
async function killAndExpect(t, session, guardian, released, name) {
  const { host, recorder } = session;
  const killed = recorder.mark();
  const killedAt = host.origin + host.now();
  host.plugin.child.kill('SIGKILL');
  const releases = await recorder.waitForEvents(killed, (events) => events.length >= released.length,
    { filter: isButtonWheelOrKey, what: released.join(', '), timeoutMs: 3000 })
    .catch((error) => assert.fail(`after the kill: ${error.message}`));
  const latencies = releases.map((event) => recorder.hostTimeOf(event) - killedAt);
  report(t, `${session.wine ? 'windows' : 'linux'}: SIGKILL with ${name}: ${releases.map((e, i) => `${inputText(e)} after ${latencies[i].toFixed(1)} ms`).join(', ')}`);
  assert.deepEqual(releases.map(inputText), released);
  for (const ms of latencies) assert.ok(ms <= RELEASE_MS, `a release came ${ms.toFixed(1)} ms after the kill`);
  assert.ok(guardian, 'no guardian process ran at the kill');
  await waitFor(() => !running(guardian), { timeoutMs: GUARDIAN_EXIT_MS, what: `guardian ${guardian} to end after its releases` });
  // A button or key released twice, or a release too many, would show here.
  assert.deepEqual((await recorder.waitForQuiet(150)).filter(isButtonWheelOrKey).map(inputText), []);
}

// Starts a plugin, makes it hold the buttons of `row`, kills it and asserts
// that the guardian let go of them all.
async function killWhileHolding(t, session, row) {
  const started = await restartPlugin(session);
  const { host, recorder } = session;
  const start = recorder.mark();
  row.hold(host);
  await recorder.waitForEvents(start, (events) => heldInput(events) === [...row.holding].sort().join(),
    { filter: isButtonWheelOrKey, what: `${row.holding.join(' and ')} held` });
  await session.barrier();
  await killAndExpect(t, session, started.current(), row.released, row.name);
}

// X keeps a button that a failed case left down; the next case would start with it.
async function releaseWhatIsHeld(session, start) {
  if (session.wine) return;
  for (const button of heldButtons(session.recorder.since(start))) await releaseButton(session.display, button);
  for (const key of heldKeys(session.recorder.since(start))) await releaseKey(session.display, key);
}

describe(`${build.name} build: the guardian`, { skip: build.needsRecorder }, () => {
  let session;
  before(async () => {
    session = await startSession(build);
  });
  after(async () => {
    await session?.stop();
  });

  for (const row of CASES) {
    it(`SIGKILL with ${row.name}: every release within ${RELEASE_MS} ms, then the guardian ends`, async (t) => {
      const start = session.recorder.mark();
      try {
        await killWhileHolding(t, session, row);
      } finally {
        await releaseWhatIsHeld(session, start);
      }
    });
  }

  // Ways of ending that let the plugin release its buttons itself.
  const CLEAN_ENDS = [
    { name: 'the host closes the connection', end: (host) => host.closeConnection({ timeoutMs: 3000 }) },
    { name: 'SIGTERM', posixOnly: true, end: (host) => { host.plugin.child.kill('SIGTERM'); return host.plugin.waitForExit(3000); } },
  ];
  // The locks held at those ends, and all the input stack sees of them: the
  // keys come up after the button, the last pressed first.
  const LOCKS = [
    { name: 'a drag lock', members: {}, seen: ['left down', 'left up'] },
    { name: 'a Ctrl+Shift drag lock', members: { my_modifiers: 'CTRL+SHIFT' }, seen: ['ctrl down', 'shift down', 'left down', 'left up', 'shift up', 'ctrl up'] },
  ];
  for (const row of CLEAN_ENDS) {
    for (const lock of LOCKS) {
      it(`${row.name} with ${lock.name} held: the plugin releases it itself and leaves no guardian behind`,
        { skip: row.posixOnly && build.wine && 'Wine: a POSIX signal does not reach a Windows program as such' }, async (t) => {
          const guardian = await (await restartPlugin(session)).guardian();
          const { host, recorder } = session;
          const start = recorder.mark();
          host.willAppear('lock', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_TOGGLE', ...lock.members }) });
          press(host, 'lock');
          await recorder.waitForEvents(start, (events) => heldButtons(events).includes('left'), { filter: isButtonOrWheel, what: 'left held' });
          await row.end(host);
          const exitedAt = host.origin + host.pluginExitTime();
          await waitFor(() => !running(guardian), { timeoutMs: GUARDIAN_EXIT_MS, what: `guardian ${guardian} to end with the plugin` });
          report(t, `${build.name}: ${row.name} with ${lock.name}: guardian gone at most ${(performance.now() - exitedAt).toFixed(1)} ms after the plugin's exit`);
          await recorder.waitForQuiet(150);
          assert.deepEqual(recorder.since(start, isButtonWheelOrKey).map(inputText), lock.seen, 'the plugin\'s own release, once');
        });
    }
  }
});

// A guardian that stops reading for a while, or ends, while a right drag
// lock holds its button: the plugin must keep it as its guardian or start a
// new one, so that a later kill of the plugin still lets go of the button.
const ICONS = {
  'hand_1red.png': solidPng(144, 144, [200, 20, 20]),
  'hand_held_1red.png': solidPng(144, 144, [20, 20, 20]),
};
const RIGHT_LOCK = settings({ my_mouse_event: 'MOUSE_RIGHT_TOGGLE', my_icon_name: 'hand', my_icon_color_id: '1', my_icon_color: 'red' });
// 64 clicks a press.
// Counted at a byte for each press and each release, their messages fill
// 80 KiB, more than a Linux pipe holds (64 KiB); under Wine, where clicks
// are ten times slower, 16 KiB, four times a Windows pipe's 4 KiB.
const CLICKS = settings({ my_mouse_event: 'MOUSE_SEQUENCE', my_steps: Array(64).fill('click left').join('\n') });
const CLICK_PRESSES = build.wine ? 128 : 640;
const CLICKS_KIB = (CLICK_PRESSES * 64 * 2) / 1024;
// One press at a time: sequences run beside each other, and two clicking
// left at once would share its presses.
const BURST = 1;
// Longer than the plugin's retries of a set the pipe could not take.
const QUIET_MS = 500;

describe(`${build.name} build: a guardian that stops reading or ends`, { skip: build.needsRecorder }, () => {
  let suite;
  before(async () => {
    suite = await startBundleSession(build, ICONS);
  });
  after(async () => {
    await suite?.stop();
  });

  // A plugin of its own with the right button locked; `guardian` is its
  // guardian's pid.
  async function lockRight() {
    const { session } = suite;
    const guardian = await (await restartPlugin(session)).guardian();
    const { host, recorder } = session;
    host.willAppear('lock', { settings: RIGHT_LOCK });
    for (let key = 0; key < 2 * BURST; key += 1) host.willAppear(`clicks-${key}`, { settings: CLICKS, coordinates: { column: 1, row: 0 } });
    const start = recorder.mark();
    press(host, 'lock');
    await recorder.waitForEvents(start, (events) => heldButtons(events).includes('right'), { filter: isButtonOrWheel, what: 'right held' });
    await waitFor(() => shownOn(host, 'lock') === 'hand_held_1red.png', { timeoutMs: 5000, what: 'the lock\'s key to show held' });
    return { guardian, start };
  }

  // The icon the key shows: the last image it was sent.
  function shownOn(host, context) {
    const last = host.images.filter((image) => image.context === context).at(-1);
    return last && (Object.keys(ICONS).find((name) => ICONS[name].equals(last.bytes)) ?? 'another image');
  }

  async function clickMany(session) {
    const { host, recorder } = session;
    let downs = 0;
    const count = (event) => {
      if (event.kind === 'button' && event.button === 'left' && event.down) downs += 1;
    };
    recorder.on('event', count);
    try {
      for (let sent = 0; sent < CLICK_PRESSES; sent += BURST) {
        // A sequence key's next press would stop its run: two keys take
        // turns, each run ended a press ago.
        const first = ((sent / BURST) % 2) * BURST;
        for (let i = 0; i < BURST; i += 1) press(host, `clicks-${first + i}`);
        await waitFor(() => downs >= (sent + BURST) * 64,
          { timeoutMs: 60000, what: `${(sent + BURST) * 64} clicks` });
      }
    } finally {
      recorder.off('event', count);
    }
  }

  // Under Wine, with the clicks' sequences pressed one at a time (about 20 s
  // stopped), the resumed guardian lets go of the lock's button: not yet
  // understood, so not yet claimed there.
  const wineStop = build.wine && 'a guardian stopped for 20 s under Wine lets go when resumed: open';
  it(`SIGSTOP of the guardian through ${CLICKS_KIB} KiB of clicks, then SIGCONT: the lock's button stays down until a SIGKILL of the plugin, and then comes up`, { skip: wineStop }, async (t) => {
    const { session } = suite;
    const { guardian, start } = await lockRight();
    const { host, recorder } = session;
    let stopped = false;
    try {
      process.kill(guardian, 'SIGSTOP');
      stopped = true;
      const clicking = performance.now();
      await clickMany(session);
      report(t, `${build.name}: ${CLICK_PRESSES * 64} clicks with the guardian stopped in ${((performance.now() - clicking) / 1000).toFixed(1)} s`);
      process.kill(guardian, 'SIGCONT');
      stopped = false;
      const resumed = recorder.mark();
      await recorder.waitForQuiet(QUIET_MS);
      assert.deepEqual(recorder.since(resumed, isButtonOrWheel).map(inputText), [], 'the resumed guardian let go of something');
      assert.ok(heldButtons(recorder.since(start)).includes('right'), 'the lock\'s button is down');
      assert.equal(shownOn(host, 'lock'), 'hand_held_1red.png', 'the lock\'s key shows held');
      assert.ok(running(guardian), 'the guardian ended');
      assert.doesNotMatch(host.plugin.stdout, /guardian/i);
      await killAndExpect(t, session, guardian, ['right up'], 'a right drag lock after the guardian was stopped');
    } finally {
      if (stopped) process.kill(guardian, 'SIGCONT');
      await releaseWhatIsHeld(session, start);
    }
  });

  it('SIGKILL of the guardian, then the press of a click: a new guardian starts before it, and lets go of the lock\'s button at a SIGKILL of the plugin', async (t) => {
    const { session } = suite;
    const { guardian, start } = await lockRight();
    const { host, recorder } = session;
    try {
      process.kill(guardian, 'SIGKILL');
      await waitFor(() => !running(guardian), { timeoutMs: GUARDIAN_EXIT_MS, what: `guardian ${guardian} to end` });
      const before = guardianPids();
      host.willAppear('click', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_CLICK' }), coordinates: { column: 2, row: 0 } });
      const clicked = recorder.mark();
      press(host, 'click');
      await recorder.waitForEvents(clicked, (events) => events.length >= 2, { filter: isButtonOrWheel, what: 'the click' });
      await session.barrier();
      const restarted = await waitFor(() => [...guardianPids()].find((pid) => !before.has(pid)),
        { timeoutMs: build.wine ? 30000 : 3000, what: 'a new guardian' });
      assert.equal(host.plugin.stdout.match(/The guardian had ended: started it again/g)?.length, 1, host.plugin.stdout);
      await killAndExpect(t, session, restarted, ['right up'], 'a right drag lock after the guardian was killed');
    } finally {
      await releaseWhatIsHeld(session, start);
    }
  });
});

// On the wlroots path the plugin's buttons are those of a virtual pointer
// that the compositor removes with its client; what a window sees of a
// button held then is the user's view.
const waylandRecorder = process.env.DECKMOUSE_WAYLAND_RECORDER
  || path.join(path.dirname(build.plugin), 'tools', 'deckmouse_wayland_recorder');
const waylandSkip = build.wine ? 'Wayland is the Linux build\'s'
  : build.skip ?? (!fs.existsSync(waylandRecorder) && `no Wayland recorder at ${waylandRecorder} (set DECKMOUSE_WAYLAND_RECORDER)`);

// Headless sway has no input device of its own: the plugin's virtual pointer
// would be the seat's only pointer, and its removal would take the window's
// pointer away with it. A second plugin's pointer, made once and kept, stands
// in for the mouse of a desktop.
async function keepAPointer(env) {
  const host = new StreamDeckHost({ outDir: fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-mouse-')) });
  await host.listen();
  host.launch({ exe: build.plugin, env });
  await host.waitForRegistration(15000);
  host.willAppear('mouse', { settings: settings({ my_mouse_event: 'MOUSE_CURSOR_POS', my_offset_x: '100', my_offset_y: '100' }) });
  press(host, 'mouse');
  await host.waitForStdout('Input through the compositor\'s virtual pointer', 10000);
  return host;
}

describe('linux build on headless sway: the guardian', { skip: waylandSkip }, () => {
  let sway;
  let session;
  let mouse;
  before(async () => {
    sway = await startSway();
    session = await startSession({ ...build, recorder: waylandRecorder }, { env: { WAYLAND_DISPLAY: sway.waylandDisplay } });
    mouse = await keepAPointer(session.env);
  });
  after(async () => {
    await mouse?.stop();
    await session?.stop();
    await sway?.stop();
  });

  for (const row of CASES.slice(0, 2)) {
    it(`SIGKILL with ${row.name}: the window sees the release within ${RELEASE_MS} ms, once`, async (t) => {
      await killWhileHolding(t, session, row);
    });
  }
});
