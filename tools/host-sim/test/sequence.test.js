// Step sequences and saved positions, observed from outside the plugin: a
// sequence's buttons in order with the time its wait put between them, the
// pointer back where it started; the settings page's check of the steps; a
// position saved by one key and restored by another after the plugin and
// the host restarted, the slots kept by the host; the alert of an empty slot.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { GlobalSettingsStore, PLUGIN_ID, isButtonOrWheel, waitFor } from '../lib/index.js';
import { buildUnderTest, startSession, settings, inputText, report } from './support/e2e.js';

const build = buildUnderTest();

const SEQUENCE = 'move 100 100; click left; wait 200; move +50 +0; double right; return';
const WAIT_MS = 200;
// The input stack stamps its events in whole milliseconds; a wait is never
// shorter than asked by more than that.
const STAMP_MS = 2;
// Generous: a loaded machine wakes late, never early.
const LATE_MS = 250;

// Seen under Wine: SendInput's moves reach the low-level hook but do not move
// the X pointer while no Wine window has the focus.
const SENT_MOVES_HIDDEN = build.wine && 'under Wine, moves sent with SendInput do not move the X pointer while no Wine window has the focus';

const isMove = (event) => event.kind === 'move';

describe(`${build.name} build: step sequences and saved positions`, { skip: build.needsRecorder }, () => {
  let session;
  let scratch;
  let keys = 0;
  before(async () => {
    scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-sequence-'));
    session = await startSession(build, { globalSettingsFile: path.join(scratch, 'global-settings.json') });
  });
  after(async () => {
    await session?.stop();
    if (scratch) fs.rmSync(scratch, { recursive: true, force: true });
  });

  function key(members) {
    const context = `seq-${keys++}`;
    session.host.willAppear(context, { settings: settings(members) });
    return context;
  }

  async function press(context) {
    await session.settle();
    const mark = session.recorder.mark();
    session.host.keyDown(context);
    session.host.keyUp(context);
    return mark;
  }

  it(`MOUSE_SEQUENCE "${SEQUENCE}": the clicks in order, the wait between them, and the pointer back at the start`, async (t) => {
    const context = key({ my_mouse_event: 'MOUSE_SEQUENCE', my_steps: SEQUENCE });
    await session.setCursor(400, 300);
    const mark = await press(context);
    const buttons = await session.recorder.waitForEvents(mark, (events) => events.length >= 6, { filter: isButtonOrWheel, what: 'the sequence\'s six button events' });
    await session.recorder.settle(WAIT_MS + 150);
    assert.deepEqual(session.recorder.since(mark, isButtonOrWheel).map(inputText),
      ['left down', 'left up', 'right down', 'right up', 'right down', 'right up']);
    const waited = buttons[2].time - buttons[1].time;
    report(t, `${build.name}: sequence: left up to right down ${waited.toFixed(1)} ms across "wait ${WAIT_MS}"; double click press to press ${(buttons[4].time - buttons[2].time).toFixed(1)} ms`);
    assert.ok(waited >= WAIT_MS - STAMP_MS, `the wait took ${waited.toFixed(1)} ms`);
    assert.ok(waited < WAIT_MS + LATE_MS, `the wait took ${waited.toFixed(1)} ms`);
    const moves = session.recorder.since(mark, isMove);
    assert.ok(moves.length > 0, 'no motion at all');
    if (build.wine) {
      // The hook sees where each injected move went.
      assert.ok(moves.some((move) => move.x === 100 && move.y === 100), `no move to (100, 100): ${JSON.stringify(moves)}`);
    }
    if (!SENT_MOVES_HIDDEN) assert.deepEqual(await session.cursor(), { x: 400, y: 300 });
  });

  it('the settings page hears which steps do not parse, and such a key does nothing but log a line', async () => {
    const { host } = session;
    const after = host.now();
    const context = key({ my_mouse_event: 'MOUSE_SEQUENCE', my_steps: 'click left\nwait 100; click nowhere\nmove 5 +5' });
    const [check] = await host.waitForMessages('sendToPropertyInspector', { context, after });
    assert.deepEqual(check.json.payload, { stepsCheck: { steps: 2, waitMs: 100, problems: [
      { line: 2, text: 'click nowhere', problem: 'bad-button' },
      { line: 3, text: 'move 5 +5', problem: 'mixed-signs' },
    ] } });
    const mark = await press(context);
    await host.waitForStdout('MOUSE_SEQUENCE does nothing');
    await session.settle();
    assert.deepEqual(session.recorder.since(mark, isButtonOrWheel), []);
    // Mended from the page: the check comes again, clean.
    const mended = host.now();
    host.sendToPlugin(context, { my_steps: 'click left' });
    const [again] = await host.waitForMessages('sendToPropertyInspector', { context, after: mended });
    assert.deepEqual(again.json.payload, { stepsCheck: { steps: 1, waitMs: 0, problems: [] } });
  });

  it('a position saved by one key comes back through another after the plugin and the host restart', async () => {
    const save = key({ my_mouse_event: 'MOUSE_POS_SAVE', my_slot: '3' });
    await session.setCursor(222, 111);
    const after = session.host.now();
    await press(save);
    const [stored] = await session.host.waitForMessages('setGlobalSettings', { after });
    assert.deepEqual(stored.json.payload.slots, { 3: { x: 222, y: 111 } });
    const file = path.join(scratch, 'global-settings.json');
    assert.deepEqual(JSON.parse(fs.readFileSync(file, 'utf8'))[PLUGIN_ID].slots['3'], { x: 222, y: 111 });

    // A new host reads what the last one wrote.
    session.globalSettings = new GlobalSettingsStore({ file });
    await session.restartPlugin();
    await session.host.waitForMessages('getGlobalSettings');
    const restore = key({ my_mouse_event: 'MOUSE_POS_RESTORE', my_slot: '3' });
    await session.setCursor(10, 10);
    const mark = await press(restore);
    const moves = await session.recorder.waitForEvents(mark, (events) => events.length >= 1, { filter: isMove, what: 'the restoring move' });
    if (build.wine) {
      await session.recorder.settle(100);
      assert.ok(session.recorder.since(mark, isMove).some((move) => move.x === 222 && move.y === 111), `no move to (222, 111): ${JSON.stringify(moves)}`);
    }
    if (!SENT_MOVES_HIDDEN) {
      await waitFor(async () => { const at = await session.cursor(); return at.x === 222 && at.y === 111; }, { timeoutMs: 3000, what: 'the pointer at (222, 111)' });
    }
    assert.deepEqual(session.host.protocolErrors, []);
  });

  it('restoring a slot that holds nothing shows the host\'s alert on the key, and moves nothing', async () => {
    const context = key({ my_mouse_event: 'MOUSE_POS_RESTORE', my_slot: '9' });
    const after = session.host.now();
    const mark = await press(context);
    await session.host.waitForMessages('showAlert', { context, after });
    await session.settle();
    assert.deepEqual(session.recorder.since(mark, isMove), []);
  });
});
