// What the input stack saw, as reported by a recorder process: one JSON
// object per line on its standard output, {"ready":true} first. Key events
// ({kind: 'key', down}) get a `key` that names the modifier the same way
// on every system: 'ctrl', 'shift', 'alt' or 'meta'.
import { EventEmitter } from 'node:events';
import { spawn } from 'node:child_process';
import readline from 'node:readline';
import { waitFor, withDeadline, delay } from './wait.js';

export class InputRecorder extends EventEmitter {
  // `command`/`args` start the recorder; `parse` turns one output line into
  // an event, {ready:true}, or undefined for lines to ignore.
  constructor({ command, args = [], env, name = 'recorder', parse = parseRecorderLine }) {
    super();
    this.name = name;
    this.events = [];
    this.noise = [];
    this.clockOffset = Infinity;
    this.stderr = '';
    this.ready = false;
    this.child = spawn(command, args, { env, stdio: ['pipe', 'pipe', 'pipe'] });
    this.child.stderr.setEncoding('utf8');
    this.child.stderr.on('data', (chunk) => {
      this.stderr += chunk;
    });
    this.exited = new Promise((resolve) => {
      this.child.on('error', (error) => {
        this.stderr += `\n${error.message}`;
        resolve({ code: null, signal: 'spawn-error' });
      });
      this.child.on('close', (code, signal) => resolve({ code, signal }));
    });
    this.exited.then(() => {
      this.closed = true;
    });
    readline.createInterface({ input: this.child.stdout }).on('line', (line) => {
      const hostTime = performance.now();
      const parsed = parse(line);
      if (parsed === undefined) {
        if (line.trim()) this.noise.push(line);
        return;
      }
      if (parsed.ready) {
        this.ready = true;
        this.emit('ready');
        return;
      }
      const event = { ...parsed, hostTime };
      if (typeof event.time === 'number') this.clockOffset = Math.min(this.clockOffset, hostTime - event.time);
      this.events.push(event);
      this.emit('event', event);
    });
  }

  static async start({ recorder, wine = false, env, readyTimeoutMs = wine ? 90000 : 15000 }) {
    const instance = recorder === 'xinput'
      ? new InputRecorder({ command: 'stdbuf', args: ['-oL', 'xinput', 'test-xi2', '--root'], env, name: 'xinput', parse: xinputParser() })
      : wine
        ? new InputRecorder({ command: 'wine', args: [recorder], env, name: 'recorder (Wine)' })
        : new InputRecorder({ command: recorder, env });
    try {
      await withDeadline(Promise.race([
        new Promise((resolve) => instance.once('ready', resolve)),
        instance.exited.then(({ code, signal }) => {
          throw new Error(`${instance.name} ended (${code ?? signal}) before it was ready: ${instance.stderr}`);
        }),
      ]), readyTimeoutMs, `${instance.name} to be ready`);
    } catch (error) {
      await instance.stop();
      throw error;
    }
    return instance;
  }

  // When an event happened on the host's clock (performance.now()): its own
  // time, moved by the smallest gap yet seen between an event's time and its
  // arrival here. Late by that smallest delay at most, and right even when
  // the recorder's lines come late.
  hostTimeOf(event) {
    return event.time + this.clockOffset;
  }

  // A position in the event list, to look at what came after it.
  mark() {
    return this.events.length;
  }

  since(mark, filter = () => true) {
    return this.events.slice(mark).filter(filter);
  }

  // Resolves with the events after `mark` once `enough(events)` holds.
  async waitForEvents(mark, enough, { timeoutMs = 3000, what = 'input events', filter } = {}) {
    return waitFor(() => {
      const events = this.since(mark, filter);
      return enough(events) ? events : undefined;
    }, { timeoutMs, intervalMs: 5, what: `${what} (seen so far: ${JSON.stringify(this.since(mark, filter))})` });
  }

  // Watches for `ms` and returns what arrived meanwhile, to show that
  // nothing more comes.
  async settle(ms, filter = () => true) {
    const mark = this.mark();
    await delay(ms);
    return this.since(mark, filter);
  }

