// The Stream Deck host as a plugin sees it: a WebSocket server on the
// loopback address, the command line that starts the plugin, the event
// messages of the keys, and a relay for settings pages.
import { EventEmitter } from 'node:events';
import { randomUUID } from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { WebSocketServer } from 'ws';
import { ChildProcess } from './process.js';
import { launchCommand } from './wine.js';
import { waitFor, withDeadline } from './wait.js';
import { GlobalSettingsStore } from './global-settings.js';

export const ACTION = 'org.deckmouse.mouse';
export const DIAL_ACTION = 'org.deckmouse.dial';
// The commands through which the plugin draws on a dial's touch strip.
const FEEDBACK_EVENTS = ['setFeedback', 'setFeedbackLayout', 'setTriggerDescription'];
export const DEVICE = 'E3C5B4F2A8D94A7C9F1D2B3A4C5D6E7F';
export const PLUGIN_REGISTER_EVENT = 'registerPlugin';
export const PAGE_REGISTER_EVENT = 'registerPropertyInspector';
const PNG_PREFIX = 'data:image/png;base64,';
// The host version "-info" reports: one that takes the manifest's
// Software.MinimumVersion (the Marketplace asks for 6.9 at least).
export const HOST_VERSION = '6.9.1.21000';
// The plugin's UUID in its manifest, which "-info" reports: global settings
// belong to it, whatever "-pluginUUID" a start was given.
export const PLUGIN_ID = 'org.deckmouse';

function isOpen(socket) {
  return socket !== undefined && socket.readyState === socket.OPEN;
}

function hostUuid() {
  return randomUUID().replace(/-/g, '').toUpperCase();
}

export class StreamDeckHost extends EventEmitter {
  // `globalSettings`: a GlobalSettingsStore to share with later hosts, so
  // that what the plugin stores outlives this host. `holdGlobalSettings`:
  // the plugin's getGlobalSettings go unanswered until
  // answerGlobalSettings(), as from a host slow to answer.
  constructor({ outDir, language = 'en', action = ACTION, device = DEVICE, pluginUuid = hostUuid(), globalSettings = new GlobalSettingsStore(), holdGlobalSettings = false } = {}) {
    super();
    this.globalSettings = globalSettings;
    // The contexts of the getGlobalSettings held, while answers are held.
    this.heldGlobalSettings = holdGlobalSettings ? [] : undefined;
    this.outDir = outDir;
    this.language = language;
    this.action = action;
    this.device = device;
    this.pluginUuid = pluginUuid;
    this.origin = performance.now();
    // What the plugin sent, in order: {time, text, binary, json}.
    this.fromPlugin = [];
    // What the host sent the plugin: {time, text|bytes}.
    this.toPlugin = [];
    // Decoded "setImage" messages: {time, context, target, bytes, file}.
    this.images = [];
    // A dial's strip commands: {time, context, event, payload}.
    this.feedback = [];
    this.registration = undefined;
    this.protocolErrors = [];
    // Per key context: the settings the host would hand to its next
    // willAppear, and the coordinates it was shown at.
    this.keys = new Map();
    this.pages = new Map();
    this.fromPages = [];
    this.plugin = undefined;
    this.pluginSocket = undefined;
    // Contexts whose images are recorded but not written to outDir.
    this.unsavedContexts = new Set();
  }

  // Milliseconds since the host was created, for logs.
  now() {
    return performance.now() - this.origin;
  }

