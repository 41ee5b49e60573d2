// Runs of key commands, each belonging to its key, seen from outside: a held
// move's Ctrl comes up with whatever ends the hold, every time; a drag lock
// and an autoclick toggle stop at their key's next press while another key's
// sequence waits out a long wait; nothing another key or a dial does with the
// left button lets go of a drag lock's hold; a held autoclick clicks on
// through other keys' taps and stops at its own release; a running autoclick
// toggle takes a new pause from its settings at its next click.
import { describe, it, before, after, beforeEach, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import { delay, isKey, isButtonWheelOrKey, COMMAND_QUIET_MS } from '../lib/index.js';
import { buildUnderTest, startSession, settings, inputText, heldButtons, heldKeys, releaseLeftDown, report } from './support/e2e.js';

const build = buildUnderTest();

// How soon input due at once must be seen; generous for a loaded machine.
const SOON_MS = 3000;
// Another key's sequence: a notch that shows it began, then a wait three
// times as long as the time a stop may take beside it.
const LONG_SEQUENCE = { my_mouse_event: 'MOUSE_SEQUENCE', my_steps: 'wheel 120\nwait 6000' };
const STOP_BOUND_MS = 2000;
// Long enough for the longest run here (the sequence) to end by itself.
const RUN_OUT_MS = 15000;
const LOCK = { my_mouse_event: 'MOUSE_LEFT_TOGGLE' };
const CLICK = { my_mouse_event: 'MOUSE_LEFT_CLICK' };

const isButton = (event) => event.kind === 'button';
const isMove = (event) => event.kind === 'move';
const downs = (events) => events.filter((event) => isButton(event) && event.down);
const gapsOf = (events) => events.slice(1).map((event, i) => event.time - events[i].time);
const describeGaps = (gaps) => gaps.map((gap) => `${gap.toFixed(1)} ms`).join(', ');

describe(`${build.name} build: each run belongs to its key`, { skip: build.needsRecorder }, () => {
  let session;
  let keys = 0;
  let start;

  before(async () => {
    session = await startSession(build);
  });
  after(async () => {
    await session?.stop();
  });
  // A plugin of its own for each case: nothing held or running carries over.
  beforeEach(async () => {
    await session.restartPlugin();
    start = session.recorder.mark();
  });
  afterEach(async () => {
    await session.recorder.settle(100);
    await releaseLeftDown(session, session.recorder.since(start));
  });

  function key(members) {
    const context = `runs-${keys++}`;
    session.host.willAppear(context, { settings: settings(members), coordinates: { column: keys % 5, row: Math.trunc(keys / 5) % 3 } });
    return context;
  }

  // Returns when the press was sent, on the clock of performance.now().
  function press(context) {
    const sentAt = performance.now();
    session.host.keyDown(context);
    session.host.keyUp(context);
    return sentAt;
  }

  function waitForButtons(mark, enough, what, timeoutMs = SOON_MS) {
    return session.recorder.waitForEvents(mark, enough, { filter: isButton, timeoutMs, what });
  }

  const seen = (mark) => session.recorder.since(mark, isButtonWheelOrKey).map(inputText);

  // A press of `context` whose two button events have come.
  async function click(context) {
    const mark = session.recorder.mark();
    press(context);
    await waitForButtons(mark, (events) => events.length >= 2, `the click of ${context}`);
  }

  // Starts `members` on a key of its own with a press and waits for its first input.
  async function startRun(members, begun, what) {
    const context = key(members);
    await session.barrier();
    const mark = session.recorder.mark();
    press(context);
    await session.recorder.waitForEvents(mark, begun, { filter: isButtonWheelOrKey, timeoutMs: SOON_MS, what });
    return context;
  }

  const startLock = () => startRun(LOCK, (events) => heldButtons(events).includes('left'), 'the lock\'s left down');
  const startSequence = () => startRun(LONG_SEQUENCE, (events) => events.some((event) => event.kind === 'wheel'), 'the sequence\'s notch');

  describe('a held move with Ctrl lets go of Ctrl with the end of its hold, every time', () => {
    // Relative steps, which every recorder sees (a placement under Wine is not input).
    const MOVE = { my_mouse_event: 'MOUSE_CURSOR_MOVE', my_offset_x: '1', my_relative: '1', my_sleep: '0', my_modifiers: 'CTRL' };
    const HOLD_MS = 200;
    const REPEATS = 10;
    const HOLD_ENDS = [
      { name: 'its keyUp', end: (move) => session.host.keyUp(move) },
      { name: 'its willDisappear', end: (move) => session.host.willDisappear(move) },
      {
        name: 'its deck\'s deviceDidDisconnect',
        end: () => {
          session.host.deviceDidDisconnect();
          session.host.deviceDidConnect();
        },
      },
      // Whether the other key's click comes with Ctrl is the hold's business;
      // after the release Ctrl must be up either way.
      {
        name: 'another key\'s press, then its keyUp',
        end: async (move, other) => {
          await click(other);
          session.host.keyUp(move);
        },
      },
    ];

    for (const row of HOLD_ENDS) {
      it(`ended by ${row.name}`, async () => {
        const { host, recorder } = session;
        const other = key(CLICK);
        for (let hold = 1; hold <= REPEATS; ++hold) {
          const which = `hold ${hold} of ${REPEATS}`;
          const move = key(MOVE);
          await session.barrier();
          if (!session.wine) await session.setCursor(300, 300);
          const mark = recorder.mark();
          const downAt = performance.now();
          host.keyDown(move);
          await recorder.waitForEvents(mark, (events) => heldKeys(events).includes('ctrl') && events.some(isMove),
            { timeoutMs: SOON_MS, what: `${which}: ctrl down and a step` });
          await delay(HOLD_MS - (performance.now() - downAt));
          await row.end(move, other);
          await recorder.waitForEvents(mark, (events) => heldKeys(events).length === 0,
            { filter: isKey, timeoutMs: SOON_MS, what: `${which}: ctrl up after ${row.name}` });

          const clickMark = recorder.mark();
          await click(other);
          await recorder.settle(COMMAND_QUIET_MS);
          assert.deepEqual(seen(clickMark), ['left down', 'left up'], `${which}: the next click after ${row.name}`);
          assert.deepEqual(recorder.since(clickMark, isMove), [], `${which}: the move went on after ${row.name}`);
        }
      });
    }
  });

  describe('a run stops at its key\'s next press while another key\'s sequence waits', () => {
    const RUNS = [
      { name: 'a drag lock', start: startLock },
      {
        name: 'an autoclick toggle every 50 ms',
        start: () => startRun({ my_mouse_event: 'MOUSE_AUTOCLICK_TOGGLE', my_sleep: '50' },
          (events) => downs(events).length >= 3, 'three clicks'),
      },
    ];
    for (const row of RUNS) {
      it(row.name, async (t) => {
        const { host, recorder } = session;
        const mark = recorder.mark();
        const run = await row.start();
        const sequence = await startSequence();
        try {
          const stopAt = press(run);
          await waitForButtons(mark, (events) => heldButtons(events).length === 0, 'every button up', RUN_OUT_MS);
          await recorder.waitForQuiet(COMMAND_QUIET_MS, { filter: isButton, timeoutMs: RUN_OUT_MS });
          const last = recorder.since(mark, isButton).at(-1);
          const lateBy = recorder.hostTimeOf(last) - stopAt;
          report(t, `${build.name}: ${row.name}: its last button event ${lateBy.toFixed(0)} ms after its key's second press`);
          assert.ok(lateBy <= STOP_BOUND_MS,
            `${row.name}: its last button event (${inputText(last)}) came ${lateBy.toFixed(0)} ms after its key's second press, with another key's sequence waiting`);
        } finally {
          host.willDisappear(sequence);
          host.willDisappear(run);
        }
      });
    }
  });

  describe('nothing else lets go of the left button a drag lock holds', () => {
    const LEFT_BUTTON_USERS = [
      { name: 'a MOUSE_CLICK_AT key', act: () => press(key({ my_mouse_event: 'MOUSE_CLICK_AT', my_offset_x: '200', my_offset_y: '200' })) },
      {
        name: 'a MOUSE_AUTOCLICK_HOLD key held',
        act: async () => {
          const context = key({ my_mouse_event: 'MOUSE_AUTOCLICK_HOLD', my_sleep: '50' });
          session.host.keyDown(context);
          await delay(300);
          session.host.keyUp(context);
        },
      },
      {
        name: 'a MOUSE_AUTOCLICK_TOGGLE key on and off',
        act: async () => {
          const context = key({ my_mouse_event: 'MOUSE_AUTOCLICK_TOGGLE', my_sleep: '50' });
          press(context);
          await delay(300);
          press(context);
        },
      },
      {
        name: 'a dial pushed with LEFT_CLICK',
        act: async () => {
          const after = session.host.now();
          session.host.dialAppear('runs-dial', { settings: { dial_press: 'LEFT_CLICK' } });
          await session.host.waitForFeedback({ context: 'runs-dial', after });
          session.host.dialDown('runs-dial');
          session.host.dialUp('runs-dial');
        },
      },
    ];
    for (const row of LEFT_BUTTON_USERS) {
      it(row.name, async () => {
        const lock = await startLock();
        const mark = session.recorder.mark();
        await row.act();
        await session.settle();
        assert.deepEqual(seen(mark).filter((text) => text === 'left up'), [], `${row.name} let go of the lock's button: ${seen(mark).join(', ')}`);
        const released = session.recorder.mark();
        press(lock);
        await waitForButtons(released, (events) => events.length >= 1, 'the lock\'s release');
        await session.settle();
        assert.deepEqual(seen(released), ['left up']);
      });
    }
  });

  describe('a held autoclick clicks on through another key\'s tap and stops at its own release', () => {
    const TAPS = [
      {
        name: 'a MOUSE_CURSOR_NUDGE',
        members: { my_mouse_event: 'MOUSE_CURSOR_NUDGE', my_offset_x: '5' },
        done: (mark) => session.recorder.waitForEvents(mark, (events) => events.some(isMove), { timeoutMs: SOON_MS, what: 'the nudge' }),
      },
      {
        name: 'a MOUSE_POS_SAVE',
        members: { my_mouse_event: 'MOUSE_POS_SAVE', my_slot: '1' },
        done: (mark, after) => session.host.waitForMessages('setGlobalSettings', { after, timeoutMs: SOON_MS }),
      },
    ];
    for (const row of TAPS) {
      it(row.name, async () => {
        const { host, recorder } = session;
        const autoclick = key({ my_mouse_event: 'MOUSE_AUTOCLICK_HOLD', my_sleep: '50' });
        const tapped = key(row.members);
        await session.barrier();
        const mark = recorder.mark();
        host.keyDown(autoclick);
        await waitForButtons(mark, (events) => downs(events).length >= 3, 'three clicks while held');
        const tapMark = recorder.mark();
        const tappedAt = host.now();
        press(tapped);
        await row.done(tapMark, tappedAt);
        const afterTap = recorder.mark();
        await waitForButtons(afterTap, (events) => downs(events).length >= 3, `three more clicks after ${row.name}, its key still held`);
        const upAt = performance.now();
        host.keyUp(autoclick);
        await recorder.waitForQuiet(COMMAND_QUIET_MS, { filter: isButton, timeoutMs: RUN_OUT_MS });
        const last = recorder.since(mark, isButton).at(-1);
        assert.ok(recorder.hostTimeOf(last) - upAt <= STOP_BOUND_MS, `a click ${(recorder.hostTimeOf(last) - upAt).toFixed(0)} ms after the keyUp`);
        assert.deepEqual(heldButtons(recorder.since(mark, isButton)), [], 'a button was left down');
      });
    }
  });

  describe('a running autoclick toggle takes a new my_sleep at its next click', () => {
    const SLOW = { my_mouse_event: 'MOUSE_AUTOCLICK_TOGGLE', my_sleep: '1000' };
    const FAST_MS = 50;
    // Far above the new pause, below the old one, which a late wake-up only lengthens.
    const FAST_BOUND_MS = 800;
    const UPDATES = [
      { name: 'sendToPlugin', send: (context) => session.host.sendToPlugin(context, { my_sleep: String(FAST_MS) }) },
      { name: 'didReceiveSettings', send: (context) => session.host.didReceiveSettings(context, settings({ ...SLOW, my_sleep: String(FAST_MS) })) },
    ];
    for (const row of UPDATES) {
      it(`changed by ${row.name}`, async (t) => {
        const { recorder } = session;
        const autoclick = await startRun(SLOW, (events) => downs(events).length >= 1, 'the first click');
        try {
          row.send(autoclick);
          await session.barrier();
          const changed = recorder.mark();
          // The first may still be the old pause's; from the next on they are fast.
          const clicks = await waitForButtons(changed, (events) => downs(events).length >= 5, 'five clicks after the change', RUN_OUT_MS);
          const gaps = gapsOf(downs(clicks)).slice(-3);
          report(t, `${build.name}: the last gaps after my_sleep went from 1000 to ${FAST_MS}: ${describeGaps(gaps)}`);
          assert.ok(gaps.every((gap) => gap < FAST_BOUND_MS), `still clicking slowly: ${describeGaps(gaps)}`);
        } finally {
          session.host.willDisappear(autoclick);
        }
      });
    }
  });
});
