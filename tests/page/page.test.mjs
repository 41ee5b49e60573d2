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
async function open(settings, { language = 'en', platform = 'windows' } = {}) {
  host.drain();
  page = await openSettingsPage(browser.context, host, { uuid: UUID, language, settings, platform });
  assert.deepEqual(await host.nextMessage(), { event: REGISTER_EVENT, uuid: UUID });
  return page;
}

// One save: all members to the host (the nine, then the optional ones the key
// holds), the changed ones to the plugin, and the new icon file when an icon
// member changed.
async function expectSave(settings, changed, image = null) {
  const stored = await host.nextMessage();
  assert.deepEqual(stored, { event: 'setSettings', context: UUID, payload: settings });
  assert.deepEqual(Object.keys(stored.payload), [...L.MEMBERS, ...L.OPTIONAL_MEMBERS.filter((k) => k in settings)]);
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

async function fieldHelp(id) {
  return page.$eval(`#row-${id} .field-help`, (e) => (e.hidden ? null : e.textContent));
}

async function optionLabels(id) {
  return page.$$eval(`#${id} option`, (os) => os.map((o) => [o.value, o.textContent]));
}

const withCommand = (cmd, icon, extra = {}) => ({ ...KEY, my_mouse_event: cmd, my_icon_name: icon, ...extra });

// A page that shows saved positions asks the host for the plugin's global settings, under its own context.
async function expectGlobalSettingsAsked() {
  assert.deepEqual(await host.nextMessage(), { event: 'getGlobalSettings', context: UUID });
}

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

test('stored settings that would not convert and that no field shows are repaired once on opening', async () => {
  await open({ ...KEY, my_offset_x: '12px', my_offset_y: '', my_wheel: 7 });
  await expectSave({ ...KEY, my_offset_x: '0', my_offset_y: '0', my_wheel: '120' },
    { my_offset_x: '0', my_offset_y: '0', my_wheel: '120' });
  await host.expectQuiet();
});

test('complete settings are shown as stored and not saved again', async () => {
  await open(KEY);
  await host.expectQuiet();
  assert.equal(await page.inputValue('#command'), 'MOUSE_LEFT_CLICK');
  assert.equal(await page.inputValue('#sleep'), '50');
  assert.equal(await page.inputValue('#repeat'), '2');
  assert.deepEqual(await visibleRows(), ['sleep', 'repeat', 'modifiers']);
  assert.equal(await page.inputValue('#icon'), 'click_left');
  assert.equal(await page.$eval('#colours input:checked', (r) => r.value), '6');
  const preview = await page.$eval('#preview', (img) => img.src);
  assert.ok(preview.endsWith('/org.deckmouse.sdPlugin/icons/click_left_6blue.png'), preview);
  await page.waitForFunction(() => document.getElementById('preview').naturalWidth === 144);
});

test('each command shows only the fields that apply to it, with its help', async () => {
  const MONITORS = ['Monitor 1 (main)', 'Monitor 2', 'Monitor 3', 'Monitor 4', 'Monitor 5', 'Monitor 6',
    'Monitor under the cursor'];
  const AT_HELP = 'With a monitor chosen, the position counts from its top-left corner and stays on it. '
    + 'Monitor 1 is the main one; the others go from left to right, then top to bottom.';
  const ACCEL_HELP = 'The step grows by this percentage each second held, up to 10 times the first step.';
  const PICK_HELP = 'Move the pointer to the spot while the key counts down; X and Y are then filled in.';
  const MODS_HELP = 'Held down around the mouse input, as if pressed on the keyboard: Ctrl with the wheel zooms, '
    + 'Shift with a click selects a range.';
  const AUTO_HELP = 'At least 10 ms: at most 100 clicks a second.';
  // command, visible rows, captions, field help (that of the modifier boxes is the same
  // for all), label of the monitor's "" choice, command help
  const cases = [
    ['MOUSE_LEFT_CLICK', ['sleep', 'repeat'], { sleep: 'Hold time (ms)' }, {}, null,
      'Presses and releases the button; extra repeats click again.'],
    ['MOUSE_X2_CLICK', ['sleep', 'repeat'], { sleep: 'Hold time (ms)' }, {}, null,
      'Presses and releases the button; extra repeats click again.'],
    ['MOUSE_RIGHT_DOUBLE_CLICK', ['sleep'], { sleep: 'Hold time (ms)' }, {}, null,
      'Two clicks that every program takes for a double-click; a long hold time is shortened to fit.'],
    ['MOUSE_CLICK_AT', ['button', 'monitor', 'x', 'y', 'pick', 'return'],
      { x: 'X position (px)', y: 'Y position (px)' }, { monitor: AT_HELP, pick: PICK_HELP }, 'Whole desktop',
      'Moves the cursor there and clicks, with no other input in between.'],
    ['MOUSE_WHEEL_DOWN', ['notches', 'repeat'], {}, {}, null,
      'Turns the wheel by the notches; extra repeats turn it again.'],
    ['MOUSE_HWHEEL_UP', ['notches', 'repeat'], {}, {}, null,
      'Turns the wheel by the notches; extra repeats turn it again.'],
    ['MOUSE_WHEEL_HOLD', ['step', 'sleep', 'accel'], { sleep: 'Step interval (ms)' },
      { step: 'A notch is 120. A positive step scrolls up, a negative one down.', accel: ACCEL_HELP }, null,
      'Scrolls one step per interval while the key is held.'],
    ['MOUSE_HWHEEL_HOLD', ['step', 'sleep', 'accel'], { sleep: 'Step interval (ms)' },
      { step: 'A notch is 120. A positive step scrolls right, a negative one left.', accel: ACCEL_HELP }, null,
      'Scrolls one step per interval while the key is held.'],
    ['MOUSE_MIDDLE_DOWN', [], {}, {}, null, 'The button stays down until a key releases it.'],
    ['MOUSE_X1_UP', [], {}, {}, null, 'Releases a button that a press key held down.'],
    ['MOUSE_LEFT_TOGGLE', [], {}, {}, null,
      'The first press holds the button down for dragging, the next releases it. The key shows while it is down.'],
    ['MOUSE_CURSOR_POS', ['monitor', 'x', 'y', 'pick'], { x: 'X position (px)', y: 'Y position (px)' },
      { monitor: AT_HELP, pick: PICK_HELP }, 'Whole desktop', 'Puts the cursor at this screen position.'],
    ['MOUSE_CURSOR_RESET', ['monitor'], {},
      { monitor: 'Monitor 1 is the main one; the others go from left to right, then top to bottom.' },
      'Main monitor', 'Puts the cursor in the middle of the chosen monitor.'],
    ['MOUSE_CURSOR_MOVE', ['sleep', 'x', 'y', 'accel', 'relative'],
      { sleep: 'Step interval (ms)', x: 'Horizontal step (px)', y: 'Vertical step (px)' }, { accel: ACCEL_HELP }, null,
      'Moves the cursor one step per interval while the key is held.'],
    ['MOUSE_CURSOR_NUDGE', ['x', 'y'], { x: 'Horizontal step (px)', y: 'Vertical step (px)' }, {}, null,
      'Moves the cursor once by this step, as relative input that games see.'],
    ['MOUSE_AUTOCLICK_HOLD', ['button', 'sleep'], { sleep: 'Click interval (ms)' }, { sleep: AUTO_HELP }, null,
      'Clicks the button at this interval for as long as the key is held.'],
    ['MOUSE_AUTOCLICK_TOGGLE', ['button', 'sleep'], { sleep: 'Click interval (ms)' }, { sleep: AUTO_HELP }, null,
      'The first press starts clicking at this interval, the next stops it. The key shows while it clicks; '
        + 'it stops when the key is no longer shown.'],
    ['MOUSE_SEQUENCE', ['monitor', 'steps'], { steps: 'Steps' },
      { monitor: 'For “move X Y”. ' + AT_HELP,
        steps: 'One step per line, or steps separated by “;”. At most 64 steps and 60 seconds of waits in all.' },
      'Whole desktop', 'Runs the steps in order with one press; the check below shows each line the plugin cannot read.'],
    ['MOUSE_POS_SAVE', ['slot'], { slot: 'Slot' }, {}, null,
      'Stores where the cursor is in the slot, for a restore key on any page or profile.'],
    ['MOUSE_POS_RESTORE', ['slot'], { slot: 'Slot' }, {}, null,
      'Puts the cursor back where the slot says. An empty slot shows an alert on the key.'],
    ['MOUSE_JIGGLE_TOGGLE', ['sleep'], { sleep: 'Interval (s)' },
      { sleep: 'Each time the cursor moves one pixel and back, so it ends where it was. At least 5 seconds.' }, null,
      'While on, small moves keep the computer from going idle. It goes on when the deck shows another page; '
        + 'the next press stops it. The key shows while it runs.'],
  ];
  // The commands that send input take modifier keys; saving a position and the jiggler do not.
  const withoutModifiers = ['MOUSE_POS_SAVE', 'MOUSE_JIGGLE_TOGGLE'];
  for (const c of cases) if (!withoutModifiers.includes(c[0])) c[1].push('modifiers');
  for (const [cmd, rows, captions, helps, unset, help] of cases) {
    await open(withCommand(cmd, L.command(cmd).icon, { my_wheel: String(L.command(cmd).wheelSign === -1 ? -240 : 240) }));
    if (L.usesMember(cmd, 'my_slot')) await expectGlobalSettingsAsked();
    await host.expectQuiet(100);
    assert.deepEqual(await visibleRows(), rows, cmd);
    for (const [id, text] of Object.entries(captions)) assert.equal(await caption(id), text, `${cmd} ${id}`);
    for (const id of rows) {
      assert.equal(await fieldHelp(id), id === 'modifiers' ? MODS_HELP : helps[id] || null, `${cmd} help of ${id}`);
    }
    assert.equal(await page.textContent('#help'), help, cmd);
    if (unset) {
      assert.deepEqual((await optionLabels('monitor')).map(([, label]) => label), [unset, ...MONITORS], cmd);
    }
    await page.close();
    page = null;
  }
});

test('a key that does not store the new members shows what it does without them', async () => {
  const at = withCommand('MOUSE_CLICK_AT', 'click_at');
  const move = withCommand('MOUSE_CURSOR_MOVE', 'cursor_move');
  // settings, then the value shown by each control
  const cases = [
    [at, { button: 'LEFT', monitor: '', return: false }],
    [{ ...at, my_button: '' }, { button: 'LEFT', monitor: '', return: false }],
    [{ ...at, my_button: 'X1', my_monitor: 'cursor', my_return: '1' }, { button: 'X1', monitor: 'cursor', return: true }],
    [{ ...at, my_monitor: '4', my_return: '0' }, { button: 'LEFT', monitor: '4', return: false }],
    [move, { accel: '0', relative: false }],
    [{ ...move, my_accel: '150', my_relative: '1' }, { accel: '150', relative: true }],
  ];
  for (const [settings, shown] of cases) {
    await open(settings);
    await host.expectQuiet(100);
    for (const [id, want] of Object.entries(shown)) {
      const got = typeof want === 'boolean' ? await page.isChecked(`#${id}`) : await page.inputValue(`#${id}`);
      assert.equal(got, want, `${JSON.stringify(settings)}: ${id}`);
    }
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
    // A command that can read new members writes none of them until the user sets one.
    [KEY, 'MOUSE_CLICK_AT', { my_mouse_event: 'MOUSE_CLICK_AT', my_icon_name: 'click_at' }, 'icons/click_at_6blue.png'],
    [KEY, 'MOUSE_CURSOR_RESET', { my_mouse_event: 'MOUSE_CURSOR_RESET', my_icon_name: 'cursor_center' },
      'icons/cursor_center_6blue.png'],
    [KEY, 'MOUSE_WHEEL_HOLD', { my_mouse_event: 'MOUSE_WHEEL_HOLD', my_icon_name: 'wheel_hold' },
      'icons/wheel_hold_6blue.png'],
    [{ ...KEY, my_sleep: '0' }, 'MOUSE_HWHEEL_HOLD',
      { my_mouse_event: 'MOUSE_HWHEEL_HOLD', my_sleep: '10', my_icon_name: 'hwheel_hold' }, 'icons/hwheel_hold_6blue.png'],
    [KEY, 'MOUSE_RIGHT_TOGGLE', { my_mouse_event: 'MOUSE_RIGHT_TOGGLE', my_icon_name: 'toggle_right' },
      'icons/toggle_right_6blue.png'],
    // An icon the user picked stays when the command changes.
    [{ ...KEY, my_icon_name: 'cursor_move' }, 'MOUSE_CURSOR_POS', { my_mouse_event: 'MOUSE_CURSOR_POS' }, null],
    [{ ...KEY, my_icon_name: 'cursor_move' }, 'MOUSE_CURSOR_MOVE', { my_mouse_event: 'MOUSE_CURSOR_MOVE' }, null],
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

test('the new controls save their member and tell the plugin', async () => {
  const at = withCommand('MOUSE_CLICK_AT', 'click_at');
  const move = withCommand('MOUSE_CURSOR_MOVE', 'cursor_move');
  const hold = withCommand('MOUSE_WHEEL_HOLD', 'wheel_hold');
  // start, then steps of [control, value, members saved]
  const cases = [
    [at, [
      ['button', 'RIGHT', { my_button: 'RIGHT' }],
      ['monitor', '2', { my_monitor: '2' }],
      ['return', true, { my_return: '1' }],
      ['x', '-1500', { my_offset_x: '-1500' }],
      ['monitor', 'cursor', { my_monitor: 'cursor' }],
      ['return', false, { my_return: '0' }],
      ['monitor', '', { my_monitor: '' }],
      ['button', 'X2', { my_button: 'X2' }],
    ]],
    [move, [
      ['relative', true, { my_relative: '1' }],
      ['accel', '250', { my_accel: '250' }],
      ['accel', '0', { my_accel: '0' }],
    ]],
    [hold, [
      ['step', '-30', { my_wheel: '-30' }],
      ['accel', '100', { my_accel: '100' }],
      ['sleep', '10', { my_sleep: '10' }],
      ['step', '1200', { my_wheel: '1200' }],
    ]],
  ];
  for (const [start, steps] of cases) {
    await open(start);
    let current = start;
    for (const [id, value, saved] of steps) {
      if (typeof value === 'boolean') await page.setChecked(`#${id}`, value);
      else if (await page.$eval(`#${id}`, (e) => e.tagName === 'SELECT')) await page.selectOption(`#${id}`, value);
      else await page.fill(`#${id}`, value);
      current = { ...current, ...saved };
      const ordered = {};
      for (const k of [...L.MEMBERS, ...L.OPTIONAL_MEMBERS]) if (k in current) ordered[k] = current[k];
      await expectSave(ordered, saved);
    }
    await host.expectQuiet(100);
    await page.close();
    page = null;
  }
});

test('leaving a command drops the members only it reads', async () => {
  const at = withCommand('MOUSE_CLICK_AT', 'click_at', { my_button: 'RIGHT', my_monitor: '2', my_return: '1' });
  await open(at);
  await page.selectOption('#command', 'MOUSE_CURSOR_POS');
  const pos = { ...KEY, my_mouse_event: 'MOUSE_CURSOR_POS', my_icon_name: 'cursor_place', my_monitor: '2' };
  await expectSave(pos, { my_mouse_event: 'MOUSE_CURSOR_POS', my_icon_name: 'cursor_place', my_button: 'LEFT', my_return: '0' },
    'icons/cursor_place_6blue.png');
  assert.equal(await page.inputValue('#monitor'), '2');
  await page.selectOption('#command', 'MOUSE_LEFT_CLICK');
  await expectSave(KEY, { my_mouse_event: 'MOUSE_LEFT_CLICK', my_icon_name: 'click_left', my_monitor: '' },
    'icons/click_left_6blue.png');
  // Back again: the dropped members are gone, so the controls show their neutral values.
  await page.selectOption('#command', 'MOUSE_CLICK_AT');
  await expectSave(withCommand('MOUSE_CLICK_AT', 'click_at'), { my_mouse_event: 'MOUSE_CLICK_AT', my_icon_name: 'click_at' },
    'icons/click_at_6blue.png');
  assert.deepEqual([await page.inputValue('#button'), await page.inputValue('#monitor'), await page.isChecked('#return')],
    ['LEFT', '', false]);
  await host.expectQuiet();
});

test('a key stored with members its command does not read is cleaned once on opening', async () => {
  await open({ ...KEY, my_accel: '50', my_monitor: '3' });
  await expectSave(KEY, { my_accel: '0', my_monitor: '' });
  await host.expectQuiet();
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
  const hold = withCommand('MOUSE_WHEEL_HOLD', 'wheel_hold');
  const move = withCommand('MOUSE_CURSOR_MOVE', 'cursor_move');
  const sleepError = 'Enter a whole number from 0 to 10000.';
  const offsetError = 'Enter a whole number from -32767 to 32767.';
  const stepError = 'Enter a whole number from -1200 to 1200.';
  const accelError = 'Enter a whole number from 0 to 1000.';
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
    [hold, 'step', '-1', { my_wheel: '-1' }, null],
    [hold, 'step', '-1200', { my_wheel: '-1200' }, null],
    [hold, 'step', '1201', null, stepError],
    [hold, 'step', '2.5', null, stepError],
    [hold, 'step', '+60', null, stepError],
    [hold, 'sleep', '10', { my_sleep: '10' }, null],
    [hold, 'sleep', '9', null, 'Enter a whole number from 10 to 10000.'],
    [hold, 'accel', '1000', { my_accel: '1000' }, null],
    [hold, 'accel', '1001', null, accelError],
    [move, 'accel', '-5', null, accelError],
    [move, 'accel', '5 %', null, accelError],
    [move, 'accel', '', null, accelError],
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
  // Between them these keys show every kind of field, caption and help, and
  // with the plugin's screen report (the pointer's monitor given) every
  // readout, the picker counting down and a stored value marked; the step
  // check with every problem, and the saved positions, full and empty.
  const problems = [...Object.keys(L.STEP_PROBLEMS), 'unknown-code'].map((problem, i) => ({ line: i + 1, text: 'x', problem }));
  const showCheck = async () => {
    fromPlugin({ stepsCheck: { steps: 2, waitMs: 500, problems } });
    await page.waitForSelector('#steps-problems:not([hidden])');
  };
  const showSlots = async () => {
    globalSettings({ slots: { 4: { x: 10, y: 20 } } });
    await page.waitForSelector('#row-slots:not([hidden])');
  };
  const keys = [
    [KEY, 'sleep', null],
    [withCommand('MOUSE_CLICK_AT', 'click_at'), 'x', null],
    [withCommand('MOUSE_HWHEEL_HOLD', 'hwheel_hold'), 'accel', null],
    [withCommand('MOUSE_CURSOR_RESET', 'cursor_center'), null, 1],
    [withCommand('MOUSE_CURSOR_POS', 'cursor_place', { my_offset_y: 'abc', my_monitor: '3' }), null, 0],
    [withCommand('MOUSE_AUTOCLICK_TOGGLE', 'autoclick_toggle'), 'sleep', null],
    [withCommand('MOUSE_JIGGLE_TOGGLE', 'jiggle'), 'sleep', null],
    [withCommand('MOUSE_SEQUENCE', 'sequence', { my_modifiers: 'CTRL+HYPER' }), null, null, showCheck],
    [withCommand('MOUSE_POS_RESTORE', 'pos_restore'), null, null, showSlots],
  ];
  for (const language of LANGUAGES) for (const [settings, invalid, pointerMonitor, more] of keys) {
    const file = readJson(path.join(plugin, `${language}.json`));
    await open(settings, { language });
    if (invalid) await page.fill(`#${invalid}`, 'x'); // brings up the error text as well
    if (pointerMonitor !== null) {
      fromPlugin({ monitors: MONITORS });
      fromPlugin({ pointer: { x: 5, y: 6, monitor: pointerMonitor } });
      await page.waitForSelector('#row-pointer:not([hidden])');
      if (L.picksPosition(settings.my_mouse_event)) await page.click('#pick');
    }
    if (more) await more();
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
  assert.deepEqual(await visibleRows(), ['monitor', 'x', 'y', 'pick', 'modifiers']);
  assert.equal(await page.inputValue('#x'), '640');
  await host.expectQuiet();
});

// ---- the picker, the pointer and the monitors -------------------------------

const MONITORS = [
  { number: 1, x: 0, y: 0, width: 1920, height: 1080, primary: true },
  { number: 2, x: 1920, y: -120, width: 1280, height: 1024, primary: false },
];

function fromPlugin(payload) {
  host.sendToPages({ event: 'sendToPropertyInspector', action: ACTION_UUID, context: UUID, payload });
}

async function expectToPlugin(payload) {
  assert.deepEqual(await host.nextMessage(), { event: 'sendToPlugin', action: ACTION_UUID, context: UUID, payload });
}

async function pickButton() {
  return page.$eval('#pick', (b) => [b.textContent, b.getAttribute('aria-pressed')]);
}

const PICK = ['Pick on screen', 'false'];
const CANCEL = ['Cancel picking', 'true'];

test('the pick button asks the plugin to pick and, pressed again, to cancel', async () => {
  for (const [cmd, icon] of [['MOUSE_CURSOR_POS', 'cursor_place'], ['MOUSE_CLICK_AT', 'click_at']]) {
    await open(withCommand(cmd, icon));
    assert.deepEqual(await pickButton(), PICK, cmd);
    for (const [sent, after] of [['position', CANCEL], ['cancel', PICK], ['position', CANCEL], ['cancel', PICK]]) {
      await page.click('#pick');
      await expectToPlugin({ pick: sent });
      assert.deepEqual(await pickButton(), after, `${cmd} after ${sent}`);
    }
    await host.expectQuiet(100);
    await page.close();
    page = null;
  }
});

test('leaving the position commands while picking cancels the pick', async () => {
  await open(withCommand('MOUSE_CURSOR_POS', 'cursor_place'));
  await page.click('#pick');
  await expectToPlugin({ pick: 'position' });
  // Another position command keeps the countdown going.
  await page.selectOption('#command', 'MOUSE_CLICK_AT');
  await expectSave(withCommand('MOUSE_CLICK_AT', 'click_at'), { my_mouse_event: 'MOUSE_CLICK_AT', my_icon_name: 'click_at' },
    'icons/click_at_6blue.png');
  assert.deepEqual(await pickButton(), CANCEL);
  await page.selectOption('#command', 'MOUSE_CURSOR_NUDGE');
  await expectSave(withCommand('MOUSE_CURSOR_NUDGE', 'cursor_nudge'),
    { my_mouse_event: 'MOUSE_CURSOR_NUDGE', my_icon_name: 'cursor_nudge' }, 'icons/cursor_nudge_6blue.png');
  await expectToPlugin({ pick: 'cancel' });
  assert.deepEqual(await pickButton(), PICK);
  await host.expectQuiet();
});

test('a picked position fills X and Y as given and saves them, and the countdown ends', async () => {
  const pos = withCommand('MOUSE_CURSOR_POS', 'cursor_place');
  const at = withCommand('MOUSE_CLICK_AT', 'click_at', { my_monitor: '2', my_button: 'RIGHT' });
  // start, picked, members saved (null: nothing)
  const cases = [
    [pos, { x: 1500, y: -30, monitor: 2 }, { my_offset_x: '1500', my_offset_y: '-30' }],
    [at, { x: 0, y: 1079, monitor: 2 }, { my_offset_x: '0', my_offset_y: '1079' }],
    [pos, { x: 640, y: 20, monitor: 0 }, { my_offset_x: '640' }],
    [{ ...pos, my_offset_x: 'abc' }, { x: 7, y: 8, monitor: 1 }, { my_offset_x: '7', my_offset_y: '8' }],
    // Where the pointer already was: nothing new to save.
    [pos, { x: -10, y: 20, monitor: 1 }, null],
  ];
  for (const [start, picked, saved] of cases) {
    const name = `${start.my_mouse_event} ${JSON.stringify(picked)}`;
    await open(start);
    await page.click('#pick');
    await expectToPlugin({ pick: 'position' });
    fromPlugin({ picked });
    if (saved) await expectSave({ ...start, ...saved }, saved);
    await page.waitForFunction(() => document.getElementById('pick').getAttribute('aria-pressed') === 'false');
    assert.deepEqual([await page.inputValue('#x'), await page.inputValue('#y')], [String(picked.x), String(picked.y)], name);
    assert.equal(await page.getAttribute('#x', 'aria-invalid'), 'false', name);
    assert.equal(await page.inputValue('#monitor'), L.memberValue(start, 'my_monitor'), name);
    await host.expectQuiet(100);
    await page.close();
    page = null;
  }
});

test('a picked message that is malformed, or reaches a command without a position, changes nothing', async () => {
  const pos = withCommand('MOUSE_CURSOR_POS', 'cursor_place');
  // start, payload, whether the countdown ends
  const cases = [
    [pos, { picked: { x: '5', y: 6, monitor: 1 } }, false],
    [pos, { picked: { x: 5.5, y: 6 } }, false],
    [pos, { picked: null }, false],
    [pos, { pick: 'position' }, false],
    [withCommand('MOUSE_CURSOR_NUDGE', 'cursor_nudge'), { picked: { x: 5, y: 6, monitor: 1 } }, true],
  ];
  for (const [start, payload, ends] of cases) {
    const name = `${start.my_mouse_event} ${JSON.stringify(payload)}`;
    await open(start);
    if (L.picksPosition(start.my_mouse_event)) {
      await page.click('#pick');
      await expectToPlugin({ pick: 'position' });
    }
    fromPlugin(payload);
    fromPlugin({ pointer: { x: 1, y: 2, monitor: 1 } }); // handled after the payload: a marker
    await page.waitForFunction(() => document.getElementById('pointer').textContent !== '');
    await host.expectQuiet(100);
    assert.deepEqual([await page.inputValue('#x'), await page.inputValue('#y')], [start.my_offset_x, start.my_offset_y], name);
    if (!ends) assert.deepEqual(await pickButton(), CANCEL, name);
    await page.close();
    page = null;
  }
});

test('without an answer the page stops waiting for the pick after five seconds', async () => {
  await open(withCommand('MOUSE_CURSOR_POS', 'cursor_place'));
  await page.clock.install();
  await page.click('#pick');
  await expectToPlugin({ pick: 'position' });
  await page.clock.runFor(4900);
  assert.deepEqual(await pickButton(), CANCEL);
  await page.clock.runFor(200);
  assert.deepEqual(await pickButton(), PICK);
  // Nothing is sent: the plugin's own countdown has long ended.
  await host.expectQuiet();
  await page.click('#pick');
  await expectToPlugin({ pick: 'position' });
});

test('the live readout shows where the pointer is, whatever the command', async () => {
  // command, pointer messages in turn and the text after each
  const cases = [
    ['MOUSE_CURSOR_POS', [[{ x: 10, y: 20, monitor: 1 }, '10, 20 on monitor 1'],
      [{ x: 2000, y: -100, monitor: 2 }, '2000, -100 on monitor 2'],
      [{ x: -5, y: 7, monitor: 0 }, '-5, 7, on no monitor'],
      [{ x: 3, y: 4 }, '3, 4, on no monitor']]],
    ['MOUSE_CURSOR_RESET', [[{ x: 1919, y: 1079, monitor: 1 }, '1919, 1079 on monitor 1']]],
    ['MOUSE_LEFT_CLICK', [[{ x: 1, y: 1, monitor: 1 }, '1, 1 on monitor 1']]],
  ];
  for (const [cmd, steps] of cases) {
    await open(withCommand(cmd, L.command(cmd).icon));
    await host.expectQuiet(100);
    assert.equal(await page.$eval('#row-pointer', (r) => r.hidden), true, `${cmd}: hidden before the first report`);
    for (const [pointer, text] of steps) {
      fromPlugin({ pointer });
      await page.waitForFunction((t) => document.getElementById('pointer').textContent === t, text);
      assert.equal(await page.$eval('#row-pointer', (r) => r.hidden), false, cmd);
    }
    // The readout is only shown: it saves and sends nothing.
    await host.expectQuiet(100);
    await page.close();
    page = null;
  }
});

test('the monitors the plugin lists are shown and are the numbers the choice offers', async () => {
  const listed = ['1: 1920×1080 at 0, 0, main', '2: 1280×1024 at 1920, -120'];
  const choices = async () => page.$$eval('#monitor option', (os) => os.map((o) => [o.value, o.textContent]));
  const invalid = async () => page.getAttribute('#monitor', 'aria-invalid');
  const at = withCommand('MOUSE_CLICK_AT', 'click_at', { my_monitor: '3' });
  await open(at);
  await host.expectQuiet(100);
  assert.equal(await page.$eval('#row-monitors', (r) => r.hidden), true);
  assert.deepEqual((await choices()).map(([v]) => v), ['', '1', '2', '3', '4', '5', '6', 'cursor']);
  assert.equal(await invalid(), 'false');

  fromPlugin({ monitors: MONITORS });
  await page.waitForSelector('#row-monitors:not([hidden])');
  assert.deepEqual(await page.$$eval('#monitors li', (ls) => ls.map((l) => l.textContent)), listed);
  // The stored monitor 3 is not connected: it stays chosen, marked, and is not saved over.
  assert.deepEqual(await choices(), [['', 'Whole desktop'], ['1', 'Monitor 1 (main)'], ['2', 'Monitor 2'],
    ['3', 'Monitor 3 (not connected)'], ['cursor', 'Monitor under the cursor']]);
  assert.equal(await page.inputValue('#monitor'), '3');
  assert.equal(await invalid(), 'true');
  await host.expectQuiet();

  await page.selectOption('#monitor', '2');
  await expectSave({ ...at, my_monitor: '2' }, { my_monitor: '2' });
  assert.deepEqual((await choices()).map(([v]) => v), ['', '1', '2', 'cursor']);
  assert.equal(await invalid(), 'false');

  // A later list replaces the earlier one; a command without a monitor choice still shows the list.
  fromPlugin({ monitors: [{ ...MONITORS[0], primary: false }] });
  await page.waitForFunction(() => document.querySelectorAll('#monitors li').length === 1);
  assert.deepEqual(await choices(), [['', 'Whole desktop'], ['1', 'Monitor 1'], ['2', 'Monitor 2 (not connected)'],
    ['cursor', 'Monitor under the cursor']]);
  assert.equal(await page.textContent('#monitors li'), '1: 1920×1080 at 0, 0');
  await page.selectOption('#command', 'MOUSE_LEFT_CLICK');
  await expectSave(KEY, { my_mouse_event: 'MOUSE_LEFT_CLICK', my_icon_name: 'click_left', my_monitor: '' },
    'icons/click_left_6blue.png');
  assert.deepEqual(await visibleRows(), ['sleep', 'repeat', 'modifiers', 'monitors']);
  await host.expectQuiet();
});

test('stored text that is not a number is shown as stored and marked, and kept until edited', async () => {
  const pos = withCommand('MOUSE_CURSOR_POS', 'cursor_place');
  // settings, field, text shown
  const cases = [
    [{ ...pos, my_offset_x: 'abc' }, 'x', 'abc'],
    [{ ...pos, my_offset_y: '' }, 'y', ''],
    [{ ...KEY, my_sleep: '12ms' }, 'sleep', '12ms'],
    [{ ...KEY, my_repeat_loops: '1.5' }, 'repeat', '1.5'],
    [withCommand('MOUSE_WHEEL_DOWN', 'wheel_down', { my_wheel: 'lots' }), 'notches', 'lots'],
    [withCommand('MOUSE_WHEEL_HOLD', 'wheel_hold', { my_wheel: '1e3' }), 'step', '1e3'],
    [withCommand('MOUSE_CURSOR_MOVE', 'cursor_move', { my_accel: 'fast' }), 'accel', 'fast'],
  ];
  for (const [settings, field, text] of cases) {
    await open(settings);
    await host.expectQuiet(100);
    assert.equal(await page.inputValue(`#${field}`), text, field);
    assert.equal(await page.getAttribute(`#${field}`, 'aria-invalid'), 'true', field);
    assert.equal(await page.textContent(`#row-${field} .error`), L.TEXTS.notANumber, field);
    await page.close();
    page = null;
  }

  // Another change saves the text as it was; editing the field replaces it.
  const stored = { ...pos, my_offset_x: 'abc' };
  await open(stored);
  await page.fill('#y', '5');
  await expectSave({ ...stored, my_offset_y: '5' }, { my_offset_y: '5' });
  assert.equal(await page.getAttribute('#x', 'aria-invalid'), 'true');
  await page.fill('#x', '12');
  await expectSave({ ...stored, my_offset_x: '12', my_offset_y: '5' }, { my_offset_x: '12' });
  assert.equal(await page.getAttribute('#x', 'aria-invalid'), 'false');
  assert.equal(await page.$eval('#row-x .error', (e) => e.hidden), true);
  await host.expectQuiet();
});

// ---- modifier keys, steps and saved positions ---------------------------------

async function modifierBoxes() {
  return page.$$eval('#modifiers input', (bs) => bs.map((b) => [b.value, b.checked, b.parentElement.textContent]));
}

test('the modifier boxes save their words in the fixed order and show what is stored', async () => {
  const seq = withCommand('MOUSE_SEQUENCE', 'sequence');
  // start, boxes clicked in turn and the member saved after each
  const cases = [
    [KEY, [['META', 'META'], ['CTRL', 'CTRL+META'], ['ALT', 'CTRL+ALT+META'], ['SHIFT', 'CTRL+SHIFT+ALT+META'],
      ['META', 'CTRL+SHIFT+ALT'], ['CTRL', 'SHIFT+ALT'], ['SHIFT', 'ALT'], ['ALT', '']]],
    // Stored in another order: shown as it is, written in order at the first change.
    [{ ...seq, my_modifiers: 'SHIFT+CTRL' }, [['ALT', 'CTRL+SHIFT+ALT']]],
    [withCommand('MOUSE_WHEEL_UP', 'wheel_up'), [['CTRL', 'CTRL']]],
  ];
  for (const [start, clicks] of cases) {
    await open(start);
    await host.expectQuiet(100);
    let current = start;
    for (const [word, text] of clicks) {
      await page.click(`#modifiers input[value="${word}"]`);
      current = { ...current, my_modifiers: text };
      await expectSave(current, { my_modifiers: text });
    }
    const checked = (await modifierBoxes()).filter(([, on]) => on).map(([w]) => w);
    assert.deepEqual(checked, L.modifierWords(current.my_modifiers).known, JSON.stringify(start));
    await host.expectQuiet(100);
    await page.close();
    page = null;
  }

  // Read back: a stored set checks its boxes, whatever the order it was written in.
  for (const [stored, checked] of [['ALT+CTRL', ['CTRL', 'ALT']], ['', []], ['CTRL+SHIFT+ALT+META', ['CTRL', 'SHIFT', 'ALT', 'META']]]) {
    await open({ ...KEY, my_modifiers: stored });
    await host.expectQuiet(100);
    assert.deepEqual((await modifierBoxes()).filter(([, on]) => on).map(([w]) => w), checked, stored);
    assert.equal(await page.$eval('#row-modifiers .error', (e) => e.hidden), true, stored);
    await page.close();
    page = null;
  }
});

test('stored modifier words the plugin does not know are marked until a box is changed', async () => {
  const start = { ...KEY, my_modifiers: 'CTRL+HYPER' };
  await open(start);
  await host.expectQuiet(100);
  assert.equal(await page.textContent('#row-modifiers .error'),
    'The stored keys “HYPER” are not all known: the key does nothing until a box is changed.');
  assert.equal(await page.getAttribute('#modifiers', 'aria-invalid'), 'true');
  assert.deepEqual((await modifierBoxes()).filter(([, on]) => on).map(([w]) => w), ['CTRL']);
  await page.click('#modifiers input[value="SHIFT"]');
  await expectSave({ ...start, my_modifiers: 'CTRL+SHIFT' }, { my_modifiers: 'CTRL+SHIFT' });
  assert.equal(await page.$eval('#row-modifiers .error', (e) => e.hidden), true);
  assert.equal(await page.getAttribute('#modifiers', 'aria-invalid'), 'false');
});

test('the modifier boxes are named after the host system, and a command without them drops them', async () => {
  const cases = [
    ['windows', ['Ctrl', 'Shift', 'Alt', 'Windows key']],
    ['mac', ['Control', 'Shift', 'Option', 'Command ⌘']],
    ['linux', ['Ctrl', 'Shift', 'Alt', 'Super']],
    ['', ['Ctrl', 'Shift', 'Alt', 'Meta (Win / Cmd / Super)']],
  ];
  for (const [platform, labels] of cases) {
    await open(KEY, { platform });
    await host.expectQuiet(100);
    assert.deepEqual((await modifierBoxes()).map(([w, , label]) => [w, label]),
      labels.map((label, i) => [L.MODIFIER_WORDS[i], label]), platform);
    await page.close();
    page = null;
  }

  const start = { ...KEY, my_modifiers: 'CTRL' };
  await open(start);
  await page.selectOption('#command', 'MOUSE_JIGGLE_TOGGLE');
  await expectSave({ ...KEY, my_mouse_event: 'MOUSE_JIGGLE_TOGGLE', my_icon_name: 'jiggle', my_sleep: '60' },
    { my_mouse_event: 'MOUSE_JIGGLE_TOGGLE', my_sleep: '60', my_icon_name: 'jiggle', my_modifiers: '' },
    'icons/jiggle_6blue.png');
  assert.deepEqual(await visibleRows(), ['sleep']);
  await host.expectQuiet();
});

test('the steps are saved once the typing pauses, so the plugin can check them', async () => {
  const seq = withCommand('MOUSE_SEQUENCE', 'sequence');
  await open(seq);
  await host.expectQuiet(100);
  // Time stands still but for runFor.
  await page.clock.install({ time: 0 });
  await page.clock.pauseAt(1000);
  await page.click('#steps');
  await page.keyboard.type('move 10 20');
  await page.keyboard.press('Enter');
  await page.keyboard.type('click left');
  await page.clock.runFor(250);
  await host.expectQuiet(); // still typing
  await page.clock.runFor(100);
  const typed = 'move 10 20\nclick left';
  await expectSave({ ...seq, my_steps: typed }, { my_steps: typed });
  await host.expectQuiet();

  // Leaving the field saves at once.
  await page.keyboard.type('; wait 50');
  await page.$eval('#steps', (e) => e.blur());
  await expectSave({ ...seq, my_steps: typed + '; wait 50' }, { my_steps: typed + '; wait 50' });
  await page.clock.runFor(1000);
  await host.expectQuiet();
});

test('the plugin\'s check of the steps is shown line by line, with a text per problem', async () => {
  const steps = 'move 10 20\nclik left\nmove +5 5\nclick left\n\nwait 70000';
  await open(withCommand('MOUSE_SEQUENCE', 'sequence', { my_steps: steps }));
  await host.expectQuiet(100);
  assert.equal(await page.inputValue('#steps'), steps);
  assert.equal(await page.$eval('#steps-summary', (e) => e.hidden), true, 'no check before the plugin sends one');

  const problems = [
    { line: 2, text: 'clik left', problem: 'unknown-step' },
    { line: 3, text: 'move +5 5', problem: 'mixed-signs' },
    { line: 6, text: 'wait 70000', problem: 'too-much-wait' },
    { line: 7, text: 'click x9', problem: 'bad-button' },
    { line: 7, text: 'wheel', problem: 'wrong-count' },
    { line: 8, text: 'wait -1', problem: 'bad-number' },
    { line: 70, text: 'up left', problem: 'too-many-steps' },
    { line: 71, text: 'zoom 2', problem: 'a-code-from-a-newer-plugin' },
  ];
  fromPlugin({ stepsCheck: { steps: 64, waitMs: 1500, problems } });
  await page.waitForSelector('#steps-problems:not([hidden])');
  const shown = await page.$$eval('#steps-problems li', (ls) => ls.map((l) => [...l.children].map((c) => c.textContent)));
  assert.deepEqual(shown, [
    ['Line 2: clik left', 'Not a step: the first word is none of the step words.'],
    ['Line 3: move +5 5', 'A move takes two signed numbers (by a step) or two unsigned ones (to a position).'],
    ['Line 6: wait 70000', 'The waits pass 60 seconds in all here.'],
    ['Line 7: click x9', 'The button is not left, middle, right, x1 or x2.'],
    ['Line 7: wheel', 'Too few or too many words for this step.'],
    ['Line 8: wait -1', 'A number is not a whole number, or out of range.'],
    ['Line 70: up left', 'One step too many: a sequence has at most 64.'],
    ['Line 71: zoom 2', 'The plugin cannot read this step.'],
  ]);
  assert.equal(await page.textContent('#steps-summary'), 'Steps: 64; waits: 1.5 s in all.');
  assert.equal(await page.getAttribute('#steps', 'aria-invalid'), 'true');

  // A clean check clears the list; a malformed one clears the check.
  fromPlugin({ stepsCheck: { steps: 3, waitMs: 0, problems: [] } });
  await page.waitForSelector('#steps-problems', { state: 'hidden' });
  assert.equal(await page.textContent('#steps-summary'), 'Steps: 3; waits: 0 s in all.');
  assert.equal(await page.getAttribute('#steps', 'aria-invalid'), 'false');
  fromPlugin({ stepsCheck: { steps: 'many' } });
  await page.waitForSelector('#steps-summary', { state: 'hidden' });
  // The check is only shown: it saves nothing.
  await host.expectQuiet();
});

function globalSettings(settings) {
  host.sendToPages({ event: 'didReceiveGlobalSettings', payload: { settings } });
}

async function slotLines() {
  return page.$$eval('#slots li', (ls) => ls.map((l) => l.textContent));
}

test('a save or restore key shows what each slot holds, from the global settings', async () => {
  const restore = withCommand('MOUSE_POS_RESTORE', 'pos_restore', { my_slot: '2' });
  await open(restore);
  await expectGlobalSettingsAsked();
  assert.equal(await page.inputValue('#slot'), '2');
  assert.equal(await page.$eval('#row-slots', (r) => r.hidden), true, 'hidden until the host answers');

  globalSettings({ slots: { 1: { x: 120, y: 45 }, 3: { x: -1920, y: 1079 } } });
  await page.waitForSelector('#row-slots:not([hidden])');
  assert.deepEqual(await slotLines(), ['Slot 1: 120, 45', 'Slot 2: empty', 'Slot 3: -1920, 1079', 'Slot 4: empty',
    'Slot 5: empty', 'Slot 6: empty', 'Slot 7: empty', 'Slot 8: empty', 'Slot 9: empty']);

  // The host passes on what a save key stored.
  globalSettings({ slots: { 1: { x: 120, y: 45 }, 2: { x: 7, y: 8 }, 3: { x: -1920, y: 1079 } } });
  await page.waitForFunction(() => document.querySelectorAll('#slots li')[1].textContent === 'Slot 2: 7, 8');
  // Global settings without slots: all empty.
  globalSettings({});
  await page.waitForFunction(() => document.querySelectorAll('#slots li')[0].textContent === 'Slot 1: empty');

  await page.selectOption('#slot', '9');
  await expectSave({ ...restore, my_slot: '9' }, { my_slot: '9' });
  assert.deepEqual(await optionLabels('slot'), L.SLOTS.map((n) => [n, `Slot ${n}`]));
  await host.expectQuiet();
});

test('only a page that shows slots asks for them, once', async () => {
  await open(KEY);
  await host.expectQuiet();
  await page.selectOption('#command', 'MOUSE_POS_SAVE');
  await expectSave(withCommand('MOUSE_POS_SAVE', 'pos_save'), { my_mouse_event: 'MOUSE_POS_SAVE', my_icon_name: 'pos_save' },
    'icons/pos_save_6blue.png');
  await expectGlobalSettingsAsked();
  await page.selectOption('#command', 'MOUSE_POS_RESTORE');
  await expectSave(withCommand('MOUSE_POS_RESTORE', 'pos_restore'),
    { my_mouse_event: 'MOUSE_POS_RESTORE', my_icon_name: 'pos_restore' }, 'icons/pos_restore_6blue.png');
  await host.expectQuiet();
  // A page that does not show slots ignores them.
  await page.selectOption('#command', 'MOUSE_LEFT_CLICK');
  await expectSave(KEY, { my_mouse_event: 'MOUSE_LEFT_CLICK', my_icon_name: 'click_left' }, 'icons/click_left_6blue.png');
  globalSettings({ slots: { 1: { x: 1, y: 2 } } });
  await host.expectQuiet();
  assert.equal(await page.$eval('#row-slots', (r) => r.hidden), true);
});