  async listen() {
    this.server = new WebSocketServer({ host: '127.0.0.1', port: 0 });
    await new Promise((resolve, reject) => {
      this.server.once('listening', resolve);
      this.server.once('error', reject);
    });
    this.port = this.server.address().port;
    this.server.on('connection', (socket) => this.#accept(socket));
    return this.port;
  }

  // The JSON text of "-info": only application.language matters to the
  // plugin, the rest is what a host typically reports.
  infoText() {
    return JSON.stringify({
      application: { font: 'Segoe UI', language: this.language, platform: 'windows', platformVersion: '10.0.19045', version: HOST_VERSION },
      colors: { buttonPressedBackgroundColor: '#303030FF', highlightColor: '#0078FFFF' },
      devicePixelRatio: 2,
      devices: [{ id: this.device, name: 'Stream Deck', size: { columns: 5, rows: 3 }, type: 0 }],
      plugin: { uuid: PLUGIN_ID, version: '1.0.0.0' },
    });
  }

  commandLine() {
    return ['-port', String(this.port), '-pluginUUID', this.pluginUuid, '-registerEvent', PLUGIN_REGISTER_EVENT,
      '-info', this.infoText()];
  }

  // Starts the plugin executable with the host's command line. `cwd` is the
  // plugin folder (where icons/ is); `wine` runs a Windows build; `stdout:
  // 'unread'` hands it a standard output that nobody reads; `emulator` as in
  // launchCommand.
  launch({ exe, wine = false, emulator = [], cwd = path.dirname(exe), env = process.env, stdout }) {
    if (!this.port) throw new Error('listen() first');
    const { command, args } = launchCommand(exe, this.commandLine(), { wine, emulator });
    this.plugin = new ChildProcess(command, args, { cwd, env, name: 'plugin', stdout });
    this.plugin.child.stdout?.on('data', (chunk) => this.emit('stdout', { time: this.now(), text: String(chunk) }));
    this.plugin.exited.then((result) => this.emit('exit', { time: this.now(), ...result }));
    return this.plugin;
  }

  // Host time at which the plugin process ended, once it has.
  pluginExitTime() {
    return this.plugin?.exitTime === undefined ? undefined : this.plugin.exitTime - this.origin;
  }

  // Resolves once the plugin has connected and sent its first message.
  async waitForRegistration(timeoutMs = 15000) {
    if (this.registration) return this.registration;
    const registered = new Promise((resolve) => this.once('registered', resolve));
    const ended = this.plugin.exited.then(({ code, signal }) => {
      throw new Error(`plugin ended (${code ?? signal}) before registering; stdout: ${JSON.stringify(this.plugin.stdout)}; stderr: ${this.plugin.stderr}`);
    });
    return withDeadline(Promise.race([registered, ended]), timeoutMs, 'the plugin to register');
  }

  #accept(socket) {
    socket.once('message', (data, isBinary) => {
      const text = isBinary ? undefined : data.toString('utf8');
      let message;
      try {
        message = JSON.parse(text);
      } catch {
        message = undefined;
      }
      if (message?.event === PAGE_REGISTER_EVENT) {
        this.#acceptPage(socket, message, text);
        return;
      }
      this.#acceptPlugin(socket, text, message);
    });
  }

  #acceptPlugin(socket, text, message) {
    const expected = JSON.stringify({ event: PLUGIN_REGISTER_EVENT, uuid: this.pluginUuid });
    if (this.pluginSocket) {
      this.protocolErrors.push(`a second plugin connection registered with ${text}`);
      socket.close();
      return;
    }
    this.pluginSocket = socket;
    this.registration = { time: this.now(), text, json: message, exact: text === expected, expected };
    if (!this.registration.exact) this.protocolErrors.push(`registration was ${JSON.stringify(text)}, expected ${expected}`);
    socket.on('message', (data, isBinary) => this.#fromPlugin(data, isBinary));
    socket.on('close', () => {
      this.pluginClosed = this.now();
      this.emit('plugin-closed');
    });
    this.emit('registered', this.registration);
  }

