// A host that misbehaves, against the real executable: it closes the
// connection in the middle of a long key command, stops reading what the
// plugin sends, names image files that are no files, sends the plugin a
// signal while a button is down, or never reads the plugin's standard
// output. The plugin must stay responsive, bounded and tidy through all of it.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { isButtonOrWheel, releaseButton, delay, waitFor, solidPng, TimeoutError } from '../lib/index.js';
import { encodeRgba } from '../lib/png.js';
import { buildUnderTest, sessionForSuite, settings, inputText, heldButtons, report } from './support/e2e.js';

const build = buildUnderTest();

// Once the connection has ended the process is gone this soon.
const EXIT_MS = 100;
// How long a key image may take when the plugin is free to send it.
const IMAGE_MS = 500;
const MIB = 1024 * 1024;
const PEAK_MEMORY_LIMIT = 64 * MIB;
// Longer than any wait here for a plugin that works; a plugin that hangs is
// not waited for longer.
const HANG_MS = 3000;

// After a plugin that died with a button down (X keeps it pressed for the
// rest of the display's life), so that the cases after it start clean.
async function releaseLeftovers(session, events) {
  if (session.wine) return;
  for (const button of heldButtons(events)) await releaseButton(session.display, button);
}

// Ends the plugin with `end()` (a close, a signal) and waits for it to
// exit. Returns how long that took, the buttons that the input since `start`
// (a recorder mark) had left down when it was ended, and the button and
// wheel input that happened after. Events are placed by their own times,
// so a recorder that reports late does not move them across the end.
async function endAndWatch(session, start, end) {
  const { host, recorder } = session;
  const endedAt = host.now();
  let exit;
  try {
    exit = await end();
  } catch (error) {
    if (!(error instanceof TimeoutError)) throw error;
  }
  const exitMs = exit ? host.pluginExitTime() - endedAt : undefined;
  if (!recorder) return { exit, exitMs, held: [], after: [] };
  // Lines on their way from the recorder; a plugin still running may go on
  // making input, so then only a short look.
  if (exit) await recorder.waitForQuiet(150);
  else await recorder.settle(150);
  const events = recorder.since(start, isButtonOrWheel);
  const afterEnd = (event) => recorder.hostTimeOf(event) > host.origin + endedAt;
  return { exit, exitMs, held: heldButtons(events.filter((e) => !afterEnd(e))), after: events.filter(afterEnd).map(inputText) };
}

// A new plugin with a key set to `settings`, pressed and let go; once
// `closeWhen` holds for the input since (or `closeAfterMs` has passed), the
// plugin is ended with `end(host)` and watched as endAndWatch does. Cleans
// up after a plugin that died with a button down.
async function pressThenEnd(session, { settings: keySettings, closeWhen, closeAfterMs }, end) {
  await session.restartPlugin();
  const { host, recorder } = session;
  const start = recorder.mark();
  try {
    host.willAppear('key', { settings: settings(keySettings) });
    host.keyDown('key');
    host.keyUp('key');
    if (closeAfterMs) await delay(closeAfterMs);
    else await recorder.waitForEvents(start, closeWhen, { filter: isButtonOrWheel, what: 'the command under way' });
    return await endAndWatch(session, start, () => end(host));
  } finally {
    await releaseLeftovers(session, recorder.since(start));
  }
}

function describeEnd({ exit, exitMs, after }) {
  const ended = exit ? `ended (${exit.code ?? exit.signal}) ${exitMs.toFixed(1)} ms after` : `still running ${HANG_MS} ms after`;
  return `${ended}; input from then on: ${JSON.stringify(after)}`;
}

// A valid PNG of about `bytes` bytes whose content is unlike any other.
function noisePng(bytes) {
  const side = Math.ceil(Math.sqrt(bytes / 4));
  return encodeRgba({ width: side, height: side, rgba: randomBytes(side * side * 4) });
}

