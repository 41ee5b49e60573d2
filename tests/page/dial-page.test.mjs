// The dial's settings page: its rules in Node, then the page in headless
// Chromium against a host on 127.0.0.1, with the exact messages it sends.
import { test, before, after, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { pluginDir } from './lib/bundle.mjs';
import { startFakeHost } from './lib/fake-host.mjs';
import { launchBrowser, openSettingsPage, DIAL_ACTION_UUID, REGISTER_EVENT } from './lib/browser.mjs';
import { dialLogic as D } from './lib/page-source.mjs';

const UUID = 'PI-DIAL-1';
const DEFAULTS = { dial_rotate: 'WHEEL', dial_step: '120', dial_accel: '0', dial_press: 'LEFT_HOLD', dial_touch: 'SWAP' };
const DIAL = { dial_rotate: 'HWHEEL', dial_step: '60', dial_accel: '40', dial_press: 'SWAP', dial_touch: 'RIGHT_CLICK' };

test('stored settings are normalised as the plugin would read them', () => {
  const cases = [
    [{}, DEFAULTS],
    [DIAL, DIAL],
    [{ dial_rotate: 'MOVE_Y' }, { ...DEFAULTS, dial_rotate: 'MOVE_Y', dial_step: '10' }],
    [{ dial_rotate: 'SIDEWAYS', dial_step: '0', dial_accel: '101' }, DEFAULTS],
    [{ dial_rotate: 'MOVE_X', dial_step: '501' }, { ...DEFAULTS, dial_rotate: 'MOVE_X', dial_step: '10' }],
    [{ dial_step: '-1200', dial_accel: '100' }, { ...DEFAULTS, dial_step: '-1200', dial_accel: '100' }],
    [{ dial_step: 120, dial_press: 'HOLD', dial_touch: 'LEFT_HOLD' }, DEFAULTS],
  ];
  for (const [stored, expected] of cases) assert.deepEqual(D.normalize(stored), expected, JSON.stringify(stored));
});

test('a new axis keeps the step within its kind and starts over across kinds', () => {
  assert.equal(D.withAxis({ ...DEFAULTS, dial_step: '60' }, 'HWHEEL').dial_step, '60');
  assert.equal(D.withAxis({ ...DEFAULTS, dial_step: '60' }, 'MOVE_X').dial_step, '10');
  assert.equal(D.withAxis({ ...DEFAULTS, dial_rotate: 'MOVE_X', dial_step: '3' }, 'WHEEL').dial_step, '120');
});

test('the strip shows notches for the wheels and pixels for moves', () => {
  const cases = [['WHEEL', '120', '1'], ['HWHEEL', '60', '0.5'], ['WHEEL', '40', '0.33'], ['WHEEL', '-270', '-2.25'], ['MOVE_X', '-7', '-7']];
  for (const [rotate, step, shown] of cases) {
    const strip = D.strip({ ...DEFAULTS, dial_rotate: rotate, dial_step: step });
    assert.equal(strip.value.args[0], shown, `${rotate} ${step}`);
  }
});

let host;
let browser;
let page = null;

before(async () => {
  host = await startFakeHost({ root: path.dirname(pluginDir()) });
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

async function open(settings, { language = 'en' } = {}) {
  host.drain();
  page = await openSettingsPage(browser.context, host, { uuid: UUID, language, settings, file: 'dial.html', action: DIAL_ACTION_UUID });
  assert.deepEqual(await host.nextMessage(), { event: REGISTER_EVENT, uuid: UUID });
}

// One save: the whole settings to the host, and the same to the plugin.
async function expectSave(settings) {
  const stored = await host.nextMessage();
  assert.deepEqual(stored, { event: 'setSettings', context: UUID, payload: settings });
  assert.deepEqual(Object.keys(stored.payload), D.MEMBERS);
  assert.deepEqual(await host.nextMessage(), { event: 'sendToPlugin', action: DIAL_ACTION_UUID, context: UUID, payload: settings });
}

const strip = () => page.evaluate(() => ({
  title: document.getElementById('strip-title').textContent,
  value: document.getElementById('strip-value').textContent,
  indicator: document.getElementById('strip-indicator').style.width,
}));

test('a new dial registers, then stores a working set of settings', async () => {
  await open({});
  await expectSave(DEFAULTS);
  await host.expectQuiet();
  assert.deepEqual(await strip(), { title: 'Scroll', value: '1 notch', indicator: '0%' });
});

test('complete settings are shown as stored, with the strip they make, and not saved again', async () => {
  await open(DIAL);
  await host.expectQuiet();
  assert.equal(await page.inputValue('#rotate'), 'HWHEEL');
  assert.equal(await page.inputValue('#step'), '60');
  assert.equal(await page.inputValue('#accel'), '40');
  assert.equal(await page.inputValue('#press'), 'SWAP');
  assert.equal(await page.inputValue('#touch'), 'RIGHT_CLICK');
  assert.equal(await page.textContent('#row-step .caption'), 'Step (wheel units)');
  assert.deepEqual(await strip(), { title: 'Scroll sideways', value: '0.5 notches', indicator: '40%' });
  const touches = await page.$$eval('#touch option', (os) => os.map((o) => o.value));
  assert.ok(!touches.includes('LEFT_HOLD'), 'a tap cannot hold a button');
});

test('every change is saved at once; a move axis gets its own step, unit and strip', async () => {
  await open(DIAL);
  await page.selectOption('#rotate', 'MOVE_Y');
  await expectSave({ ...DIAL, dial_rotate: 'MOVE_Y', dial_step: '10' });
  assert.equal(await page.textContent('#row-step .caption'), 'Step (px)');
  assert.equal(await page.inputValue('#step'), '10');
  await page.fill('#accel', '75');
  await expectSave({ ...DIAL, dial_rotate: 'MOVE_Y', dial_step: '10', dial_accel: '75' });
  await page.selectOption('#press', 'LEFT_HOLD');
  await expectSave({ ...DIAL, dial_rotate: 'MOVE_Y', dial_step: '10', dial_accel: '75', dial_press: 'LEFT_HOLD' });
  assert.deepEqual(await strip(), { title: 'Move up/down', value: '10 px', indicator: '75%' });
  await host.expectQuiet();
});

test('a step or acceleration out of range is marked and not saved', async () => {
  await open(DEFAULTS);
  for (const [id, text] of [['step', '0'], ['step', '1201'], ['step', '1.5'], ['accel', '101'], ['accel', '-1']]) {
    await page.fill(`#${id}`, text);
    assert.equal(await page.getAttribute(`#${id}`, 'aria-invalid'), 'true', `${id} ${text}`);
    assert.ok(await page.isVisible(`#row-${id} .error`), `${id} ${text}`);
  }
  await host.expectQuiet();
  assert.equal(await page.textContent('#row-accel .error'), 'Enter a whole number from 0 to 100.');
  await page.fill('#step', '-30');
  await expectSave({ ...DEFAULTS, dial_step: '-30' });
  assert.equal(await page.getAttribute('#step', 'aria-invalid'), 'false');
  assert.equal((await strip()).value, '-0.25 notches');
});

test('in German the captions, choices and strip read in German', async () => {
  await open(DEFAULTS, { language: 'de' });
  await host.expectQuiet();
  assert.equal(await page.textContent('label[for="rotate"]'), 'Drehen');
  assert.equal(await page.textContent('#rotate option[value="HWHEEL"]'), 'Seitwärts scrollen');
  assert.equal(await page.textContent('#row-step .caption'), 'Schritt (Radeinheiten)');
  assert.deepEqual(await strip(), { title: 'Scrollen', value: '1 Raste', indicator: '0%' });
});

test('settings the host sends later are shown without being saved back', async () => {
  await open(DEFAULTS);
  host.sendToPages({ event: 'didReceiveSettings', action: DIAL_ACTION_UUID, context: UUID, payload: { settings: DIAL } });
  await page.waitForFunction(() => document.getElementById('rotate').value === 'HWHEEL');
  assert.deepEqual(await strip(), { title: 'Scroll sideways', value: '0.5 notches', indicator: '40%' });
  await host.expectQuiet();
});
