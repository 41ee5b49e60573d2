// Headless Chromium from the system package, driven by playwright-core.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { PLUGIN_FOLDER } from './bundle.mjs';

export const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

export async function launchBrowser() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    timeout: 30000,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  context.setDefaultTimeout(5000);
  return {
    context,
    async close() {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

export const ACTION_UUID = 'org.deckmouse.mouse';
export const DIAL_ACTION_UUID = 'org.deckmouse.dial';
export const REGISTER_EVENT = 'registerPropertyInspector';

// Loads the page the way the host does and waits until its language is applied.
// `file` and `action` name the dial's page and action instead of the key's;
// `platform` is the host's system as its info names it.
export async function openSettingsPage(context, host, {
  uuid = 'PI-CONTEXT-1', language = 'en', settings = {}, file = 'index.html', action = ACTION_UUID, platform = 'windows',
} = {}) {
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e));
  await page.goto(host.baseUrl + PLUGIN_FOLDER + '/pi/' + file);
  const info = {
    application: { font: 'sans-serif', language, platform, platformVersion: '10.0', version: '6.5.0' },
    plugin: { uuid: 'org.deckmouse', version: '1.0.0.0' },
    devicePixelRatio: 2,
    colors: {},
    devices: [{ id: 'DEV1', name: 'Deck', size: { columns: 5, rows: 3 }, type: 0 }],
  };
  const actionInfo = {
    action,
    context: uuid,
    device: 'DEV1',
    payload: { settings, coordinates: { column: 1, row: 2 }, isInMultiAction: false },
  };
  await page.evaluate(([port, id, reg, inInfo, inActionInfo]) => {
    window.connectElgatoStreamDeckSocket(port, id, reg, inInfo, inActionInfo);
  }, [host.port, uuid, REGISTER_EVENT, JSON.stringify(info), JSON.stringify(actionInfo)]);
  await page.waitForSelector('body[data-language]', { state: 'attached' });
  page.pageErrors = errors;
  return page;
}