describe(`${build.name} build: a long key command cut short by the host`, { skip: build.needsRecorder }, () => {
  const suite = sessionForSuite(build);

  // closeWhen: what the host waits for after the press before it ends the
  // connection, chosen so that the command has more input due soon after.
  const CASES = [
    { name: 'MOUSE_LEFT_CLICK, my_sleep 10, my_repeat_loops 50, closed after the third click',
      settings: { my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '10', my_repeat_loops: '50' },
      closeWhen: (events) => events.filter((e) => e.kind === 'button' && !e.down).length >= 3 },
    { name: 'MOUSE_LEFT_CLICK, my_sleep 60000, closed while the button is down',
      settings: { my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '60000' },
      closeWhen: (events) => events.some((e) => e.kind === 'button' && e.down) },
    { name: 'MOUSE_LEFT_CLICK, my_sleep 60000, the host killed while the button is down', abrupt: true,
      settings: { my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '60000' },
      closeWhen: (events) => events.some((e) => e.kind === 'button' && e.down) },
    { name: 'MOUSE_LEFT_CLICK, my_repeat_loops 2147483647, closed after the second click',
      settings: { my_mouse_event: 'MOUSE_LEFT_CLICK', my_repeat_loops: '2147483647' },
      closeWhen: (events) => events.filter((e) => e.kind === 'button' && !e.down).length >= 2 },
    { name: 'MOUSE_LEFT_DOWN, closed during its pass wait', closeAfterMs: 50,
      settings: { my_mouse_event: 'MOUSE_LEFT_DOWN' } },
    { name: 'MOUSE_LEFT_DOWN, the host killed during its pass wait', closeAfterMs: 50, abrupt: true,
      settings: { my_mouse_event: 'MOUSE_LEFT_DOWN' } },
  ];

  for (const row of CASES) {
    it(`${row.name}: ends within ${EXIT_MS} ms, no input after the end but the releases of its own buttons`, async (t) => {
      const ended = await pressThenEnd(suite.session, row, (host) => host.closeConnection({ abrupt: row.abrupt, timeoutMs: HANG_MS }));
      report(t, `${build.name}: ${row.name}: ${describeEnd(ended)}`);
      const expected = ended.held.map((button) => `${button} up`);
      assert.ok(ended.exit && ended.exitMs <= EXIT_MS && ended.exit.code === 0
        && JSON.stringify(ended.after) === JSON.stringify(expected),
      `expected an exit with 0 within ${EXIT_MS} ms of the close and then only ${JSON.stringify(expected)}: ${describeEnd(ended)}`);
    });
  }

  it('a key image asked for just before or during a long press arrives at once', async (t) => {
    const { session } = suite;
    await session.restartPlugin();
    const { host, recorder } = session;
    const start = recorder.mark();
    try {
      const pictures = ['before', 'during'].map((name, i) => {
        const file = path.join(session.scratch, `${name}.png`);
        fs.writeFileSync(file, solidPng(72, 72, [40 + 100 * i, 90, 160]));
        host.willAppear(name, { settings: settings() });
        return { name, file };
      });
      host.willAppear('long', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '10', my_repeat_loops: '50' }) });
      const waits = [];
      const ask = ({ name, file }) => {
        const askedAt = host.sendToPlugin(name, { 'background-image': session.pluginPath(file) });
        waits.push(host.waitForImage({ context: name, timeoutMs: HANG_MS }).then(([image]) => ({ name, file, image, ms: image.time - askedAt })));
      };
      ask(pictures[0]);
      host.keyDown('long');
      host.keyUp('long');
      await recorder.waitForEvents(start, (events) => events.some((e) => e.kind === 'button'), { filter: isButtonOrWheel, what: 'the press under way' });
      ask(pictures[1]);
      const arrived = await Promise.all(waits);
      report(t, `${build.name}: images arrived ${arrived.map(({ name, ms }) => `${name} the press after ${ms.toFixed(1)} ms`).join(', ')}`);
      for (const { name, file, image, ms } of arrived) {
        assert.ok(image.bytes.equals(fs.readFileSync(file)), `the image asked for ${name} the press differs from its file`);
        assert.ok(ms <= IMAGE_MS, `the image asked for ${name} the press took ${ms.toFixed(1)} ms`);
      }
    } finally {
      await session.host.closeConnection({ timeoutMs: HANG_MS }).catch(() => {});
      await releaseLeftovers(session, recorder.since(start));
    }
  });
});