  #fromPlugin(data, isBinary) {
    const entry = { time: this.now(), binary: isBinary };
    if (isBinary) {
      entry.bytes = Buffer.from(data);
      this.protocolErrors.push('the plugin sent a binary frame');
    } else {
      entry.text = data.toString('utf8');
      try {
        entry.json = JSON.parse(entry.text);
      } catch {
        this.protocolErrors.push(`the plugin sent text that is not JSON: ${entry.text.slice(0, 200)}`);
      }
    }
    this.fromPlugin.push(entry);
    this.emit('plugin-message', entry);
    if (entry.json?.event === 'setImage') this.#recordImage(entry);
    if (entry.json?.event === 'sendToPropertyInspector') this.#toPages(entry.json);
    if (entry.json?.event === 'getGlobalSettings') this.#answerGlobalSettings(entry.json);
    if (entry.json?.event === 'setGlobalSettings') this.#storeGlobalSettings(entry.json);
    if (FEEDBACK_EVENTS.includes(entry.json?.event)) {
      const { context, event, payload } = entry.json;
      const record = { time: entry.time, context, event, payload };
      this.feedback.push(record);
      this.emit('feedback', record);
    }
  }

  // The host's relay the other way: what the plugin sends to a key's
  // settings page reaches every page open for that key.
  #toPages({ context, payload }) {
    for (const page of this.pages.values()) {
      if (page.context !== context || !isOpen(page.socket)) continue;
      page.socket.send(JSON.stringify({ event: 'sendToPropertyInspector', action: this.action, context, payload }));
    }
  }

  // The plugin asks with its own UUID as the context and is answered
  // with the whole object, unless answers are held.
  #answerGlobalSettings({ context }) {
    if (context !== this.pluginUuid) {
      this.protocolErrors.push(`getGlobalSettings named ${JSON.stringify(context)}, not the plugin's UUID`);
      return;
    }
    if (this.heldGlobalSettings) this.heldGlobalSettings.push(context);
    else this.send({ event: 'didReceiveGlobalSettings', context, payload: { settings: this.globalSettings.get(PLUGIN_ID) } });
  }

  // Answers the held getGlobalSettings (one answer when none was held yet)
  // and answers at once from then on. The answer's "settings" is
  // `settings`, of any kind, without storing it: an array, or an object
  // with a lone surrogate ('\ud800', which JSON.stringify escapes as such),
  // is an answer the plugin cannot read. By default, the stored object.
  answerGlobalSettings(settings = this.globalSettings.get(PLUGIN_ID)) {
    const held = this.heldGlobalSettings?.length ? this.heldGlobalSettings : [this.pluginUuid];
    this.heldGlobalSettings = undefined;
    for (const context of held) this.send({ event: 'didReceiveGlobalSettings', context, payload: { settings } });
  }

  // What the plugin stores replaces the object whole; the open settings
  // pages hear of it, the plugin does not.
  #storeGlobalSettings({ context, payload }) {
    if (context !== this.pluginUuid || !payload || typeof payload !== 'object' || Array.isArray(payload)) {
      this.protocolErrors.push(`setGlobalSettings with context ${JSON.stringify(context)} and payload ${JSON.stringify(payload)}`);
      return;
    }
    this.globalSettings.set(PLUGIN_ID, payload);
    for (const [uuid, page] of this.pages) this.#globalSettingsToPage(uuid, page);
  }

  #globalSettingsToPage(uuid, page) {
    if (!isOpen(page.socket)) return;
    page.socket.send(JSON.stringify({ event: 'didReceiveGlobalSettings', context: uuid, payload: { settings: this.globalSettings.get(PLUGIN_ID) } }));
  }

  // The plugin's messages of one event (and one context, and those the
  // message test `where` accepts, when given), from the host time `after`
  // on, once there are `count` of them.
  async waitForMessages(event, { context, where = () => true, count = 1, after = 0, timeoutMs = 5000 } = {}) {
    return waitFor(() => {
      const found = this.fromPlugin.filter((entry) => entry.time >= after && entry.json?.event === event
        && (context === undefined || entry.json.context === context) && where(entry.json));
      return found.length >= count ? found : undefined;
    }, { timeoutMs, what: `${count} ${event} message(s)${context === undefined ? '' : ` for ${context}`}` });
  }

  #recordImage(entry) {
    const { context, payload } = entry.json;
    const image = typeof payload?.image === 'string' ? payload.image : '';
    const record = { time: entry.time, context, target: payload?.target, dataUrl: image.startsWith(PNG_PREFIX) };
    record.bytes = Buffer.from(record.dataUrl ? image.slice(PNG_PREFIX.length) : '', 'base64');
    if (this.outDir && record.bytes.length && !this.unsavedContexts.has(context)) {
      fs.mkdirSync(this.outDir, { recursive: true });
      const name = `${String(this.images.length + 1).padStart(3, '0')}-${String(context).replace(/[^\w.-]+/g, '_')}.png`;
      record.file = path.join(this.outDir, name);
      fs.writeFileSync(record.file, record.bytes);
    }
    this.images.push(record);
    this.emit('image', record);
  }

  // Sends one message to the plugin: an object is sent as JSON text, a
  // string as it is (malformed text included), a Buffer as a binary frame.
  // Returns the host time just before the send.
  send(message) {
    if (!this.#pluginConnected()) {
      throw new Error('the plugin is not connected');
    }
    const time = this.now();
    if (Buffer.isBuffer(message)) {
      this.pluginSocket.send(message, { binary: true });
      this.toPlugin.push({ time, bytes: message });
    } else {
      const text = typeof message === 'string' ? message : JSON.stringify(message);
      this.pluginSocket.send(text);
      this.toPlugin.push({ time, text });
    }
    return time;
  }

  // Under the action the context was shown with: a dial's events carry the dial's.
  keyEvent(event, context, payload = {}) {
    const action = this.keys.get(context)?.action ?? this.action;
    return this.send({ event, action, context, device: this.device, payload });
  }

  // Shows a dial action on a dial of a deck with dials.
  dialAppear(context, { settings, coordinates = { column: 0, row: 0 } } = {}) {
    const dial = this.#key(context);
    dial.action = DIAL_ACTION;
    if (settings !== undefined) dial.settings = settings;
    dial.coordinates = coordinates;
    return this.keyEvent('willAppear', context, { settings: dial.settings, coordinates, controller: 'Encoder', isInMultiAction: false });
  }

  // `ticks` signed, positive clockwise; `pressed` when turned while pushed.
  dialRotate(context, ticks, { pressed = false } = {}) {
    const dial = this.#key(context);
    return this.keyEvent('dialRotate', context, { ticks, pressed, settings: dial.settings, coordinates: dial.coordinates });
  }

  dialDown(context) {
    const dial = this.#key(context);
    return this.keyEvent('dialDown', context, { settings: dial.settings, coordinates: dial.coordinates });
  }

  dialUp(context) {
    const dial = this.#key(context);
    return this.keyEvent('dialUp', context, { settings: dial.settings, coordinates: dial.coordinates });
  }

  // `hold` for a long touch.
  touchTap(context, { hold = false, tapPos = [100, 50] } = {}) {
    const dial = this.#key(context);
    return this.keyEvent('touchTap', context, { tapPos, hold, settings: dial.settings, coordinates: dial.coordinates });
  }

  async waitForFeedback({ context, event = 'setFeedback', count = 1, after = 0, timeoutMs = 5000 } = {}) {
    return waitFor(() => {
      const found = this.feedback.filter((f) => f.time >= after && f.event === event && (context === undefined || f.context === context));
      return found.length >= count ? found : undefined;
    }, { timeoutMs, what: `${count} ${event} message(s)${context === undefined ? '' : ` for ${context}`}` });
  }

  // Shows a key. Without `settings` the key gets what the host has stored
  // for it (from an earlier willAppear or from its settings page).
  willAppear(context, { settings, coordinates = { column: 0, row: 0 } } = {}) {
    const key = this.#key(context);
    if (settings !== undefined) key.settings = settings;
    key.coordinates = coordinates;
    return this.keyEvent('willAppear', context, { settings: key.settings, coordinates, isInMultiAction: false });
  }

  willDisappear(context) {
    const key = this.#key(context);
    return this.keyEvent('willDisappear', context, { settings: key.settings, coordinates: key.coordinates, isInMultiAction: false });
  }

  keyDown(context) {
    const key = this.#key(context);
    return this.keyEvent('keyDown', context, { settings: key.settings, coordinates: key.coordinates, isInMultiAction: false });
  }

  keyUp(context) {
    const key = this.#key(context);
    return this.keyEvent('keyUp', context, { settings: key.settings, coordinates: key.coordinates, isInMultiAction: false });
  }

  // The key's settings as the host hands them back after a settings page
  // stored them; kept for the key's next willAppear too.
  didReceiveSettings(context, settings) {
    const key = this.#key(context);
    key.settings = settings;
    return this.keyEvent('didReceiveSettings', context, { settings, coordinates: key.coordinates, isInMultiAction: false });
  }

  sendToPlugin(context, payload) {
    return this.send({ event: 'sendToPlugin', action: this.#actionOf(context), context, payload });
  }

  // The key's settings page opened or closed: what the host tells the plugin.
  propertyInspectorDidAppear(context) {
    return this.send({ event: 'propertyInspectorDidAppear', action: this.#actionOf(context), context, device: this.device });
  }

  propertyInspectorDidDisappear(context) {
    return this.send({ event: 'propertyInspectorDidDisappear', action: this.#actionOf(context), context, device: this.device });
  }

  deviceDidConnect(device = this.device, deviceInfo = { name: 'Stream Deck', type: 0, size: { columns: 5, rows: 3 } }) {
    return this.send({ event: 'deviceDidConnect', device, deviceInfo });
  }

  deviceDidDisconnect(device = this.device) {
    return this.send({ event: 'deviceDidDisconnect', device });
  }

  // A dial's events carry the dial action; everything else is a key's.
  #actionOf(context) {
    return this.keys.get(context)?.action ?? this.action;
  }

  #pluginConnected() {
    return isOpen(this.pluginSocket);
  }

  #key(context) {
    if (!this.keys.has(context)) this.keys.set(context, { settings: {}, coordinates: { column: 0, row: 0 } });
    return this.keys.get(context);
  }

  // A settings page for `context`: the arguments the host would pass to the
  // page's connectElgatoStreamDeckSocket. The page connects to this server.
  openPropertyInspector(context) {
    const uuid = hostUuid();
    const key = this.#key(context);
    this.pages.set(uuid, { context, socket: undefined });
    const actionInfo = { action: key.action ?? this.action, context, device: this.device,
      payload: { settings: key.settings, coordinates: key.coordinates, isInMultiAction: false } };
    return { port: this.port, uuid, registerEvent: PAGE_REGISTER_EVENT, info: this.infoText(), actionInfo: JSON.stringify(actionInfo) };
  }

  #acceptPage(socket, message, text) {
    const page = this.pages.get(message.uuid);
    const expected = JSON.stringify({ event: PAGE_REGISTER_EVENT, uuid: message.uuid });
    if (!page) {
      this.protocolErrors.push(`a settings page registered with an unknown uuid: ${text}`);
      socket.close();
      return;
    }
    if (text !== expected) this.protocolErrors.push(`page registration was ${text}, expected ${expected}`);
    page.socket = socket;
    socket.on('message', (data, isBinary) => this.#fromPage(message.uuid, page, data, isBinary));
    this.emit('page-registered', { uuid: message.uuid, context: page.context });
    if (this.#pluginConnected()) {
      this.propertyInspectorDidAppear(page.context);
      socket.on('close', () => {
        if (this.#pluginConnected()) this.propertyInspectorDidDisappear(page.context);
      });
    }
  }

  // The host's relay: setSettings is stored for the key's next willAppear,
  // sendToPlugin reaches the plugin under the key's own context.
  #fromPage(uuid, page, data, isBinary) {
    const entry = { time: this.now(), uuid, context: page.context, text: isBinary ? undefined : data.toString('utf8') };
    try {
      entry.json = JSON.parse(entry.text);
    } catch {
      this.protocolErrors.push(`a settings page sent a message that is not JSON: ${entry.text}`);
    }
    this.fromPages.push(entry);
    const message = entry.json;
    if (message?.event === 'setSettings' && message.payload && typeof message.payload === 'object') {
      this.#key(page.context).settings = message.payload;
      this.emit('settings', { context: page.context, settings: message.payload });
    } else if (message?.event === 'sendToPlugin') {
      this.send({ event: 'sendToPlugin', context: page.context, action: message.action ?? this.action, payload: message.payload ?? {} });
    } else if (message?.event === 'getGlobalSettings') {
      this.#globalSettingsToPage(uuid, page);
    } else if (message?.event === 'setGlobalSettings' && message.payload && typeof message.payload === 'object') {
      // A page's change reaches the plugin.
      this.globalSettings.set(PLUGIN_ID, message.payload);
      if (this.#pluginConnected()) this.send({ event: 'didReceiveGlobalSettings', context: this.pluginUuid, payload: { settings: this.globalSettings.get(PLUGIN_ID) } });
    }
    this.emit('page-message', entry);
  }

  async waitForImage({ context, count = 1, after = 0, timeoutMs = 5000 } = {}) {
    return waitFor(() => {
      const images = this.images.filter((image) => image.time >= after && (context === undefined || image.context === context));
      return images.length >= count ? images : undefined;
    }, { timeoutMs, what: `${count} setImage message(s)${context === undefined ? '' : ` for ${context}`}` });
  }

  async waitForStdout(text, timeoutMs = 5000) {
    return waitFor(() => this.plugin.stdout.includes(text), { timeoutMs, what: `${JSON.stringify(text)} on the plugin's stdout (got ${JSON.stringify(this.plugin.stdout)})` });
  }

  // A host that stops reading what the plugin sends, as a hung host does:
  // the socket is paused, so the kernel's buffers fill and the plugin's
  // writes back up. Sending to the plugin still works.
  pauseReading() {
    this.pluginSocket.pause();
  }

  resumeReading() {
    this.pluginSocket.resume();
  }

  // Ends the connection from the host's side, as the host does when it
  // quits (`abrupt`: as when it is killed, without a closing handshake), and
  // waits for the plugin to exit.
  async closeConnection({ timeoutMs = 10000, abrupt = false } = {}) {
    if (this.pluginSocket && this.pluginSocket.readyState === this.pluginSocket.OPEN) {
      if (abrupt) this.pluginSocket.terminate();
      else this.pluginSocket.close(1000);
    }
    return this.plugin.waitForExit(timeoutMs);
  }

  async stop() {
    for (const page of this.pages.values()) page.socket?.terminate();
    if (this.pluginSocket) this.pluginSocket.terminate();
    if (this.plugin) await this.plugin.stop();
    if (this.server) await new Promise((resolve) => this.server.close(resolve));
  }
}
