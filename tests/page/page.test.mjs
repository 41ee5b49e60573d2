// The settings page in headless Chromium against a host on 127.0.0.1: what it
// shows and, above all, the exact messages it sends.
import { test, before, after, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pluginDir, readJson } from './lib/bundle.mjs';
import { startFakeHost } from './lib/fake-host.mjs';
import { launchBrowser, openSettingsPage, ACTION_UUID, REGISTER_EVENT } from './lib/browser.mjs';
import { LANGUAGES, logic as L } from './lib/page-source.mjs';

const UUID = 'PI-7F3A';

// A key that was set up before: left click, blue left-button icon.
const KEY = {
  my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '50', my_offset_x: '-10', my_offset_y: '20',
  my_wheel: '240', my_icon_color: 'blue', my_icon_name: 'click_left', my_repeat_loops: '2',
  my_icon_color_id: '6',
};

let host;
let browser;
let plugin;
let page = null;

before(async () => {
  plugin = pluginDir();
  host = await startFakeHost({ root: path.dirname(plugin) });
  browser = await launchBrowser();
});

after(async () => {
  if (browser) await browser.close();
  if (host) await host.close();
});

afterEach(async () => {
  if (page) {
    const errors = page.pageErrors;
    await page.close();
    page = null;
    assert.deepEqual(errors.map(String), [], 'the page threw');
  }
});

// Opens the page for a key and checks that the first thing it says is the registration.
async function open(settings, { language = 'en' } = {}) {
  host.drain();
  page = await openSettingsPage(browser.context, host, { uuid: UUID, language, settings });
  assert.deepEqual(await host.nextMessage(), { event: REGISTER_EVENT, uuid: UUID });
  return page;
}

// One save: all nine members to the host, the changed ones to the plugin, and
// the new icon file when an icon member changed.
async function expectSave(settings, changed, image = null) {
  const stored = await host.nextMessage();
  assert.deepEqual(stored, { event: 'setSettings', context: UUID, payload: settings });
  assert.deepEqual(Object.keys(stored.payload), L.MEMBERS);
  assert.deepEqual(await host.nextMessage(),
    { event: 'sendToPlugin', action: ACTION_UUID, context: UUID, payload: changed });
  if (image) {
    assert.deepEqual(await host.nextMessage(),
      { event: 'sendToPlugin', action: ACTION_UUID, context: UUID, payload: { 'background-image': image } });
  }
}

async function visibleRows() {
  return page.$$eval('.row[id^="row-"]', (rows) => rows.filter((r) => !r.hidden).map((r) => r.id.slice(4)));
}

async function caption(id) {
  return page.textContent(`#row-${id} .caption`);
}

const withCommand = (cmd, icon, extra = {}) => ({ ...KEY, my_mouse_event: cmd, my_icon_name: icon, ...extra });

test('a new key registers, then gets a working set of settings and its icon', async () => {
  await open({});
  const defaults = {
    my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '0', my_offset_x: '0', my_offset_y: '0',
    my_wheel: '120', my_icon_color: 'white', my_icon_name: 'click_left', my_repeat_loops: '0',
    my_icon_color_id: '8',
  };
  await expectSave(defaults, defaults, 'icons/click_left_8white.png');
  await host.expectQuiet();
});

test('stored settings that would not convert are repaired once on opening', async () => {
  await open({ ...KEY, my_sleep: '12ms', my_repeat_loops: '', my_wheel: 7 });
  await expectSave({ ...KEY, my_sleep: '0', my_repeat_loops: '0', my_wheel: '120' },
    { my_sleep: '0', my_repeat_loops: '0', my_wheel: '120' });
  await host.expectQuiet();
});

test('complete settings are shown as stored and not saved again', async () => {
  await open(KEY);
  await host.expectQuiet();
  assert.equal(await page.inputValue('#command'), 'MOUSE_LEFT_CLICK');
  assert.equal(await page.inputValue('#sleep'), '50');
  assert.equal(await page.inputValue('#repeat'), '2');
  assert.deepEqual(await visibleRows(), ['sleep', 'repeat']);
  assert.equal(await page.inputValue('#icon'), 'click_left');
  assert.equal(await page.$eval('#colours input:checked', (r) => r.value), '6');
  const preview = await page.$eval('#preview', (img) => img.src);
  assert.ok(preview.endsWith('/org.deckmouse.sdPlugin/icons/click_left_6blue.png'), preview);
  await page.waitForFunction(() => document.getElementById('preview').naturalWidth === 144);
});

