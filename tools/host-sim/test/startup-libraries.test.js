// An X11 session starts the plugin with the libraries of X11 alone: the
// Wayland client library, libxkbcommon and sd-bus are loaded only where
// their input path is chosen (libxkbcommon only at its first modifier key). Seen from outside, in what the running process has mapped.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { waitFor } from '../lib/index.js';
import { buildUnderTest, sessionForSuite, settings } from './support/e2e.js';

const build = buildUnderTest();

const LOADED_ONLY_WHEN_CHOSEN = [/libwayland-client\.so/, /libxkbcommon\.so/, /libsystemd\.so/];

function mappedLibraries(pid) {
  const lines = fs.readFileSync(`/proc/${pid}/maps`, 'utf8').split('\n');
  return [...new Set(lines.map((line) => line.split(/\s+/)[5]).filter((file) => file && file.includes('.so')))];
}

describe(`${build.name} build: the libraries of an X11 session`, { skip: build.skip || (build.wine && 'a Windows build has no Linux libraries') }, () => {
  const suite = sessionForSuite(build, () => ({ env: { WAYLAND_DISPLAY: '' } }));

  it('neither the Wayland client library, libxkbcommon nor sd-bus is mapped, before or after the input path is chosen', async () => {
    const { session } = suite;
    const { host } = session;
    const pid = host.plugin.child.pid;
    const before = mappedLibraries(pid);
    // The first key makes the plugin choose its input path; the placement
    // shows that it has.
    host.willAppear('place', { settings: settings({ my_mouse_event: 'MOUSE_CURSOR_POS', my_offset_x: '321', my_offset_y: '123' }) });
    host.keyDown('place');
    host.keyUp('place');
    await waitFor(async () => {
      const at = await session.cursor();
      return at.x === 321 && at.y === 123;
    }, { timeoutMs: 5000, what: 'the placement' });
    const chosen = mappedLibraries(pid);
    for (const [when, libraries] of [['at registration', before], ['with X11 chosen', chosen]]) {
      const unwanted = libraries.filter((file) => LOADED_ONLY_WHEN_CHOSEN.some((pattern) => pattern.test(file)));
      assert.deepEqual(unwanted, [], `mapped ${when}`);
    }
    assert.ok(chosen.some((file) => /libX11\.so/.test(file)), `libX11 is not mapped: ${JSON.stringify(chosen)}`);
  });
});