describe(`${build.name} build: a host that stops reading`, { skip: build.skip }, () => {
  const KEYS = 6;
  const ROUNDS = 40;
  const POOL = 16;
  const PINGS_PER_ROUND = 100;
  let bundle;
  let pool;
  before(() => {
    // The icons are in the folder the plugin runs in; the same files are
    // named as background images by their absolute paths too.
    bundle = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-noise-'));
    fs.mkdirSync(path.join(bundle, 'icons'));
    // The last round's files are used by nothing before, so that an image
    // that is not the newest one cannot pass for it.
    pool = Array.from({ length: POOL + KEYS }, (_, i) => {
      const file = path.join(bundle, 'icons', `noise${i}_0x.png`);
      fs.writeFileSync(file, noisePng(MIB));
      return { icon: { my_icon_name: `noise${i}`, my_icon_color_id: '0', my_icon_color: 'x' }, file, bytes: fs.readFileSync(file) };
    });
  });
  after(() => {
    if (bundle) fs.rmSync(bundle, { recursive: true, force: true });
  });
  const suite = sessionForSuite(build, () => ({ cwd: bundle }));

  it(`keeps its memory under ${PEAK_MEMORY_LIMIT / MIB} MiB through ${KEYS * ROUNDS} images of 1 MiB, and then sends each key its newest image`, async (t) => {
    const { session } = suite;
    const { host } = session;
    const contexts = Array.from({ length: KEYS }, (_, k) => `key-${k}`);
    for (const context of contexts) host.unsavedContexts.add(context);
    const newest = new Map();
    host.pauseReading();
    for (let round = 0; round < ROUNDS; round++) {
      for (const [k, context] of contexts.entries()) {
        const picture = round === ROUNDS - 1 ? pool[POOL + k] : pool[(round * KEYS + k) % POOL];
        // An icon from the settings, or a background image from the page.
        if ((round + k) % 2 === 0) {
          host.willDisappear(context);
          host.willAppear(context, { settings: settings({ my_mouse_event: 'MOUSE_LEFT_CLICK', ...picture.icon }) });
        } else {
          host.sendToPlugin(context, { 'background-image': session.pluginPath(picture.file) });
        }
        newest.set(context, picture);
      }
      for (let i = 0; i < PINGS_PER_ROUND; i++) host.pluginSocket.ping();
    }
    // Answered on standard output, which the host still reads: everything
    // in front of it has been handled by then.
    await session.outputBarrier(20000);

    if (!build.wine) {
      const paused = host.plugin.peakResidentBytes();
      report(t, `${build.name}: peak resident memory with the host not reading: ${(paused / MIB).toFixed(1)} MiB`);
      assert.ok(paused < PEAK_MEMORY_LIMIT, `peak resident memory ${(paused / MIB).toFixed(1)} MiB while the host did not read`);
    }
    const requested = KEYS * ROUNDS;

    host.resumeReading();
    const last = (context) => host.images.filter((image) => image.context === context).at(-1);
    await waitFor(() => contexts.every((context) => last(context)?.bytes.equals(newest.get(context).bytes)),
      { timeoutMs: 20000, what: 'every key to show its newest image' });
    // Nothing older may follow.
    await delay(300);
    for (const context of contexts) {
      assert.ok(last(context).bytes.equals(newest.get(context).bytes), `${context} went back to an older image`);
      assert.equal(last(context).target, 0);
    }
    const sent = host.images.filter((image) => contexts.includes(image.context)).length;
    report(t, `${build.name}: ${sent} of ${requested} requested images were sent`);
    assert.ok(sent <= requested / 2, `${sent} of ${requested} images were sent: unsent images were not superseded`);
    if (!build.wine) {
      const peak = host.plugin.peakResidentBytes();
      report(t, `${build.name}: peak resident memory after the host read again: ${(peak / MIB).toFixed(1)} MiB`);
      assert.ok(peak < PEAK_MEMORY_LIMIT, `peak resident memory ${(peak / MIB).toFixed(1)} MiB`);
    }
  });

  it(`a save and an alert made while ${POOL + KEYS} images of 1 MiB wait reach the host once it reads again`, async () => {
    const { session } = suite;
    const { host } = session;
    const keys = { save: 'save-while-full', restore: 'restore-while-full', last: 'no-slot-while-full' };
    host.willAppear(keys.save, { settings: settings({ my_mouse_event: 'MOUSE_POS_SAVE', my_slot: '4' }) });
    host.willAppear(keys.restore, { settings: settings({ my_mouse_event: 'MOUSE_POS_RESTORE', my_slot: '9' }) });
    host.willAppear(keys.last, { settings: settings({ my_mouse_event: 'MOUSE_POS_RESTORE', my_slot: '10' }) });
    await session.setCursor(321, 123);
    await session.barrier();
    const after = host.now();
    host.pauseReading();
    const waiting = pool.map((picture, i) => {
      const context = `waiting-${i}`;
      host.unsavedContexts.add(context);
      host.willAppear(context, { settings: settings({ my_mouse_event: 'MOUSE_LEFT_CLICK', ...picture.icon }) });
      return { context, picture };
    });
    await session.outputBarrier(20000);
    // The keys' commands run in order: the last one's line comes once the
    // save and the alert were handed to the connection.
    for (const context of Object.values(keys)) {
      host.keyDown(context);
      host.keyUp(context);
    }
    await host.waitForStdout('No slot "10"');
    await session.outputBarrier(20000);

    host.resumeReading();
    const [stored] = await host.waitForMessages('setGlobalSettings', { after, timeoutMs: 20000 });
    assert.deepEqual(stored.json.payload.slots['4'], { x: 321, y: 123 });
    await host.waitForMessages('showAlert', { context: keys.restore, after, timeoutMs: 20000 });
    const last = (context) => host.images.filter((image) => image.context === context).at(-1);
    await waitFor(() => waiting.every(({ context, picture }) => last(context)?.bytes.equals(picture.bytes)),
      { timeoutMs: 20000, what: 'every waiting key to show its image' });
  });
});

