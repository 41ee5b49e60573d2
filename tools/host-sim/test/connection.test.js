// The connection with the host: registration, messages the plugin must
// ignore, the settings page relayed through the host, and the host closing
// the connection.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import WebSocket from 'ws';
import { solidPng, withDeadline, COMMAND_QUIET_MS } from '../lib/index.js';
import { buildUnderTest, startSession, settings, inputText, pressAndCollect } from './support/e2e.js';

const build = buildUnderTest();

// Each of these must leave no trace: no reply, no input, and the plugin
// handles the next message. A left-click key is shown first, so a frame
// that were taken for its keyDown would click.
const IGNORED = [
  { name: 'text that is not JSON', frame: 'keyDown please' },
  { name: 'JSON cut short', frame: '{"event":"keyDown","context":"clicker"' },
  { name: 'JSON with text after it', frame: '{"event":"keyDown","context":"clicker"} x' },
  { name: 'an array', frame: '[{"event":"keyDown","context":"clicker"}]' },
  { name: 'an event name in another case', frame: { event: 'KeyDown', context: 'clicker', action: 'org.deckmouse.mouse', payload: {} } },
  { name: 'an event that is a number', frame: { event: 7, context: 'clicker' } },
  { name: 'an unknown event', frame: { event: 'titleParametersDidChange', context: 'clicker', payload: {} } },
  { name: 'a binary frame holding a valid keyDown', frame: Buffer.from(JSON.stringify({ event: 'keyDown', context: 'clicker', payload: {} })) },
  { name: 'an empty binary frame', frame: Buffer.alloc(0) },
  { name: 'deviceDidConnect', frame: { event: 'deviceDidConnect', device: 'D1', deviceInfo: { name: 'Stream Deck', type: 0 } } },
  { name: 'deviceDidDisconnect of another device', frame: { event: 'deviceDidDisconnect', device: 'D2' } },
];

describe(`${build.name} build: the host connection`, { skip: build.needsRecorder }, () => {
  let session;
  before(async () => {
    session = await startSession(build);
    session.host.willAppear('clicker', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_CLICK' }) });
  });
  after(async () => {
    await session?.stop();
  });

  it('registers with exactly {"event":"registerPlugin","uuid":<uuid>}, asks for its global settings and sends nothing else unasked', () => {
    const { host } = session;
    assert.equal(host.registration.text, `{"event":"registerPlugin","uuid":"${host.pluginUuid}"}`);
    assert.deepEqual(host.fromPlugin.filter((entry) => entry.json?.context !== 'host-sim-barrier').map((entry) => entry.text),
      [`{"context":"${host.pluginUuid}","event":"getGlobalSettings"}`]);
  });

  for (const row of IGNORED) {
    it(`ignores ${row.name} and handles the next message`, async () => {
      const { host, recorder } = session;
      const mark = recorder.mark();
      const sentAt = host.send(row.frame);
      // Handled, and long enough after it that a command it started would
      // have made input.
      await session.barrier();
      await recorder.settle(COMMAND_QUIET_MS);
      assert.deepEqual(recorder.since(mark, (e) => e.kind === 'button' || e.kind === 'wheel').map(inputText), []);
      assert.deepEqual(host.fromPlugin.filter((entry) => entry.time >= sentAt && entry.json?.context !== 'host-sim-barrier').map((e) => e.text), []);
      const { events } = await pressAndCollect(session, 'clicker', { expectedCount: 2 });
      assert.deepEqual(events.map(inputText), ['left down', 'left up']);
    });
  }

  it('relays a settings page: setSettings reaches the next willAppear, sendToPlugin arrives with the key\'s context', async () => {
    const { host } = session;
    const picture = path.join(session.scratch, 'page-picture.png');
    fs.writeFileSync(picture, solidPng(8, 8, [1, 2, 3]));
    const page = host.openPropertyInspector('paged');
    const socket = new WebSocket(`ws://127.0.0.1:${page.port}`);
    try {
      await withDeadline(new Promise((resolve, reject) => socket.once('open', resolve).once('error', reject)), 5000, 'the page to connect');
      const registered = new Promise((resolve) => host.once('page-registered', resolve));
      socket.send(JSON.stringify({ event: page.registerEvent, uuid: page.uuid }));
      assert.equal((await withDeadline(registered, 5000, 'the page to register')).context, 'paged');

      const stored = new Promise((resolve) => host.once('settings', resolve));
      socket.send(JSON.stringify({ event: 'setSettings', context: page.uuid, payload: settings({ my_mouse_event: 'MOUSE_RIGHT_CLICK' }) }));
      assert.equal((await withDeadline(stored, 5000, 'the settings to be stored')).context, 'paged');
      host.willAppear('paged');
      const { events } = await pressAndCollect(session, 'paged', { expectedCount: 2 });
      assert.deepEqual(events.map(inputText), ['right down', 'right up']);

      const relayedAt = host.now();
      socket.send(JSON.stringify({ event: 'sendToPlugin', action: host.action, context: page.uuid, payload: { 'background-image': session.pluginPath(picture) } }));
      const [image] = await host.waitForImage({ context: 'paged', after: relayedAt });
      assert.ok(image.bytes.equals(fs.readFileSync(picture)));
      const relayed = host.toPlugin.filter((entry) => entry.time >= relayedAt && entry.text?.includes('sendToPlugin'));
      assert.deepEqual(JSON.parse(relayed[0].text), { event: 'sendToPlugin', context: 'paged', action: host.action, payload: { 'background-image': session.pluginPath(picture) } });
    } finally {
      socket.terminate();
    }
  });

  // Last: it ends the plugin.
  it('when the host closes the connection the plugin releases a held button and exits with 0', async () => {
    const { host, recorder } = session;
    host.willAppear('hold-left', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_DOWN' }) });
    const pressed = await pressAndCollect(session, 'hold-left', { expectedCount: 1 });
    assert.deepEqual(pressed.events.map(inputText), ['left down']);
    const mark = recorder.mark();
    const { code } = await host.closeConnection({ timeoutMs: 10000 });
    assert.equal(code, 0);
    await recorder.waitForEvents(mark, (events) => events.some((e) => e.kind === 'button' && e.button === 'left' && !e.down),
      { filter: (e) => e.kind === 'button', what: 'the left button to be released' });
    await recorder.settle(150);
    assert.deepEqual(recorder.since(mark, (e) => e.kind === 'button' || e.kind === 'wheel').map(inputText), ['left up']);
  });
});
