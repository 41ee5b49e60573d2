// One plugin under test with everything around it: the X display, Wine
// when the build is the Windows one, the input recorder and the host.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { ensureDisplay, getCursor, setCursor } from './display.js';
import { ensureWinePrefix, stopWine, wineEnv } from './wine.js';
import { InputRecorder } from './recorder.js';
import { StreamDeckHost } from './host.js';
import { GlobalSettingsStore } from './global-settings.js';
import { solidPng } from './png.js';
import { delay } from './wait.js';

// Every pass of a key command ends with a wait of this length, so a
// command that is still running shows input again within it.
const PASS_WAIT_MS = 200;
// Input that stays quiet for this long shows that no command making input
// is under way: a pass wait plus a margin for late wake-ups and for the
// recorder's pipe.
export const COMMAND_QUIET_MS = PASS_WAIT_MS + 150;

export class Session {
  // `globalSettingsFile`: where the hosts keep the plugin's global settings,
  // read at the start when it exists; without it they live as long as the
  // session, across restartPlugin. `holdGlobalSettings` as for
  // StreamDeckHost, for the first host.
  static async start({ plugin, wine = false, emulator = [], recorder, cwd, language = 'en', outDir, log = () => {}, registrationTimeoutMs, stdout, env: extraEnv = {}, globalSettingsFile, holdGlobalSettings } = {}) {
    const session = new Session();
    session.globalSettings = new GlobalSettingsStore({ file: globalSettingsFile });
    session.log = log;
    session.wine = wine;
    session.scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-host-sim-'));
    try {
      session.x = await ensureDisplay();
      session.display = session.x.display;
      let env = { ...process.env, DISPLAY: session.display, ...extraEnv };
      if (wine) {
        env = wineEnv(env);
        await ensureWinePrefix(env, { log });
      }
      session.env = env;
      if (recorder) {
        session.recorder = await InputRecorder.start({ recorder, wine: wine && recorder !== 'xinput', env });
      }
      session.launchOptions = { plugin, emulator, cwd, language, outDir, registrationTimeoutMs };
      await session.#launch({ stdout, holdGlobalSettings });
    } catch (error) {
      await session.stop();
      throw error;
    }
    return session;
  }

  // Ends the plugin and its host and starts a new pair on the same display,
  // Wine prefix and recorder, which are slow to start; `stdout` as in
  // StreamDeckHost.launch, `holdGlobalSettings` as for StreamDeckHost.
  async restartPlugin({ stdout, holdGlobalSettings } = {}) {
    await this.host?.stop();
    await this.#launch({ stdout, holdGlobalSettings });
  }

  async #launch({ stdout, holdGlobalSettings }) {
    const { plugin, emulator, cwd, language, outDir, registrationTimeoutMs } = this.launchOptions;
    this.host = new StreamDeckHost({ outDir: outDir ?? path.join(this.scratch, 'images'), language, globalSettings: this.globalSettings, holdGlobalSettings });
    await this.host.listen();
    this.host.launch({ exe: plugin, wine: this.wine, emulator, cwd: cwd ?? path.dirname(plugin), env: this.env, stdout });
    // A Windows build's first start in a prefix loads Wine's libraries.
    await this.host.waitForRegistration(registrationTimeoutMs ?? (this.wine ? 90000 : emulator.length ? 30000 : 15000));
  }

  // A file path as the plugin should name it: under Wine, the Unix root is
  // drive Z:.
  pluginPath(file) {
    const absolute = path.resolve(file);
    return this.wine ? `Z:${absolute.replace(/\//g, '\\')}` : absolute;
  }

  cursor() {
    return getCursor(this.display);
  }

  setCursor(x, y) {
    return setCursor(this.display, x, y);
  }

  // Returns once the plugin's connection has handled every message sent
  // before: a sendToPlugin that names an image file is answered with
  // setImage after the messages in front of it and the images they asked
  // for. Key commands run apart from the connection, so a command may still
  // be running: see settle().
  async barrier(timeoutMs = 10000) {
    const host = this.host;
    if (!this.barrierImage) {
      this.barrierImage = path.join(this.scratch, 'barrier.png');
      fs.writeFileSync(this.barrierImage, solidPng(2, 2, [0, 0, 0]));
    }
    const context = this.#barrierContext();
    const count = host.images.filter((image) => image.context === context).length + 1;
    host.sendToPlugin(context, { 'background-image': this.pluginPath(this.barrierImage) });
    const images = await host.waitForImage({ context, count, timeoutMs });
    return images[images.length - 1].time;
  }

  // The key that the barriers use, shown to the plugin on first use.
  #barrierContext() {
    const context = 'host-sim-barrier';
    if (!this.host.unsavedContexts.has(context)) {
      this.host.unsavedContexts.add(context);
      this.host.willAppear(context, { settings: {} });
    }
    return context;
  }

  // Returns once the plugin has printed what the messages sent so far made
  // it print: it is asked for a file that does not exist, and its lines come
  // out in order. Returns the line it printed for that, which callers leave
  // out of what they look at.
  async outputBarrier(timeoutMs = 10000) {
    this.outputBarriers = (this.outputBarriers ?? 0) + 1;
    const missing = this.pluginPath(path.join(this.scratch, `host-sim-barrier-${this.outputBarriers}.png`));
    this.host.sendToPlugin(this.#barrierContext(), { 'background-image': missing });
    const line = `Unable to open file ${missing}`;
    await this.host.waitForStdout(line, timeoutMs);
    return line;
  }

  // Returns once the messages sent so far are handled and the input has
  // been quiet for longer than a pass wait (or, without a recorder, once a
  // pass wait has gone by): a key command that is still running would have
  // shown more input by then. A command whose passes make no input and
  // whose single action comes only after several passes is waited for by
  // that action instead (recorder.waitForEvents, or the cursor).
  async settle({ quietMs = COMMAND_QUIET_MS, timeoutMs = 10000 } = {}) {
    await this.barrier(timeoutMs);
    if (this.recorder) await this.recorder.waitForQuiet(quietMs, { timeoutMs });
    else await delay(quietMs);
  }

  async stop() {
    await this.host?.stop().catch(() => {});
    await this.recorder?.stop().catch(() => {});
    if (this.wine && this.env) await stopWine(this.env);
    await this.x?.stop();
    fs.rmSync(this.scratch, { recursive: true, force: true });
  }
}