test('each command shows only the fields that apply to it', async () => {
  const cases = [
    ['MOUSE_LEFT_CLICK', ['sleep', 'repeat'], { sleep: 'Hold time (ms)' }],
    ['MOUSE_X2_CLICK', ['sleep', 'repeat'], { sleep: 'Hold time (ms)' }],
    ['MOUSE_WHEEL_DOWN', ['notches', 'repeat'], {}],
    ['MOUSE_HWHEEL_UP', ['notches', 'repeat'], {}],
    ['MOUSE_MIDDLE_DOWN', [], {}],
    ['MOUSE_X1_UP', [], {}],
    ['MOUSE_CURSOR_POS', ['x', 'y'], { x: 'X position (px)', y: 'Y position (px)' }],
    ['MOUSE_CURSOR_RESET', [], {}],
    ['MOUSE_CURSOR_MOVE', ['sleep', 'x', 'y'],
      { sleep: 'Step interval (ms)', x: 'Horizontal step (px)', y: 'Vertical step (px)' }],
  ];
  for (const [cmd, rows, captions] of cases) {
    await open(withCommand(cmd, L.command(cmd).icon, { my_wheel: String(L.command(cmd).wheelSign === -1 ? -240 : 240) }));
    await host.expectQuiet(100);
    assert.deepEqual(await visibleRows(), rows, cmd);
    for (const [id, text] of Object.entries(captions)) assert.equal(await caption(id), text, `${cmd} ${id}`);
    await page.close();
    page = null;
  }
});

test('picking a command saves all nine members and tells the plugin what changed', async () => {
  const cases = [
    [KEY, 'MOUSE_RIGHT_CLICK',
      { my_mouse_event: 'MOUSE_RIGHT_CLICK', my_icon_name: 'click_right' }, 'icons/click_right_6blue.png'],
    [KEY, 'MOUSE_WHEEL_DOWN',
      { my_mouse_event: 'MOUSE_WHEEL_DOWN', my_wheel: '-240', my_icon_name: 'wheel_down' },
      'icons/wheel_down_6blue.png'],
    [KEY, 'MOUSE_LEFT_UP', { my_mouse_event: 'MOUSE_LEFT_UP', my_icon_name: 'button_up' }, 'icons/button_up_6blue.png'],
    // An icon the user picked stays when the command changes.
    [{ ...KEY, my_icon_name: 'cursor_move' }, 'MOUSE_CURSOR_POS', { my_mouse_event: 'MOUSE_CURSOR_POS' }, null],
    [{ ...KEY, my_icon_name: 'cursor_move' }, 'MOUSE_HWHEEL_DOWN',
      { my_mouse_event: 'MOUSE_HWHEEL_DOWN', my_wheel: '-240' }, null],
  ];
  for (const [start, cmd, changed, image] of cases) {
    await open(start);
    await page.selectOption('#command', cmd);
    await expectSave({ ...start, ...changed }, changed, image);
    await host.expectQuiet(100);
    await page.close();
    page = null;
  }
});

test('the stored wheel sign follows the scroll direction of the command', async () => {
  await open(withCommand('MOUSE_WHEEL_UP', 'wheel_up', { my_wheel: '360' }));
  let current = withCommand('MOUSE_WHEEL_UP', 'wheel_up', { my_wheel: '360' });
  const steps = [
    ['MOUSE_WHEEL_DOWN', '-360', 'wheel_down'],
    ['MOUSE_HWHEEL_UP', '360', 'wheel_right'],
    ['MOUSE_HWHEEL_DOWN', '-360', 'wheel_left'],
    ['MOUSE_WHEEL_UP', '360', 'wheel_up'],
    ['MOUSE_WHEEL_UP', '360', 'wheel_up'], // same command again: nothing to save
  ];
  for (const [cmd, wheel, icon] of steps) {
    await page.selectOption('#command', cmd);
    const next = { ...current, my_mouse_event: cmd, my_wheel: wheel, my_icon_name: icon };
    const changed = L.changedMembers(current, next);
    if (Object.keys(changed).length === 0) {
      await host.expectQuiet();
    } else {
      await expectSave(next, changed, `icons/${icon}_6blue.png`);
    }
    assert.equal(await page.inputValue('#notches'), '3', cmd);
    current = next;
  }
  await page.selectOption('#command', 'MOUSE_HWHEEL_DOWN');
  await expectSave({ ...current, my_mouse_event: 'MOUSE_HWHEEL_DOWN', my_wheel: '-360', my_icon_name: 'wheel_left' },
    { my_mouse_event: 'MOUSE_HWHEEL_DOWN', my_wheel: '-360', my_icon_name: 'wheel_left' }, 'icons/wheel_left_6blue.png');
  current = { ...current, my_mouse_event: 'MOUSE_HWHEEL_DOWN', my_wheel: '-360', my_icon_name: 'wheel_left' };
  await page.fill('#notches', '2');
  await expectSave({ ...current, my_wheel: '-240' }, { my_wheel: '-240' });
});