describe(`${build.name} build: image files that must not be read`, { skip: build.skip }, () => {
  const suite = sessionForSuite(build);
  let files;
  before(() => {
    const folder = path.join(suite.session.scratch, 'files');
    fs.mkdirSync(folder);
    files = { folder, fifo: path.join(folder, 'fifo.png'), huge: path.join(folder, 'huge.png'), prefix: path.join(folder, 'prefix.png'), good: path.join(folder, 'good.png') };
    execFileSync('mkfifo', [files.fifo]);
    // Sparse: a gigabyte that takes no room on the disk.
    fs.closeSync(fs.openSync(files.huge, 'w'));
    fs.truncateSync(files.huge, 1024 * MIB);
    fs.writeFileSync(files.prefix, solidPng(16, 16, [200, 0, 0]));
    fs.writeFileSync(files.good, solidPng(16, 16, [0, 200, 0]));
  });

  // line: what the plugin prints for the refusal; a function of the path
  // as the plugin names it.
  const CASES = [
    { name: 'a FIFO that nobody writes to', file: () => files.fifo, line: (p) => `Unable to open file ${p}` },
    { name: 'a device that never ends (/dev/zero)', file: () => '/dev/zero', line: (p) => `Unable to open file ${p}` },
    { name: 'a directory', file: () => files.folder, line: (p) => `Unable to open file ${p}` },
    { name: 'a sparse file of 1 GiB', file: () => files.huge, line: () => 'Memory error!' },
  ];

  for (const row of CASES) {
    it(`refuses ${row.name} on one line and answers the next message at once`, async (t) => {
      const { session } = suite;
      await session.restartPlugin();
      const { host } = session;
      const named = session.pluginPath(row.file());
      host.willAppear('refused', { settings: settings() });
      host.willAppear('next', { settings: settings() });
      host.sendToPlugin('refused', { 'background-image': named });
      const askedAt = host.sendToPlugin('next', { 'background-image': session.pluginPath(files.good) });
      const [image] = await host.waitForImage({ context: 'next', timeoutMs: HANG_MS });
      report(t, `${build.name}: ${row.name}: the next image came ${(image.time - askedAt).toFixed(1)} ms after it was asked for`);
      assert.ok(image.bytes.equals(fs.readFileSync(files.good)));
      assert.ok(image.time - askedAt <= IMAGE_MS, `the next image took ${(image.time - askedAt).toFixed(1)} ms`);
      const line = row.line(named);
      await waitFor(() => host.plugin.stdout.split('\n').includes(line),
        { timeoutMs: IMAGE_MS, what: `the line ${JSON.stringify(line)} (printed: ${JSON.stringify(host.plugin.stdout)})` });
      assert.deepEqual(host.images.filter((image) => image.context === 'refused'), [], 'an image was sent');
    });
  }

  it('refuses a path with a NUL in it, and does not open the file its first part names', async () => {
    const { session } = suite;
    await session.restartPlugin();
    const { host } = session;
    const prefix = session.pluginPath(files.prefix);
    host.willAppear('nul', { settings: settings() });
    host.willAppear('next', { settings: settings() });
    host.sendToPlugin('nul', { 'background-image': `${prefix}\u0000ignored.png` });
    host.sendToPlugin('next', { 'background-image': session.pluginPath(files.good) });
    await host.waitForImage({ context: 'next', timeoutMs: HANG_MS });
    const start = `Unable to open file ${prefix}`;
    const line = await waitFor(() => host.plugin.stdout.split('\n').find((text) => text.startsWith(start)),
      { timeoutMs: IMAGE_MS, what: `a line starting with ${JSON.stringify(start)} (printed: ${JSON.stringify(host.plugin.stdout)})` });
    // The whole path is named, its NUL written so that the line stays one line.
    assert.ok(line.endsWith('ignored.png') && !/[\u0000-\u001f]/.test(line), JSON.stringify(line));
    await delay(100);
    assert.deepEqual(host.images.filter((image) => image.context === 'nul'), [], 'the file before the NUL was sent');
  });
});