  // Resolves once no event has arrived for `quietMs` (counted from the
  // call at the earliest) and returns what arrived meanwhile; rejects when
  // the input is still going after `timeoutMs`.
  async waitForQuiet(quietMs, { timeoutMs = 10000, filter = () => true } = {}) {
    const mark = this.mark();
    const start = performance.now();
    await waitFor(() => {
      const last = this.since(mark, filter).at(-1)?.hostTime ?? start;
      return performance.now() - last >= quietMs;
    }, { timeoutMs, intervalMs: 5, what: `${quietMs} ms without input (seen: ${this.since(mark, filter).length} events)` });
    return this.since(mark, filter);
  }

  async stop() {
    if (this.closed) return;
    this.child.stdin.end();
    this.child.kill('SIGTERM');
    await withDeadline(this.exited, 5000, `${this.name} to end`).catch(() => {
      this.child.kill('SIGKILL');
      return withDeadline(this.exited, 5000, `${this.name} to be killed`);
    });
  }
}

export const isButtonOrWheel = (event) => event.kind === 'button' || event.kind === 'wheel';
export const isKey = (event) => event.kind === 'key';
// The mouse input a command makes and the modifier keys around it.
export const isButtonWheelOrKey = (event) => isButtonOrWheel(event) || isKey(event);

// The left-hand modifier keys by the words of "my_modifiers", in lower case,
// from what each recorder reports of a key: the X11 recorder its keysym, the
// Windows one its virtual key (VK_LCONTROL, VK_LSHIFT, VK_LMENU, VK_LWIN).
const MODIFIER_KEYSYMS = { Control_L: 'ctrl', Shift_L: 'shift', Alt_L: 'alt', Super_L: 'meta' };
const MODIFIER_VKS = { 0xA2: 'ctrl', 0xA0: 'shift', 0xA4: 'alt', 0x5B: 'meta' };

// A key event's `key`: the modifier's word, or for any other key its keysym
// or "vk" and the number, so that a test sees what else came.
function keyName({ keysym, vk }) {
  if (keysym !== undefined) return MODIFIER_KEYSYMS[keysym] ?? keysym;
  return MODIFIER_VKS[vk] ?? `vk${vk}`;
}

export function parseRecorderLine(line) {
  let value;
  try {
    value = JSON.parse(line);
  } catch {
    return undefined;
  }
  if (value === null || typeof value !== 'object') return undefined;
  if (value.ready === true) return { ready: true };
  if (typeof value.kind !== 'string') return undefined;
  if (value.kind === 'key') return { ...value, key: keyName(value) };
  return value;
}

// X core buttons as the X11 backend uses them.
const XI_BUTTONS = { 1: ['button', 'left'], 2: ['button', 'middle'], 3: ['button', 'right'], 8: ['button', 'x1'], 9: ['button', 'x2'],
  4: ['wheel', 'vertical', 120], 5: ['wheel', 'vertical', -120], 6: ['wheel', 'horizontal', -120], 7: ['wheel', 'horizontal', 120] };

// Reads `xinput test-xi2 --root` into the recorder format, for machines
// without the recorder. It carries no event times of its own, so an event's
// time is when its line arrived here.
export function xinputParser() {
  let pending;
  let announced = false;
  return (line) => {
    if (!announced) {
      announced = true;
      return { ready: true };
    }
    const type = /^EVENT type \d+ \((\w+)\)/.exec(line);
    if (type) {
      pending = type[1] === 'RawButtonPress' || type[1] === 'RawButtonRelease' ? type[1] : undefined;
      return undefined;
    }
    const detail = /^\s+detail: (\d+)/.exec(line);
    if (!pending || !detail) return undefined;
    const down = pending === 'RawButtonPress';
    pending = undefined;
    const mapped = XI_BUTTONS[detail[1]];
    if (!mapped) return undefined;
    const time = performance.now();
    if (mapped[0] === 'button') return { kind: 'button', button: mapped[1], down, time };
    return down ? { kind: 'wheel', axis: mapped[1], amount: mapped[2], time } : undefined;
  };
}