test('numbers are saved as typed when valid and never when invalid', async () => {
  const click = withCommand('MOUSE_LEFT_CLICK', 'click_left');
  const pos = withCommand('MOUSE_CURSOR_POS', 'cursor_place');
  const down = withCommand('MOUSE_WHEEL_DOWN', 'wheel_down', { my_wheel: '-240' });
  const up = withCommand('MOUSE_WHEEL_UP', 'wheel_up');
  const sleepError = 'Enter a whole number from 0 to 10000.';
  const offsetError = 'Enter a whole number from -32767 to 32767.';
  // start, field, typed, saved members (null: nothing), error shown
  const cases = [
    [click, 'sleep', '250', { my_sleep: '250' }, null],
    [click, 'sleep', '10000', { my_sleep: '10000' }, null],
    [click, 'sleep', '0', { my_sleep: '0' }, null],
    [click, 'sleep', '050', null, null], // the stored 50 again
    [click, 'sleep', '10001', null, sleepError],
    [click, 'sleep', '-5', null, sleepError],
    [click, 'sleep', '12ms', null, sleepError],
    [click, 'sleep', '', null, sleepError],
    [click, 'repeat', '100', { my_repeat_loops: '100' }, null],
    [click, 'repeat', '101', null, 'Enter a whole number from 0 to 100.'],
    [click, 'repeat', '1.5', null, 'Enter a whole number from 0 to 100.'],
    [pos, 'x', '-32767', { my_offset_x: '-32767' }, null],
    [pos, 'x', '-32768', null, offsetError],
    [pos, 'y', ' 7 ', { my_offset_y: '7' }, null],
    [pos, 'y', '3.5', null, offsetError],
    [pos, 'y', '-', null, offsetError],
    [down, 'notches', '3', { my_wheel: '-360' }, null],
    [down, 'notches', '0', null, 'Enter a whole number from 1 to 100.'],
    [down, 'notches', '101', null, 'Enter a whole number from 1 to 100.'],
    [up, 'notches', '5', { my_wheel: '600' }, null],
  ];
  for (const [start, field, typed, saved, error] of cases) {
    const name = `${start.my_mouse_event} ${field} ${JSON.stringify(typed)}`;
    await open(start);
    await page.fill(`#${field}`, typed);
    if (saved) await expectSave({ ...start, ...saved }, saved);
    await host.expectQuiet(error ? 300 : 100);
    assert.equal(await page.getAttribute(`#${field}`, 'aria-invalid'), error ? 'true' : 'false', name);
    const shown = await page.$eval(`#row-${field} .error`, (e) => (e.hidden ? null : e.textContent));
    assert.equal(shown, error, name);
    await page.close();
    page = null;
  }
});

test('after an invalid entry the next valid one is saved and the error clears', async () => {
  await open(KEY);
  for (const typed of ['9', '9x', '99999']) await page.fill('#sleep', typed);
  await expectSave({ ...KEY, my_sleep: '9' }, { my_sleep: '9' });
  await host.expectQuiet();
  await page.fill('#sleep', '90');
  await expectSave({ ...KEY, my_sleep: '90' }, { my_sleep: '90' });
  assert.equal(await page.getAttribute('#sleep', 'aria-invalid'), 'false');
  assert.equal(await page.$eval('#row-sleep .error', (e) => e.hidden), true);
});

