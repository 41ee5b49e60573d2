// The host's global settings: one object per plugin, kept for as long as the
// simulator runs (across restarts of the plugin and of the host), and in a
// JSON file when one is named, so that a test can start a new simulator on
// what an earlier one stored.
import fs from 'node:fs';
import path from 'node:path';

export class GlobalSettingsStore {
  // `file`: read now when it exists, written on every change.
  constructor({ file } = {}) {
    this.file = file;
    this.byPlugin = new Map();
    if (file && fs.existsSync(file)) {
      const stored = JSON.parse(fs.readFileSync(file, 'utf8'));
      for (const [plugin, settings] of Object.entries(stored)) this.byPlugin.set(plugin, settings);
    }
  }

  // A plugin that stored nothing has an empty object, as the host gives it.
  get(plugin) {
    return structuredClone(this.byPlugin.get(plugin) ?? {});
  }

  set(plugin, settings) {
    this.byPlugin.set(plugin, structuredClone(settings));
    if (!this.file) return;
    fs.mkdirSync(path.dirname(this.file), { recursive: true });
    fs.writeFileSync(this.file, JSON.stringify(Object.fromEntries(this.byPlugin), null, 2));
  }
}
