// Key images: the icon that a key's settings name, an image file named by
// the settings page, and a missing icon. The plugin runs the way the host
// installs it: the executable in <bundle>.sdPlugin/bin/, the bundle folder
// (with icons/ and the language files) as its working directory. The
// language file it reads from that folder has no effect on the wire, so
// this layout is only shown to work normally, a click included.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { solidPng } from '../lib/index.js';
import { buildUnderTest, startSession, settings, inputText, pressAndCollect, makeBundle } from './support/e2e.js';

const build = buildUnderTest();

// Icon files in the bundle, each with its own colour so that their bytes differ.
const ICONS = {
  'arrow_2red.png': solidPng(144, 144, [200, 20, 20]),
  'arrow_blue.png': solidPng(144, 144, [20, 20, 200]),
  'wheel_10green.png': solidPng(72, 72, [20, 160, 20]),
};

const CASES = [
  { name: 'name, colour id and colour', icon: { my_icon_name: 'arrow', my_icon_color_id: '2', my_icon_color: 'red' }, file: 'arrow_2red.png' },
  { name: 'an empty colour id', icon: { my_icon_name: 'arrow', my_icon_color_id: '', my_icon_color: 'blue' }, file: 'arrow_blue.png' },
  { name: 'a colour id of two digits', icon: { my_icon_name: 'wheel', my_icon_color_id: '10', my_icon_color: 'green' }, file: 'wheel_10green.png' },
  { name: 'a missing icon', icon: { my_icon_name: 'ghost', my_icon_color_id: '1', my_icon_color: 'green' }, missing: 'icons\\ghost_1green.png' },
  { name: 'no colour', icon: { my_icon_name: 'arrow', my_icon_color_id: '2', my_icon_color: '' } },
  { name: 'no name', icon: { my_icon_name: '', my_icon_color_id: '2', my_icon_color: 'red' } },
];


describe(`${build.name} build: key images, run from a .sdPlugin bundle`, { skip: build.skip }, () => {
  let session;
  let layout;
  before(async () => {
    layout = makeBundle(build, ICONS);
    fs.writeFileSync(path.join(layout.bundle, 'de.json'), JSON.stringify({ Name: 'Maus', Localization: { Mouse: 'Maus' } }));
    fs.writeFileSync(path.join(layout.bundle, 'en.json'), JSON.stringify({ Name: 'Mouse', Localization: {} }));
    layout.picture = path.join(layout.root, 'picture.png');
    fs.writeFileSync(layout.picture, solidPng(144, 144, [250, 200, 0]));
    session = await startSession({ ...build, plugin: layout.exe }, { cwd: layout.bundle, language: 'de' });
  });
  after(async () => {
    await session?.stop();
    if (layout) fs.rmSync(layout.root, { recursive: true, force: true });
  });

  for (const [index, row] of CASES.entries()) {
    const expectation = row.file ? `sends icons/${row.file}` : row.missing ? `prints "Unable to open file ${row.missing}"` : 'sends nothing';
    it(`willAppear with ${row.name} ${expectation}`, async () => {
      const { host } = session;
      const context = `icon-${index}`;
      const printedBefore = host.plugin.stdout.length;
      const sentAt = host.willAppear(context, { settings: settings({ my_mouse_event: 'MOUSE_LEFT_CLICK', ...row.icon }) });
      await session.barrier();
      const barrierLine = await session.outputBarrier();
      const images = host.images.filter((image) => image.context === context && image.time >= sentAt);
      const printed = host.plugin.stdout.slice(printedBefore).split('\n').filter((line) => line !== barrierLine);
      if (row.file) {
        assert.equal(images.length, 1);
        assert.equal(images[0].target, 0);
        assert.ok(images[0].dataUrl, 'the image is not a PNG data URL');
        assert.ok(images[0].bytes.equals(ICONS[row.file]), 'the image differs from the icon file');
        assert.deepEqual(printed, ['']);
      } else {
        assert.deepEqual(images, []);
        // One whole line, ended, so that the next one starts a line of its own.
        assert.deepEqual(printed, row.missing ? [`Unable to open file ${row.missing}`, ''] : ['']);
      }
    });
  }

  it('sendToPlugin with "background-image" sends that file at once', async () => {
    const { host } = session;
    host.willAppear('picture', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_CLICK' }) });
    const sentAt = host.sendToPlugin('picture', { 'background-image': session.pluginPath(layout.picture) });
    const [image] = await host.waitForImage({ context: 'picture', after: sentAt });
    assert.ok(image.bytes.equals(fs.readFileSync(layout.picture)));
    assert.equal(image.target, 0);
  });

  it('works normally from the bundle: the plugin answers a key press', { skip: build.noRecorder }, async () => {
    session.host.willAppear('click', { settings: settings({ my_mouse_event: 'MOUSE_LEFT_CLICK' }) });
    const { events } = await pressAndCollect(session, 'click', { expectedCount: 2 });
    assert.deepEqual(events.map(inputText), ['left down', 'left up']);
    assert.ok(session.host.plugin.running);
  });
});