test('choosing an icon and a colour saves them and updates the preview', async () => {
  await open(KEY);
  await page.selectOption('#icon', 'cursor_move');
  await expectSave({ ...KEY, my_icon_name: 'cursor_move' }, { my_icon_name: 'cursor_move' },
    'icons/cursor_move_6blue.png');
  await page.click('#colours input[value="3"] + span');
  const yellow = { my_icon_color: 'yellow', my_icon_color_id: '3' };
  await expectSave({ ...KEY, my_icon_name: 'cursor_move', ...yellow }, yellow, 'icons/cursor_move_3yellow.png');
  await host.expectQuiet();
  await page.waitForFunction(() => {
    const img = document.getElementById('preview');
    return img.src.endsWith('/icons/cursor_move_3yellow.png') && img.complete && img.naturalWidth === 144;
  });
  // The chosen swatch is the one marked, and only one is.
  assert.deepEqual(await page.$$eval('#colours input:checked', (rs) => rs.map((r) => r.value)), ['3']);
});

test('a chosen image file is sent to the plugin by its decoded path', async () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-files-'));
  try {
    // The host hands over the full path percent-encoded after C:\fakepath\; a
    // file named with such an encoding makes Chromium produce the same value.
    const cases = [
      ['%2Fhome%2Fme%2Fmy%20key.png', '/home/me/my key.png'],
      ['C%3A%5CUsers%5Cme%5Cshot.png', 'C:\\Users\\me\\shot.png'],
      ['plain.png', 'plain.png'],
    ];
    await open(KEY);
    for (const [fileName, want] of cases) {
      const file = path.join(dir, fileName);
      fs.writeFileSync(file, fs.readFileSync(path.join(plugin, 'icons', 'click_left_1red.png')));
      await page.setInputFiles('#image', file);
      assert.equal(await page.inputValue('#image'), 'C:\\fakepath\\' + fileName);
      assert.deepEqual(await host.nextMessage(),
        { event: 'sendToPlugin', action: ACTION_UUID, context: UUID, payload: { 'background-image': want } });
    }
    await host.expectQuiet();
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
});

test('every text on the page follows the host language', async () => {
  for (const language of LANGUAGES) {
    const file = readJson(path.join(plugin, `${language}.json`));
    await open(KEY, { language });
    await page.fill('#sleep', 'x'); // brings up the error text as well
    const shown = await page.$$eval('[data-i18n]', (els) => els.map((el) => ({
      key: el.dataset.i18n,
      args: el.dataset.i18nArgs ? JSON.parse(el.dataset.i18nArgs) : null,
      text: el.tagName === 'OPTGROUP' ? el.label : el.textContent,
    })));
    assert.ok(shown.length > 40, `${language}: ${shown.length} texts`);
    for (const { key, args, text } of shown) {
      assert.ok(key in file.Localization, `${language}: no translation for ${key}`);
      assert.equal(text, L.format(file.Localization[key], args), `${language}: ${key}`);
    }
    const titles = await page.$$eval('[data-i18n-title]', (els) => els.map((el) => [el.dataset.i18nTitle, el.title]));
    for (const [key, title] of titles) assert.equal(title, file.Localization[key], `${language}: ${key}`);
    await page.close();
    page = null;
  }
});

test('German labels replace the English ones, an unknown language keeps English', async () => {
  const cases = [
    ['de', 'Befehl', 'Linksklick', 'Ganze Zahl von 0 bis 10000 eingeben.'],
    ['xx', 'Command', 'Left click', 'Enter a whole number from 0 to 10000.'],
  ];
  for (const [language, command, option, error] of cases) {
    await open(KEY, { language });
    assert.equal(await page.textContent('label[for="command"]'), command);
    assert.equal(await page.$eval('#command option[value="MOUSE_LEFT_CLICK"]', (o) => o.textContent), option);
    await page.fill('#sleep', '-1');
    assert.equal(await page.textContent('#row-sleep .error'), error);
    await host.expectQuiet(100);
    await page.close();
    page = null;
  }
});

test('settings the host sends later are shown without being saved back', async () => {
  await open(KEY);
  host.sendToPages({
    event: 'didReceiveSettings', action: ACTION_UUID, context: UUID, device: 'DEV1',
    payload: { settings: withCommand('MOUSE_CURSOR_POS', 'cursor_place', { my_offset_x: '640' }) },
  });
  await page.waitForFunction(() => document.getElementById('command').value === 'MOUSE_CURSOR_POS');
  assert.deepEqual(await visibleRows(), ['x', 'y']);
  assert.equal(await page.inputValue('#x'), '640');
  await host.expectQuiet();
});
