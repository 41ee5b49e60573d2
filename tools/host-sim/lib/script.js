// Plays a script of host steps against a running session and reports, step
// by step, what the plugin sent and what the input stack saw.
import { delay, waitFor } from './wait.js';

const fmt = (ms) => `${ms.toFixed(1).padStart(8)} ms`;

export function describePluginMessage(entry) {
  if (entry.binary) return `binary frame of ${entry.bytes.length} bytes`;
  if (entry.json?.event === 'setImage') {
    const image = String(entry.json.payload?.image ?? '');
    return `setImage context=${entry.json.context} target=${JSON.stringify(entry.json.payload?.target)} image=${image.slice(0, 40)}… (${image.length} chars)`;
  }
  return entry.text.length > 300 ? `${entry.text.slice(0, 300)}…` : entry.text;
}

export function describeInput(event) {
  switch (event.kind) {
    case 'button': return `button ${event.button} ${event.down ? 'down' : 'up'}`;
    case 'wheel': return `wheel ${event.axis} ${event.amount > 0 ? '+' : ''}${event.amount}`;
    case 'move': return `move to (${event.x}, ${event.y})`;
    case 'key': return `key ${event.key} ${event.down ? 'down' : 'up'}`;
    default: return JSON.stringify(event);
  }
}

// Prints everything as it happens, with host times.
export function attachReporter(session, print = console.log) {
  const { host, recorder } = session;
  host.on('plugin-message', (entry) => print(`${fmt(entry.time)}  plugin -> host  ${describePluginMessage(entry)}`));
  host.on('image', (image) => image.file && print(`${fmt(image.time)}                 saved ${image.file} (${image.bytes.length} bytes)`));
  host.on('stdout', ({ time, text }) => print(`${fmt(time)}  plugin stdout   ${JSON.stringify(text)}`));
  host.on('exit', ({ time, code, signal }) => print(`${fmt(time)}  plugin exited   ${code ?? signal}`));
  host.on('page-message', (entry) => print(`${fmt(entry.time)}  page -> host    ${entry.text}`));
  recorder?.on('event', (event) => {
    if (event.kind !== 'move' || recorder.printMoves) {
      print(`${fmt(event.hostTime - host.origin)}  input           ${describeInput(event)}${event.injected === undefined ? '' : event.injected ? ' (injected)' : ''}`);
    }
  });
}

function matches(event, pattern) {
  return Object.entries(pattern).every(([key, value]) => event[key] === value);
}

export async function playScript(session, steps, print = console.log) {
  const { host, recorder } = session;
  let mark = recorder?.mark() ?? 0;
  let since = host.now();
  for (const [index, step] of steps.entries()) {
    const label = `step ${index + 1}: ${JSON.stringify(step)}`;
    print(`${fmt(host.now())}  ${label}`);
    const timeoutMs = step.timeoutMs ?? 5000;
    if (step.do !== 'wait' && step.do !== 'settle') {
      mark = recorder?.mark() ?? 0;
      since = host.now();
    }
    switch (step.do) {
      case 'willAppear':
        host.willAppear(step.context, { settings: step.settings, coordinates: step.coordinates });
        break;
      case 'willDisappear':
      case 'keyDown':
      case 'keyUp':
        host[step.do](step.context);
        break;
      case 'press':
        host.keyDown(step.context);
        await delay(step.holdMs ?? 100);
        host.keyUp(step.context);
        break;
      case 'sendToPlugin':
        host.sendToPlugin(step.context, step.payload ?? {});
        break;
      case 'deviceDidConnect':
        host.deviceDidConnect(step.device, step.deviceInfo);
        break;
      case 'deviceDidDisconnect':
        host.deviceDidDisconnect(step.device);
        break;
      case 'text':
        host.send(String(step.text));
        break;
      case 'binary':
        host.send(step.hex !== undefined ? Buffer.from(step.hex, 'hex') : Buffer.from(step.text ?? '', 'utf8'));
        break;
      case 'moveCursor':
        await session.setCursor(step.x, step.y);
        break;
      case 'cursor': {
        const at = await session.cursor();
        print(`${fmt(host.now())}  cursor at (${at.x}, ${at.y})`);
        break;
      }
      case 'settle':
        await delay(step.ms ?? 200);
        break;
      case 'close': {
        const { code, signal } = await host.closeConnection({ timeoutMs });
        print(`${fmt(host.now())}  connection closed, plugin exit ${code ?? signal}`);
        break;
      }
      case 'wait':
        await waitStep(session, step, { mark, since, timeoutMs });
        break;
      default:
        throw new Error(`unknown step ${JSON.stringify(step.do)} in ${label}`);
    }
  }
}

async function waitStep(session, step, { mark, since, timeoutMs }) {
  const { host, recorder } = session;
  switch (step.for) {
    case 'image':
      return host.waitForImage({ context: step.context, count: step.count ?? 1, after: since, timeoutMs });
    case 'input':
      if (!recorder) throw new Error('waiting for input needs a recorder');
      return recorder.waitForEvents(mark, (events) => events.filter((event) => matches(event, step.match ?? {})).length >= (step.count ?? 1),
        { timeoutMs, what: `input ${JSON.stringify(step.match ?? {})}` });
    case 'cursor':
      return waitFor(async () => {
        const at = await session.cursor();
        return at.x === step.x && at.y === step.y;
      }, { timeoutMs, what: `the cursor at (${step.x}, ${step.y})` });
    case 'stdout':
      return host.waitForStdout(step.text, timeoutMs);
    case 'idle':
      return session.settle({ timeoutMs });
    case 'exit':
      return host.plugin.waitForExit(timeoutMs);
    default:
      throw new Error(`unknown wait ${JSON.stringify(step.for)}`);
  }
}

// Played when no script is given: a left click, an icon request and a
// clean close.
export const DEFAULT_SCRIPT = [
  { do: 'willAppear', context: 'key-1', settings: { my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '30', my_offset_x: '0', my_offset_y: '0', my_wheel: '120', my_repeat_loops: '0', my_icon_name: 'mouse', my_icon_color: 'blue', my_icon_color_id: '1' } },
  { do: 'press', context: 'key-1', holdMs: 50 },
  { do: 'wait', for: 'idle' },
  { do: 'close' },
];
