// One plugin under test with everything around it: the X display, Wine
// when the build is the Windows one, the input recorder and the host.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { ensureDisplay, getCursor, setCursor } from './display.js';
import { ensureWinePrefix, stopWine, wineEnv } from './wine.js';
import { InputRecorder } from './recorder.js';
import { StreamDeckHost } from './host.js';
import { solidPng } from './png.js';

export class Session {
  static async start({ plugin, wine = false, recorder, cwd, language = 'en', outDir, log = () => {}, registrationTimeoutMs } = {}) {
    const session = new Session();
    session.log = log;
    session.wine = wine;
    session.scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-host-sim-'));
    try {
      session.x = await ensureDisplay();
      session.display = session.x.display;
      let env = { ...process.env, DISPLAY: session.display };
      if (wine) {
        env = wineEnv(env);
        await ensureWinePrefix(env, { log });
      }
      session.env = env;
      if (recorder) {
        session.recorder = await InputRecorder.start({ recorder, wine: wine && recorder !== 'xinput', env });
      }
      session.host = new StreamDeckHost({ outDir: outDir ?? path.join(session.scratch, 'images'), language });
      await session.host.listen();
      session.host.launch({ exe: plugin, wine, cwd: cwd ?? path.dirname(plugin), env });
      // A Windows build's first start in a prefix loads Wine's libraries.
      await session.host.waitForRegistration(registrationTimeoutMs ?? (wine ? 90000 : 15000));
    } catch (error) {
      await session.stop();
      throw error;
    }
    return session;
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

  // Returns once the plugin has handled everything sent before: a
  // sendToPlugin that names an image file is answered with setImage only
  // after the commands queued in front of it have finished.
  async barrier(timeoutMs = 10000) {
    const host = this.host;
    if (!this.barrierImage) {
      this.barrierImage = path.join(this.scratch, 'barrier.png');
      fs.writeFileSync(this.barrierImage, solidPng(2, 2, [0, 0, 0]));
      host.unsavedContexts.add('host-sim-barrier');
      host.willAppear('host-sim-barrier', { settings: {} });
    }
    const count = host.images.filter((image) => image.context === 'host-sim-barrier').length + 1;
    host.sendToPlugin('host-sim-barrier', { 'background-image': this.pluginPath(this.barrierImage) });
    const images = await host.waitForImage({ context: 'host-sim-barrier', count, timeoutMs });
    return images[images.length - 1].time;
  }

  async stop() {
    await this.host?.stop().catch(() => {});
    await this.recorder?.stop().catch(() => {});
    if (this.wine && this.env) await stopWine(this.env);
    await this.x?.stop();
    fs.rmSync(this.scratch, { recursive: true, force: true });
  }
}
