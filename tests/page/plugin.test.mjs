// The settings page and the real Linux plugin behind one simulated host: what
// the page sends, and what the running plugin then does with the pointer, the
// wheel and the key image. Needs LINUX_EXE (the plugin build); the input
// recorder is taken from DECKMOUSE_RECORDER or tools/ beside the build.
import { describe, test, before, after, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { REPO, PLUGIN_FOLDER, assemble } from './lib/bundle.mjs';
import { serveFolder } from './lib/fake-host.mjs';
import { launchBrowser, ACTION_UUID } from './lib/browser.mjs';
import { logic as L } from './lib/page-source.mjs';

const LINUX_EXE = process.env.LINUX_EXE || '';
const RECORDER = process.env.DECKMOUSE_RECORDER
  || path.join(path.dirname(LINUX_EXE), 'tools', 'deckmouse_x11_recorder');

function isExecutable(file) {
  try {
    fs.accessSync(file, fs.constants.X_OK);
    return fs.statSync(file).isFile();
  } catch {
    return false;
  }
}

const SKIP = isExecutable(LINUX_EXE) ? false
  : `no Linux plugin build: set LINUX_EXE to a built deckmouse (got ${JSON.stringify(LINUX_EXE)})`;
const NO_RECORDER = !SKIP && !isExecutable(RECORDER)
  ? `no input recorder at ${RECORDER} (build deckmouse_x11_recorder or set DECKMOUSE_RECORDER)` : false;

// A key as the user left it: a complete, valid set. The icon is one the user
// picked, so changing the command leaves it alone.
const KEY = {
  my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '0', my_offset_x: '10', my_offset_y: '20',
  my_wheel: '120', my_icon_color: 'white', my_icon_name: 'cursor_move', my_repeat_loops: '0',
  my_icon_color_id: '8',
};

const SETTLE_MS = 300;

describe('the settings page driving the running plugin', { skip: SKIP }, () => {
  let sim; // the host-sim library, loaded only when there is a plugin to run
  let session;
  let server;
  let browser;
  let bundle;
  let scratch;
  let current = null; // { page, uuid, context, errors }

  before(async () => {
    sim = await import(pathToFileURL(path.join(REPO, 'tools', 'host-sim', 'lib', 'index.js')).href);
    scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-page-plugin-'));
    // run.sh lays out the bundle with LINUX_EXE already; on its own the file makes its own.
    bundle = process.env.DECKMOUSE_PLUGIN_DIR || assemble(path.join(scratch, 'out'), { linuxExe: LINUX_EXE });
    const exe = path.join(bundle, 'bin', 'deckmouse');
    assert.ok(fs.readFileSync(exe).equals(fs.readFileSync(LINUX_EXE)), `${exe} is not a copy of ${LINUX_EXE}`);
    // The plugin moves the pointer: keep it on a private Xvfb, never the user's screen.
    delete process.env.DISPLAY;
    session = await sim.Session.start({ plugin: exe, cwd: bundle, recorder: NO_RECORDER ? undefined : RECORDER });
    server = await serveFolder(path.dirname(bundle));
    browser = await launchBrowser();
  });

  after(async () => {
    if (browser) await browser.close();
    if (server) await server.close();
    const errors = session ? session.host.protocolErrors : [];
    if (session) await session.stop();
    if (scratch) fs.rmSync(scratch, { recursive: true, force: true });
    assert.deepEqual(errors, [], 'the host saw protocol errors');
  });

  afterEach(async () => {
    if (!current) return;
    const { page, errors } = current;
    current = null;
    await page.close();
    assert.deepEqual(errors.map(String), [], 'the page threw');
  });

  // Shows the key (or with `dial`, a dial) to the plugin, then opens its
  // settings page with the arguments the host hands out, and waits for the
  // page to register.
  async function openKey(context, settings, { dial = false } = {}) {
    const { host } = session;
    if (dial) host.dialAppear(context, { settings });
    else host.willAppear(context, { settings });
    await session.barrier();
    const args = host.openPropertyInspector(context);
    const page = await browser.context.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(e));
    current = { page, errors, uuid: args.uuid, context };
    await page.goto(server.baseUrl + PLUGIN_FOLDER + '/pi/' + (dial ? 'dial.html' : 'index.html'));
    await page.evaluate(({ port, uuid, registerEvent, info, actionInfo }) => {
      window.connectElgatoStreamDeckSocket(port, uuid, registerEvent, info, actionInfo);
    }, args);
    await page.waitForSelector('body[data-language]', { state: 'attached' });
    await sim.waitFor(() => host.pages.get(args.uuid).socket, { timeoutMs: 5000, what: 'the page to register' });
    // Complete settings: the page has nothing to repair, so it says nothing.
    await expectPageQuiet(host.fromPages.length);
    return current;
  }

  function pageMark() {
    return session.host.fromPages.length;
  }

  // The page's messages since `mark`, once there are `count` of them, and
  // then none more within a settle window.
  async function pageMessages(mark, count) {
    const { host } = session;
    await sim.waitFor(() => host.fromPages.length >= mark + count,
      { timeoutMs: 5000, what: `${count} message(s) from the page (got ${JSON.stringify(host.fromPages.slice(mark).map((e) => e.json))})` });
    await expectPageQuiet(mark + count);
    return host.fromPages.slice(mark).map((entry) => entry.json);
  }

  async function expectPageQuiet(mark) {
    await sim.delay(SETTLE_MS);
    assert.deepEqual(session.host.fromPages.slice(mark).map((e) => e.json), [], 'the page sent more');
  }

  // One save as the host sees it: all nine members stored (`members`, when
  // the key holds optional ones too), the changed ones (and the icon file,
  // when an icon member changed) passed to the plugin.
  async function expectSave(mark, stored, changed, iconFile = null, members = L.MEMBERS) {
    const { uuid, context } = current;
    const expected = [
      { event: 'setSettings', context: uuid, payload: stored },
      { event: 'sendToPlugin', action: ACTION_UUID, context: uuid, payload: changed },
    ];
    if (iconFile) {
      expected.push({ event: 'sendToPlugin', action: ACTION_UUID, context: uuid, payload: { 'background-image': iconFile } });
    }
    const sent = await pageMessages(mark, expected.length);
    assert.deepEqual(sent, expected);
    assert.deepEqual(Object.keys(sent[0].payload), members);
    for (const [member, value] of Object.entries(sent[0].payload)) assert.equal(typeof value, 'string', member);
    assert.deepEqual(session.host.keys.get(context).settings, stored, 'the host stored something else');
  }

  // Presses and releases the key; returns once the plugin has finished the
  // command: every key here makes its input within the first pass, so the
  // command is over once the input has been quiet for longer than a pass.
  async function press(context) {
    session.host.keyDown(context);
    session.host.keyUp(context);
    await session.settle();
  }

  // Presses the key from a far corner and reports where the pointer ended.
  async function pressFrom(context, x, y) {
    await session.setCursor(x, y);
    await press(context);
    return session.cursor();
  }

  // The images the plugin set on the key after `since`, once the plugin's
  // connection has handled everything in front of the barrier.
  async function imagesSince(context, since) {
    await session.barrier();
    return session.host.images.filter((image) => image.context === context && image.time >= since);
  }

  test('a command picked by name and typed x/y place the pointer there', async () => {
    const context = 'key-place';
    const { page } = await openKey(context, KEY);
    const pos = { ...KEY, my_mouse_event: 'MOUSE_CURSOR_POS' };

    let mark = pageMark();
    await page.selectOption('#command', { label: 'Place cursor at a position' });
    await expectSave(mark, pos, { my_mouse_event: 'MOUSE_CURSOR_POS' });
    // Before any position is typed the key already uses the stored one.
    assert.deepEqual(await pressFrom(context, 1300, 700), { x: 10, y: 20 });

    mark = pageMark();
    await page.fill('#x', '1021');
    await expectSave(mark, { ...pos, my_offset_x: '1021' }, { my_offset_x: '1021' });
    mark = pageMark();
    await page.fill('#y', '613');
    await expectSave(mark, { ...pos, my_offset_x: '1021', my_offset_y: '613' }, { my_offset_y: '613' });

    assert.deepEqual(await pressFrom(context, 3, 4), { x: 1021, y: 613 });
  });

  test('an invalid number is not sent and the key keeps the last valid one', async () => {
    const context = 'key-invalid';
    const start = { ...KEY, my_mouse_event: 'MOUSE_CURSOR_POS', my_offset_x: '200', my_offset_y: '300' };
    const { page } = await openKey(context, start);
    const mark = pageMark();
    await page.fill('#x', '450');
    await expectSave(mark, { ...start, my_offset_x: '450' }, { my_offset_x: '450' });
    const stored = { ...start, my_offset_x: '450' };

    const cases = [['x', '99999'], ['x', 'abc'], ['x', ''], ['x', '4.5'], ['y', '-32768'], ['y', '30O']];
    for (const [field, typed] of cases) {
      const name = `${field} = ${JSON.stringify(typed)}`;
      const before = pageMark();
      await page.fill(`#${field}`, typed);
      await expectPageQuiet(before);
      assert.equal(await page.getAttribute(`#${field}`, 'aria-invalid'), 'true', name);
      assert.deepEqual(session.host.keys.get(context).settings, stored, name);
      assert.deepEqual(await pressFrom(context, 1300, 700), { x: 450, y: 300 }, name);
    }
  });

  test('a wheel command turns the wheel the way its name says, by the notches typed',
    { skip: NO_RECORDER }, async () => {
      const context = 'key-wheel';
      const { page } = await openKey(context, KEY);
      const { recorder } = session;
      const turns = (axis, amount, count) => Array.from({ length: count }, () => `${axis} ${amount}`);
      // action, value, members the page saves, what the wheel then does
      const steps = [
        ['command', 'Scroll down', { my_mouse_event: 'MOUSE_WHEEL_DOWN', my_wheel: '-120' }, turns('vertical', -120, 1)],
        ['notches', '3', { my_wheel: '-360' }, turns('vertical', -120, 3)],
        ['command', 'Scroll up', { my_mouse_event: 'MOUSE_WHEEL_UP', my_wheel: '360' }, turns('vertical', 120, 3)],
        ['command', 'Scroll left', { my_mouse_event: 'MOUSE_HWHEEL_DOWN', my_wheel: '-360' }, turns('horizontal', -120, 3)],
        ['notches', '2', { my_wheel: '-240' }, turns('horizontal', -120, 2)],
        ['command', 'Scroll right', { my_mouse_event: 'MOUSE_HWHEEL_UP', my_wheel: '240' }, turns('horizontal', 120, 2)],
      ];
      let stored = KEY;
      for (const [control, value, changed, wheel] of steps) {
        const name = `${control} ${value}`;
        const mark = pageMark();
        if (control === 'command') await page.selectOption('#command', { label: value });
        else await page.fill('#notches', value);
        stored = { ...stored, ...changed };
        await expectSave(mark, stored, changed);

        const inputMark = recorder.mark();
        await press(context);
        await recorder.waitForEvents(inputMark, (events) => events.length >= wheel.length,
          { filter: sim.isButtonOrWheel, timeoutMs: 3000, what: `${name}: ${wheel.length} wheel events` });
        await recorder.settle(SETTLE_MS);
        const seen = recorder.since(inputMark, sim.isButtonOrWheel)
          .map((e) => (e.kind === 'wheel' ? `${e.axis} ${e.amount}` : `${e.button} ${e.down ? 'down' : 'up'}`));
        assert.deepEqual(seen, wheel, name);
      }
    });

  test('the dial page: a new axis and step reach the dial, its strip follows and a turn scrolls so',
    { skip: NO_RECORDER }, async () => {
      const context = 'dial-page';
      const dial = { dial_rotate: 'WHEEL', dial_step: '120', dial_accel: '0', dial_press: 'LEFT_HOLD', dial_touch: 'SWAP' };
      const { page, uuid } = await openKey(context, dial, { dial: true });
      const { host, recorder } = session;
      const mark = pageMark();
      const shown = host.now();
      await page.selectOption('#rotate', 'HWHEEL');
      await page.fill('#step', '240');
      const stored = { ...dial, dial_rotate: 'HWHEEL', dial_step: '240' };
      const sent = await pageMessages(mark, 4);
      assert.deepEqual(sent.slice(2), [
        { event: 'setSettings', context: uuid, payload: stored },
        { event: 'sendToPlugin', action: 'org.deckmouse.dial', context: uuid, payload: stored },
      ]);
      const feedback = await host.waitForFeedback({ context, after: shown, count: 2 });
      assert.deepEqual(feedback.at(-1).payload, { title: 'Scroll sideways', value: '2 notches', indicator: { value: 0 } });

      const inputMark = recorder.mark();
      host.dialRotate(context, -1);
      await recorder.waitForEvents(inputMark, (events) => events.length >= 2,
        { filter: sim.isButtonOrWheel, timeoutMs: 3000, what: 'two notches to the left' });
      await recorder.settle(SETTLE_MS);
      const seen = recorder.since(inputMark, sim.isButtonOrWheel).map((e) => `${e.axis} ${e.amount}`);
      assert.deepEqual(seen, ['horizontal -120', 'horizontal -120']);
    });

  test('a chosen icon and colour reach the key as the bundle\'s icon file', async () => {
    const context = 'key-icon';
    const { page } = await openKey(context, KEY);
    const steps = [
      ['icon', 'Wheel left', { my_icon_name: 'wheel_left' }, 'icons/wheel_left_8white.png'],
      ['colour', '3', { my_icon_color: 'yellow', my_icon_color_id: '3' }, 'icons/wheel_left_3yellow.png'],
      ['icon', 'Place cursor', { my_icon_name: 'cursor_place' }, 'icons/cursor_place_3yellow.png'],
      ['colour', '1', { my_icon_color: 'red', my_icon_color_id: '1' }, 'icons/cursor_place_1red.png'],
    ];
    let stored = KEY;
    for (const [control, value, changed, file] of steps) {
      const since = session.host.now();
      const mark = pageMark();
      if (control === 'icon') await page.selectOption('#icon', { label: value });
      else await page.click(`#colours input[value="${value}"] + span`);
      stored = { ...stored, ...changed };
      await expectSave(mark, stored, changed, file);

      const images = await imagesSince(context, since);
      assert.equal(images.length, 1, `${file}: ${images.length} images`);
      assert.equal(images[0].target, 0);
      assert.ok(images[0].bytes.equals(fs.readFileSync(path.join(bundle, file))), `the key does not show ${file}`);
    }
  });

  test('a chosen image file reaches the key', async () => {
    const context = 'key-picture';
    const { page, uuid } = await openKey(context, KEY);
    // The picture the user means, by an absolute path with a space in it.
    const folder = path.join(scratch, 'my pictures');
    fs.mkdirSync(folder);
    const picture = path.join(folder, 'key art.png');
    const bytes = sim.solidPng(144, 144, [230, 120, 10]);
    fs.writeFileSync(picture, bytes);
    // The host's file input reads "C:\fakepath\" + the percent-encoded full
    // path; headless Chromium puts only the file's name there. A file whose
    // name is that encoded path makes Chromium produce the host's value, so
    // the page decodes it to the real picture's absolute path.
    const chosen = path.join(scratch, 'chosen');
    fs.mkdirSync(chosen);
    const stand = path.join(chosen, encodeURIComponent(picture));
    fs.writeFileSync(stand, bytes);

    const since = session.host.now();
    const mark = pageMark();
    await page.setInputFiles('#image', stand);
    assert.equal(await page.inputValue('#image'), 'C:\\fakepath\\' + encodeURIComponent(picture));
    assert.deepEqual(await pageMessages(mark, 1),
      [{ event: 'sendToPlugin', action: ACTION_UUID, context: uuid, payload: { 'background-image': picture } }]);
    assert.deepEqual(session.host.keys.get(context).settings, KEY, 'a picture is not a setting');

    const images = await imagesSince(context, since);
    assert.equal(images.length, 1, `${images.length} images`);
    assert.ok(images[0].bytes.equals(fs.readFileSync(picture)), 'the key does not show the chosen picture');
  });

  test('typed steps reach the plugin, whose check the page shows line by line; fixed, the key runs them', async () => {
    const context = 'key-steps';
    const seq = { ...KEY, my_mouse_event: 'MOUSE_SEQUENCE' };
    const { page } = await openKey(context, seq);
    let mark = pageMark();
    await page.fill('#steps', 'move 10 20\nclik left');
    await expectSave(mark, { ...seq, my_steps: 'move 10 20\nclik left' }, { my_steps: 'move 10 20\nclik left' }, null,
      [...L.MEMBERS, 'my_steps']);
    await page.waitForFunction(() => document.querySelector('#steps-problems li')?.textContent
      === 'Line 2: clik leftNot a step: the first word is none of the step words.', null, { timeout: 5000 });
    assert.equal(await page.textContent('#steps-summary'), 'Steps: 1; waits: 0 s in all.');
    // Steps that do not all parse: the key does nothing.
    assert.deepEqual(await pressFrom(context, 300, 400), { x: 300, y: 400 });

    mark = pageMark();
    await page.fill('#steps', 'move 10 20\nmove +5 +6; wait 50');
    const fixed = 'move 10 20\nmove +5 +6; wait 50';
    await expectSave(mark, { ...seq, my_steps: fixed }, { my_steps: fixed }, null, [...L.MEMBERS, 'my_steps']);
    await page.waitForSelector('#steps-problems', { state: 'hidden', timeout: 5000 });
    assert.equal(await page.textContent('#steps-summary'), 'Steps: 3; waits: 0.05 s in all.');
    assert.deepEqual(await pressFrom(context, 300, 400), { x: 15, y: 26 });
  });

  test('a restore key\'s page shows the slot a save key fills, and the key goes back there', async () => {
    const { host } = session;
    const save = 'key-save';
    host.willAppear(save, { settings: { ...KEY, my_mouse_event: 'MOUSE_POS_SAVE', my_slot: '3' } });
    const context = 'key-restore';
    const { page, uuid } = await openKey(context, KEY);
    const mark = pageMark();
    await page.selectOption('#command', { label: 'Restore cursor position' });
    const restore = { ...KEY, my_mouse_event: 'MOUSE_POS_RESTORE' };
    assert.deepEqual(await pageMessages(mark, 3), [
      { event: 'setSettings', context: uuid, payload: restore },
      { event: 'sendToPlugin', action: ACTION_UUID, context: uuid, payload: { my_mouse_event: 'MOUSE_POS_RESTORE' } },
      { event: 'getGlobalSettings', context: uuid },
    ]);
    await page.waitForSelector('#row-slots:not([hidden])', { timeout: 5000 });
    const slot3 = () => page.$eval('#slots', (list) => list.children[2].textContent);

    await pressFrom(save, 321, 123);
    await page.waitForFunction(() => document.querySelector('#slots').children[2].textContent === 'Slot 3: 321, 123',
      null, { timeout: 5000 });
    assert.equal(await slot3(), 'Slot 3: 321, 123');

    const chosen = pageMark();
    await page.selectOption('#slot', '3');
    await expectSave(chosen, { ...restore, my_slot: '3' }, { my_slot: '3' }, null, [...L.MEMBERS, 'my_slot']);
    assert.deepEqual(await pressFrom(context, 1200, 700), { x: 321, y: 123 });
  });

  test('modifier boxes reach the plugin, which holds the keys around the wheel\'s turn',
    { skip: NO_RECORDER }, async () => {
      const context = 'key-zoom';
      const up = { ...KEY, my_mouse_event: 'MOUSE_WHEEL_UP' };
      const { page } = await openKey(context, up);
      const { recorder } = session;
      let mark = pageMark();
      await page.click('#modifiers input[value="SHIFT"]');
      await expectSave(mark, { ...up, my_modifiers: 'SHIFT' }, { my_modifiers: 'SHIFT' }, null, [...L.MEMBERS, 'my_modifiers']);
      mark = pageMark();
      await page.click('#modifiers input[value="CTRL"]');
      await expectSave(mark, { ...up, my_modifiers: 'CTRL+SHIFT' }, { my_modifiers: 'CTRL+SHIFT' }, null,
        [...L.MEMBERS, 'my_modifiers']);

      const inputMark = recorder.mark();
      await press(context);
      await recorder.waitForEvents(inputMark, (events) => events.length >= 5,
        { filter: sim.isButtonWheelOrKey, timeoutMs: 3000, what: 'two keys down, the wheel, two keys up' });
      await recorder.settle(SETTLE_MS);
      const seen = recorder.since(inputMark, sim.isButtonWheelOrKey)
        .map((e) => (e.kind === 'wheel' ? `wheel ${e.amount}` : `${e.key ?? e.button} ${e.down ? 'down' : 'up'}`));
      assert.equal(seen.length, 5, seen.join(', '));
      assert.deepEqual(seen.slice(0, 2).sort(), ['ctrl down', 'shift down'], seen.join(', '));
      assert.equal(seen[2], 'wheel 120', seen.join(', '));
      assert.deepEqual(seen.slice(3).sort(), ['ctrl up', 'shift up'], seen.join(', '));
    });

  test('"Pick on screen": the key counts down, the plugin reads the pointer, the page fills x/y and the key goes there', async () => {
    const context = 'key-pick';
    const start = { ...KEY, my_mouse_event: 'MOUSE_CURSOR_POS' };
    const { page } = await openKey(context, start);
    const { host } = session;
    await session.setCursor(40, 50);
    await page.waitForFunction(() => document.querySelector('#pointer').textContent.includes('40, 50'), null, { timeout: 5000 });

    const asked = host.now();
    await page.click('#pick');
    await session.setCursor(777, 333);  // where the user goes during the countdown
    await sim.waitFor(() => host.keys.get(context).settings.my_offset_x === '777',
      { timeoutMs: 8000, what: 'the picked position saved by the page' });
    assert.deepEqual(host.keys.get(context).settings, { ...start, my_offset_x: '777', my_offset_y: '333' });
    assert.equal(await page.inputValue('#x'), '777');
    assert.equal(await page.inputValue('#y'), '333');
    const titles = host.fromPlugin.filter((entry) => entry.time >= asked && entry.json?.event === 'setTitle' && entry.json.context === context);
    assert.deepEqual(titles.map((entry) => entry.json.payload.title ?? null), ['3', '2', '1', null]);

    assert.deepEqual(await pressFrom(context, 3, 4), { x: 777, y: 333 });
  });
});
