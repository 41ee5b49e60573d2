// A host slow or unable to answer with the plugin's global settings, against
// the real executable: a save pressed before the answer is made on top of
// it, one that waited too long or follows an answer the plugin cannot read
// shows the host's alert and sends nothing, and what the host keeps (members
// and slots the plugin does not know) is never overwritten unseen.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { PLUGIN_ID, delay } from '../lib/index.js';
import { buildUnderTest, sessionForSuite, settings } from './support/e2e.js';

const build = buildUnderTest();

// What the host keeps for the plugin before each case: a slot and a member
// the plugin does not know.
const KEPT = { theme: 'dark', slots: { 1: { x: 10, y: 20 } } };
// How long the plugin waits for the first answer, and a margin for a loaded machine.
const ANSWER_WAIT_MS = 2000;
const LATE_MS = 8000;
// Time for the key-command thread to reach the save once its press is
// handled; on a machine slower than that a plugin that does not wait
// passes unnoticed, and one that does still passes.
const SAVE_REACHED_MS = 300;

describe(`${build.name} build: a host slow or unable to answer with the global settings`, { skip: build.skip }, () => {
  const suite = sessionForSuite(build);
  let keys = 0;

  // A new plugin whose host holds its answer, with KEPT stored.
  async function restartHoldingTheAnswer() {
    const { session } = suite;
    session.globalSettings.set(PLUGIN_ID, KEPT);
    await session.restartPlugin({ holdGlobalSettings: true });
    await session.host.waitForMessages('getGlobalSettings');
  }

  // Shows a MOUSE_POS_SAVE key for slot 2 and presses it with the pointer
  // at (x, y); returns its context and the host time of the press.
  async function pressSave(x, y) {
    const { session } = suite;
    const context = `save-${keys++}`;
    session.host.willAppear(context, { settings: settings({ my_mouse_event: 'MOUSE_POS_SAVE', my_slot: '2' }) });
    await session.setCursor(x, y);
    const at = session.host.keyDown(context);
    session.host.keyUp(context);
    return { context, at };
  }

  const stores = (after) => suite.session.host.fromPlugin.filter((m) => m.time >= after && m.json?.event === 'setGlobalSettings');

  // The key shows the alert, the log says `why`, and nothing was stored.
  async function assertRefused({ context, at }, why) {
    const { host } = suite.session;
    await host.waitForMessages('showAlert', { context, after: at, timeoutMs: ANSWER_WAIT_MS + LATE_MS });
    await host.waitForStdout(why);
    assert.deepEqual(stores(at), []);
    assert.deepEqual(host.globalSettings.get(PLUGIN_ID), KEPT);
  }

  // A save after the host answered KEPT is made on top of it.
  async function assertSavesAgain() {
    const { host } = suite.session;
    const { at } = await pressSave(333, 222);
    const [stored] = await host.waitForMessages('setGlobalSettings', { after: at });
    assert.deepEqual(stored.json.payload, { theme: 'dark', slots: { 1: { x: 10, y: 20 }, 2: { x: 333, y: 222 } } });
  }

  it('a save pressed before the late answer waits for it and keeps what the host holds', async () => {
    await restartHoldingTheAnswer();
    const { session } = suite;
    const { host } = session;
    const { at } = await pressSave(300, 200);
    await session.barrier();
    await delay(SAVE_REACHED_MS);
    assert.deepEqual(stores(at), [], 'a save went out before the host answered');
    host.answerGlobalSettings();
    const [stored] = await host.waitForMessages('setGlobalSettings', { after: at });
    assert.deepEqual(stored.json.payload, { theme: 'dark', slots: { 1: { x: 10, y: 20 }, 2: { x: 300, y: 200 } } });
    assert.deepEqual(host.globalSettings.get(PLUGIN_ID), stored.json.payload);
    assert.deepEqual(host.protocolErrors, []);
  });

  it(`a save with no answer after ${ANSWER_WAIT_MS} ms shows the alert and sends nothing; the late answer makes saves possible again`, async () => {
    await restartHoldingTheAnswer();
    await assertRefused(await pressSave(300, 200), 'did not send the plugin\'s global settings within');
    suite.session.host.answerGlobalSettings();
    await assertSavesAgain();
  });

  for (const { name, unreadable } of [
    { name: 'a lone surrogate, which makes the message no JSON', unreadable: { ...KEPT, note: '\ud800' } },
    { name: 'settings that are not an object', unreadable: [KEPT] },
  ]) {
    it(`after an answer the plugin cannot read (${name}) a save shows the alert and sends nothing, until a readable answer`, async () => {
      await restartHoldingTheAnswer();
      const { session } = suite;
      const { host } = session;
      host.answerGlobalSettings();
      // As when a settings page changed them: the plugin hears of them unasked.
      host.answerGlobalSettings(unreadable);
      await session.barrier();
      await assertRefused(await pressSave(300, 200), 'global settings could not be read');
      host.answerGlobalSettings();
      await session.barrier();
      await assertSavesAgain();
    });
  }
});