describe(`${build.name} build: a signal while a button is down`, { skip: build.needsRecorder || (build.wine && 'Wine: a POSIX signal does not reach a Windows program as such') }, () => {
  const suite = sessionForSuite(build);

  const CASES = [
    { signal: 'SIGTERM', name: 'after MOUSE_LEFT_DOWN', settings: { my_mouse_event: 'MOUSE_LEFT_DOWN' } },
    { signal: 'SIGINT', name: 'after MOUSE_LEFT_DOWN', settings: { my_mouse_event: 'MOUSE_LEFT_DOWN' } },
    { signal: 'SIGHUP', name: 'after MOUSE_LEFT_DOWN', settings: { my_mouse_event: 'MOUSE_LEFT_DOWN' } },
    { signal: 'SIGTERM', name: 'inside MOUSE_LEFT_CLICK with my_sleep 60000', settings: { my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '60000' } },
  ];

  for (const row of CASES) {
    it(`${row.signal} ${row.name}: the left button is released and the process ends`, async (t) => {
      const ended = await pressThenEnd(suite.session, { ...row, closeWhen: (events) => events.some((e) => e.kind === 'button' && e.down) },
        (host) => {
          host.plugin.child.kill(row.signal);
          return host.plugin.waitForExit(HANG_MS);
        });
      report(t, `${build.name}: ${row.signal} ${row.name}: ${describeEnd(ended)}`);
      assert.ok(ended.exit, describeEnd(ended));
      assert.deepEqual(ended.held, ['left']);
      assert.deepEqual(ended.after, ['left up'], describeEnd(ended));
    });
  }
});

describe(`${build.name} build: a standard output that nobody reads`, { skip: build.skip }, () => {
  const REFUSALS = 4000;
  const suite = sessionForSuite(build);

  it(`goes on answering through ${REFUSALS} lines of log, and ends promptly when the host closes`, async (t) => {
    const { session } = suite;
    await session.restartPlugin({ stdout: 'unread' });
    const { host } = session;
    const good = path.join(session.scratch, 'good.png');
    fs.writeFileSync(good, solidPng(16, 16, [0, 0, 200]));
    host.willAppear('logged', { settings: settings() });
    // Lines of about 250 bytes: a megabyte in all, many times what a pipe holds.
    const missing = path.join(session.scratch, 'missing', 'x'.repeat(200));
    for (let i = 0; i < REFUSALS; i++) host.sendToPlugin('logged', { 'background-image': session.pluginPath(`${missing}-${i}.png`) });
    const askedAt = host.sendToPlugin('logged', { 'background-image': session.pluginPath(good) });
    const [image] = await host.waitForImage({ context: 'logged', timeoutMs: HANG_MS });
    report(t, `${build.name}: the image came ${(image.time - askedAt).toFixed(1)} ms after it was asked for, behind ${REFUSALS} refusals`);
    assert.ok(image.bytes.equals(fs.readFileSync(good)));
    const ended = await endAndWatch(session, session.recorder?.mark(), () => host.closeConnection({ timeoutMs: HANG_MS }));
    report(t, `${build.name}: closed: ${describeEnd(ended)}`);
    assert.ok(ended.exit && ended.exitMs <= EXIT_MS && ended.exit.code === 0, describeEnd(ended));
  });
});
