export { StreamDeckHost, ACTION, DEVICE, PLUGIN_REGISTER_EVENT, PAGE_REGISTER_EVENT } from './host.js';
export { InputRecorder, isButtonOrWheel, isKey, isButtonWheelOrKey, parseRecorderLine } from './recorder.js';
export { Session, COMMAND_QUIET_MS } from './session.js';
export { startSway, SWAY_USER } from './sway.js';
export { startXvfb, ensureDisplay, getCursor, setCursor, releaseButton, releaseKey, SCREEN_WIDTH, SCREEN_HEIGHT } from './display.js';
export { ensureWinePrefix, stopWine, wineEnv, defaultWinePrefix, launchCommand } from './wine.js';
export { playScript, attachReporter, describeInput, describePluginMessage, DEFAULT_SCRIPT } from './script.js';
export { solidPng } from './png.js';
export { waitFor, withDeadline, delay, median, TimeoutError } from './wait.js';
