#!/usr/bin/env node
// Plays the Stream Deck host for a deckmouse plugin executable:
//   node tools/host-sim/host-sim.js --plugin <exe> [--wine] [--cwd <plugin folder>]
//        [--script <file.json>] [--out <dir>] [--recorder <path>|xinput] [--language <code>]
//        [--global-settings <file.json>]
// and prints, step by step, what the plugin sent and what the input stack saw.
import fs from 'node:fs';
import path from 'node:path';
import { parseArgs } from 'node:util';
import { Session, playScript, attachReporter, DEFAULT_SCRIPT } from './lib/index.js';

const USAGE = 'usage: host-sim.js --plugin <exe> [--wine] [--cwd <plugin folder>] [--script <file.json>] [--out <dir>] [--recorder <path>|xinput] [--language <code>] [--global-settings <file.json>]';

function defaultRecorder(plugin, wine) {
  if (process.env.DECKMOUSE_RECORDER) return process.env.DECKMOUSE_RECORDER;
  const candidate = path.join(path.dirname(plugin), 'tools', wine ? 'deckmouse_input_recorder.exe' : 'deckmouse_x11_recorder');
  return fs.existsSync(candidate) ? candidate : undefined;
}

async function main() {
  const { values } = parseArgs({
    options: {
      plugin: { type: 'string' },
      wine: { type: 'boolean', default: false },
      cwd: { type: 'string' },
      script: { type: 'string' },
      out: { type: 'string' },
      recorder: { type: 'string' },
      language: { type: 'string', default: 'en' },
      'global-settings': { type: 'string' },
      help: { type: 'boolean', default: false },
    },
  });
  if (values.help || !values.plugin) {
    console.error(USAGE);
    return values.help ? 0 : 2;
  }
  const plugin = path.resolve(values.plugin);
  if (!fs.existsSync(plugin)) {
    console.error(`no plugin executable at ${plugin}`);
    return 2;
  }
  let steps = DEFAULT_SCRIPT;
  if (values.script) {
    const parsed = JSON.parse(fs.readFileSync(values.script, 'utf8'));
    steps = Array.isArray(parsed) ? parsed : parsed.steps;
    if (!Array.isArray(steps)) throw new Error(`${values.script} holds neither an array of steps nor {"steps": [...]}`);
  }
  const recorder = values.recorder ?? defaultRecorder(plugin, values.wine);
  const outDir = path.resolve(values.out ?? 'host-sim-out');
  if (!recorder) console.log('no input recorder: input events are not shown (give --recorder <path> or --recorder xinput)');

  const session = await Session.start({
    plugin, wine: values.wine, recorder, cwd: values.cwd ? path.resolve(values.cwd) : undefined,
    language: values.language, outDir, log: (line) => console.log(line),
    globalSettingsFile: values['global-settings'] && path.resolve(values['global-settings']),
  });
  const { host } = session;
  console.log(`display ${session.display}, host port ${host.port}, plugin pid ${host.plugin.pid}`);
  console.log(`registration ${host.registration.text} (${host.registration.exact ? 'as expected' : `expected ${host.registration.expected}`})`);
  attachReporter(session);
  let failed = false;
  try {
    await playScript(session, steps);
  } catch (error) {
    failed = true;
    console.error(`script failed: ${error.message}`);
  } finally {
    await session.stop();
  }
  if (host.plugin.exitCode !== undefined) console.log(`plugin exit code ${host.plugin.exitCode ?? host.plugin.signal}`);
  if (host.images.length) console.log(`${host.images.length} image(s) saved under ${outDir}`);
  for (const problem of host.protocolErrors) console.log(`protocol problem: ${problem}`);
  return failed || host.protocolErrors.length ? 1 : 0;
}

main().then((code) => {
  process.exitCode = code;
}, (error) => {
  console.error(error.stack ?? String(error));
  process.exitCode = 1;
});
