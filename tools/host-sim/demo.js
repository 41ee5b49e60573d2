#!/usr/bin/env node
// The deckmouse demo: installs the plugin bundle into a temporary folder,
// starts the plugin from it as the host would, shows a page of keys and three
// dials, presses each key and turns each dial on the X display and prints
// what it did to the pointer. Writes a picture of the deck page with the
// images the plugin sent and the dials' touch strip, and one of the pointer's
// path with the clicks and the turns of the wheel, modifier keys held marked.
//
//   node tools/host-sim/demo.js --linux <deckmouse> [--windows <deckmouse.exe>]
//        [--recorder <deckmouse_x11_recorder>] [--out <folder>] [--wine]
//
// --wine runs the Windows executable of the bundle under Wine instead.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';
import { SCREEN_HEIGHT, SCREEN_WIDTH } from './lib/display.js';
import { Canvas } from './lib/picture.js';
import { decodePng, encodeRgba } from './lib/png.js';
import { Session } from './lib/session.js';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');

const { values: options } = parseArgs({
  options: {
    linux: { type: 'string' },
    windows: { type: 'string' },
    recorder: { type: 'string' },
    out: { type: 'string', default: path.join(repo, 'build', 'demo') },
    wine: { type: 'boolean', default: false },
  },
});

const NUMBERS = { my_sleep: '0', my_offset_x: '0', my_offset_y: '0', my_wheel: '0', my_repeat_loops: '0' };

// A sequence key's steps: a click at each corner of a triangle, then back to the start.
const TRIANGLE = 'move 700 200; click left; wait 120\nmove +200 +150; click left; wait 120\n'
  + 'move -400 +0; click left; wait 120\nreturn';

// One page of a 5x3 deck: what each key is set to in its settings page.
// `at` is where a click-at clicks, for the picture of the pointer's path.
const KEYS = [
  { title: 'Centre the pointer', settings: { my_mouse_event: 'MOUSE_CURSOR_RESET' }, icon: ['cursor_center', '8', 'white'] },
  { title: 'Left click', settings: { my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '30' }, icon: ['click_left', '6', 'blue'] },
  { title: 'Move right while held', settings: { my_mouse_event: 'MOUSE_CURSOR_MOVE', my_offset_x: '4', my_sleep: '9' }, icon: ['cursor_move', '2', 'orange'], holdMs: 800 },
  { title: 'Double right click', settings: { my_mouse_event: 'MOUSE_RIGHT_CLICK', my_sleep: '20', my_repeat_loops: '1' }, icon: ['click_right', '1', 'red'] },
  { title: 'Scroll up two notches', settings: { my_mouse_event: 'MOUSE_WHEEL_UP', my_wheel: '240' }, icon: ['wheel_up', '4', 'green'] },
  { title: 'Place the pointer at (300, 200)', settings: { my_mouse_event: 'MOUSE_CURSOR_POS', my_offset_x: '300', my_offset_y: '200' }, icon: ['cursor_place', '3', 'yellow'] },
  { title: 'Move down-right while held, speeding up', settings: { my_mouse_event: 'MOUSE_CURSOR_MOVE', my_offset_x: '3', my_offset_y: '2', my_sleep: '9', my_accel: '300' }, icon: ['cursor_move', '7', 'purple'], holdMs: 800 },
  { title: 'Press the left button', settings: { my_mouse_event: 'MOUSE_LEFT_DOWN' }, icon: ['button_down', '5', 'cyan'] },
  { title: 'Release the left button', settings: { my_mouse_event: 'MOUSE_LEFT_UP' }, icon: ['button_up', '5', 'cyan'] },
  { title: 'Scroll left one notch', settings: { my_mouse_event: 'MOUSE_HWHEEL_DOWN', my_wheel: '-120' }, icon: ['wheel_left', '4', 'green'] },
  { title: 'Double-click (left)', settings: { my_mouse_event: 'MOUSE_LEFT_DOUBLE_CLICK', my_sleep: '30' }, icon: ['double_left', '6', 'blue'] },
  { title: 'Nudge up-right, as a mouse would', settings: { my_mouse_event: 'MOUSE_CURSOR_NUDGE', my_offset_x: '60', my_offset_y: '-40' }, icon: ['cursor_nudge', '2', 'orange'] },
  { title: 'Click at (1000, 150) and come back', settings: { my_mouse_event: 'MOUSE_CLICK_AT', my_offset_x: '1000', my_offset_y: '150', my_return: '1' }, icon: ['click_at', '1', 'red'], at: { x: 1000, y: 150 } },
  { title: 'Scroll down while held, speeding up', settings: { my_mouse_event: 'MOUSE_WHEEL_HOLD', my_wheel: '-120', my_sleep: '50', my_accel: '200' }, icon: ['wheel_hold', '4', 'green'], holdMs: 800 },
  // Ctrl held around the wheel's turn, as a zoom: the key's user title says so.
  { title: 'Zoom in: Ctrl + scroll up', settings: { my_mouse_event: 'MOUSE_WHEEL_UP', my_wheel: '120', my_modifiers: 'CTRL' }, icon: ['wheel_up', '5', 'cyan'], caption: 'Ctrl' },
  { title: 'Autoclick left every 40 ms while held', settings: { my_mouse_event: 'MOUSE_AUTOCLICK_HOLD', my_button: 'LEFT', my_sleep: '40' }, icon: ['autoclick_hold', '1', 'red'], holdMs: 420 },
  { title: 'Sequence: a click at each corner of a triangle, then back', settings: { my_mouse_event: 'MOUSE_SEQUENCE', my_steps: TRIANGLE }, icon: ['sequence', '7', 'purple'] },
  // Left down until pressed again: the page shows its held image.
  { title: 'Drag lock (left button)', settings: { my_mouse_event: 'MOUSE_LEFT_TOGGLE' }, icon: ['toggle_left', '5', 'cyan'], toggle: true },
  // Not pressed: its settings page picks its position, counting down on the key.
  { title: 'Position picked on screen', settings: { my_mouse_event: 'MOUSE_CURSOR_POS' }, icon: ['cursor_place', '3', 'yellow'], pick: { x: 900, y: 520 } },
];
const COLUMNS = 5;

// The dials of a deck with dials: what each is set to, and the turns the demo
// makes (ticks per dialRotate, positive clockwise).
const DIAL_DEFAULTS = { dial_step: '120', dial_accel: '0', dial_press: 'LEFT_HOLD', dial_touch: 'SWAP' };
const DIALS = [
  { title: 'Dial moving the pointer right, 6 px a tick', settings: { dial_rotate: 'MOVE_X', dial_step: '6' }, turns: Array(25).fill(1) },
  { title: 'Dial moving the pointer up and down, 8 px a tick', settings: { dial_rotate: 'MOVE_Y', dial_step: '8', dial_accel: '40' }, turns: [...Array(12).fill(1), ...Array(6).fill(-1)] },
  { title: 'Dial scrolling, a notch a tick', settings: { dial_rotate: 'WHEEL', dial_accel: '25' }, turns: [2, 1, -3] },
];
const STRIP = { width: 400, height: 200 }; // the strip's @2x size

function keySettings({ settings, icon: [name, id, colour] }) {
  return { ...NUMBERS, ...settings, my_icon_name: name, my_icon_color_id: id, my_icon_color: colour };
}

// A run of the same two words, as an autoclick makes: "(left down, left up) x10".
function countRepeats(words) {
  const out = [];
  for (let i = 0; i < words.length;) {
    const pair = words.slice(i, i + 2).join(', ');
    let n = 1;
    while (i + 2 * n + 1 < words.length && words.slice(i + 2 * n, i + 2 * n + 2).join(', ') === pair) n++;
    if (n > 1) out.push(`(${pair}) x${n}`);
    else out.push(words[i]);
    i += n > 1 ? 2 * n : 1;
  }
  return out;
}

// What the recorder saw, in words: "left down, left up", "wheel up 120 x2",
// "ctrl down, wheel up x1, ctrl up".
function describeInput(events) {
  const words = [];
  for (const event of events) {
    if (event.kind === 'button' || event.kind === 'key') words.push(`${event.button ?? event.key} ${event.down ? 'down' : 'up'}`);
    if (event.kind === 'wheel') {
      const direction = event.axis === 'vertical' ? (event.amount > 0 ? 'up' : 'down') : event.amount > 0 ? 'right' : 'left';
      const last = words.at(-1);
      const match = last?.match(/^wheel (\w+) x(\d+)$/);
      if (match && match[1] === direction) words[words.length - 1] = `wheel ${direction} x${Number(match[2]) + 1}`;
      else words.push(`wheel ${direction} x1`);
    }
  }
  return countRepeats(words).join(', ');
}

// The times between the presses of a button, in ms, by the recorder's clock.
function pressGaps(events) {
  const times = events.filter((event) => event.kind === 'button' && event.down).map((event) => event.time);
  return times.slice(1).map((time, i) => time - times[i]);
}

// The clicks and turns of the wheel in `events`, each where the pointer was
// then (after the moves before it), the turns with the modifier keys held.
function marksOf(events, start) {
  let where = start;
  const held = new Set();
  const clicks = [];
  const wheels = [];
  for (const event of events) {
    if (event.kind === 'move') where = { x: event.x, y: event.y };
    if (event.kind === 'key') {
      if (event.down) held.add(event.key);
      else held.delete(event.key);
    }
    if (event.kind === 'button' && event.down) clicks.push(where);
    if (event.kind === 'wheel') wheels.push({ ...where, keys: [...held] });
  }
  return { clicks, wheels };
}

// An SVG drawn by rsvg-convert, decoded: `body` in a `width` x `height` picture
// whose coordinates are `viewBox`.
function svgPicture(width, height, body, viewBox = `0 0 ${width} ${height}`) {
  const svg = `<svg xmlns="http://www.w3.org/2000/svg" width="${width}" height="${height}" viewBox="${viewBox}">${body}</svg>`;
  return decodePng(execFileSync('rsvg-convert', ['--format', 'png'], { input: svg, maxBuffer: 16 << 20 }));
}

const escapeXml = (text) => String(text ?? '').replace(/[<>&"]/g, (c) => `&#${c.charCodeAt(0)};`);

function installBundle(folder) {
  const windows = options.windows ?? path.join(repo, 'build', 'windows', 'deckmouse.exe');
  const args = [`-DSOURCE_DIR=${repo}`, `-DOUT_DIR=${folder}`, `-DLINUX_EXE=${path.resolve(options.linux)}`];
  if (fs.existsSync(windows)) args.push(`-DWINDOWS_EXE=${path.resolve(windows)}`);
  execFileSync('cmake', [...args, '-P', path.join(repo, 'bundle', 'assemble.cmake')], { stdio: 'ignore' });
  return path.join(folder, 'org.deckmouse.sdPlugin');
}

// A key's title as the host shows it: at the bottom of the key.
function latestTitles(messages) {
  const titles = new Map();
  for (const { json } of messages) if (json?.event === 'setTitle') titles.set(json.context, json.payload?.title);
  return titles;
}

// A dial's touch strip as the host draws the "$B1" layout: the background,
// the title, the value and the indicator bar from the last setFeedback, at
// `scale` of its @2x size. The texts are drawn by rsvg-convert.
function stripPicture(pluginFolder, feedback, scale) {
  const width = Math.round(STRIP.width * scale);
  const height = Math.round(STRIP.height * scale);
  const canvas = new Canvas(width, height, [0, 0, 0]);
  canvas.drawPicture(decodePng(fs.readFileSync(path.join(pluginFolder, 'images', 'dial-strip@2x.png'))), 0, 0, width, height);
  const bar = Math.max(0, Math.min(100, Number(feedback?.indicator?.value) || 0));
  canvas.drawPicture(svgPicture(width, height, `
    <text x="24" y="50" font-family="DejaVu Sans" font-size="30" fill="#c8d0e0">${escapeXml(feedback?.title)}</text>
    <text x="24" y="118" font-family="DejaVu Sans" font-weight="bold" font-size="52" fill="#ffffff">${escapeXml(feedback?.value)}</text>
    <rect x="24" y="150" width="352" height="14" rx="7" fill="#2e3a52"/>
    <rect x="24" y="150" width="${(352 * bar) / 100}" height="14" rx="7" fill="#4f8cff"/>`, `0 0 ${STRIP.width} ${STRIP.height}`), 0, 0);
  return canvas;
}

function deckPicture(images, strips, titles) {
  const size = 144;
  const gap = 24;
  const rows = Math.ceil(KEYS.length / COLUMNS);
  const stripHeight = strips.length ? strips[0].height + gap : 0;
  const canvas = new Canvas(COLUMNS * (size + gap) + gap, rows * (size + gap) + gap + stripHeight, [24, 24, 27]);
  // The touch strip under the keys, one segment per dial.
  let left = gap;
  for (const strip of strips) {
    canvas.drawPicture(strip, left, rows * (size + gap) + gap, strip.width, strip.height);
    left += strip.width + 8;
  }
  KEYS.forEach((key, index) => {
    const left = gap + (index % COLUMNS) * (size + gap);
    const top = gap + Math.floor(index / COLUMNS) * (size + gap);
    canvas.fillRoundRect(left - 3, top - 3, size + 6, size + 6, 18, [0, 0, 0]);
    const image = images.findLast((record) => record.context === key.context);
    if (image) canvas.drawPicture(decodePng(image.bytes), left, top, size, size);
    // A user's title, at the bottom of the key as a deck writes it.
    if (key.caption) {
      canvas.drawPicture(svgPicture(size, 40, `<text x="${size / 2}" y="31" text-anchor="middle" font-family="DejaVu Sans"
        font-weight="bold" font-size="28" fill="#ffffff" stroke="#000000" stroke-width="5" paint-order="stroke">${escapeXml(key.caption)}</text>`),
      left, top + size - 42);
    }
    const title = titles.get(key.context);
    if (title) {
      // White on a dark plate, as a deck draws a title over its image.
      canvas.fillRoundRect(left + size / 2 - 34, top + size / 2 - 44, 68, 88, 10, [0, 0, 0]);
      canvas.digits(title, left + size / 2, top + size / 2 - 32, 64, [255, 255, 255]);
    }
  });
  return canvas;
}

// A turn of the wheel: a chevron; with Ctrl held, a ring with a plus, as a zoom.
// Drawn above and left of the pointer, clear of a click's ring there.
function wheelMark(canvas, { x, y, keys }, scale) {
  const [cx, cy] = [x * scale - 22, y * scale - 22];
  if (keys.includes('ctrl')) {
    canvas.ring(cx, cy, 14, 3, [80, 220, 240]);
    canvas.line(cx - 7, cy, cx + 7, cy, 3, [80, 220, 240]);
    canvas.line(cx, cy - 7, cx, cy + 7, 3, [80, 220, 240]);
    return;
  }
  canvas.line(cx - 8, cy + 4, cx, cy - 4, 3, [120, 220, 120]);
  canvas.line(cx, cy - 4, cx + 8, cy + 4, 3, [120, 220, 120]);
}

function pathPicture(points, clicks, wheels) {
  const scale = 0.6;
  const canvas = new Canvas(Math.round(SCREEN_WIDTH * scale), Math.round(SCREEN_HEIGHT * scale), [24, 24, 27]);
  canvas.fillRect(0, Math.round((SCREEN_HEIGHT / 2) * scale), canvas.width, 1, [60, 60, 66]);
  canvas.fillRect(Math.round((SCREEN_WIDTH / 2) * scale), 0, 1, canvas.height, [60, 60, 66]);
  for (let i = 1; i < points.length; i++) {
    const [a, b] = [points[i - 1], points[i]];
    const t = i / points.length;
    const colour = [80 + 175 * t, 160, 255 - 175 * t];
    // A held move goes in small steps; anything farther is a placement,
    // which jumps: drawn dashed.
    if (Math.hypot(b.x - a.x, b.y - a.y) <= 20) {
      canvas.line(a.x * scale, a.y * scale, b.x * scale, b.y * scale, 4, colour);
      continue;
    }
    const dashes = Math.max(1, Math.floor((Math.hypot(b.x - a.x, b.y - a.y) * scale) / 12));
    for (let d = 0; d < dashes; d += 2) {
      const from = d / dashes;
      const to = Math.min(1, (d + 1) / dashes);
      canvas.line((a.x + (b.x - a.x) * from) * scale, (a.y + (b.y - a.y) * from) * scale,
        (a.x + (b.x - a.x) * to) * scale, (a.y + (b.y - a.y) * to) * scale, 1.5, colour);
    }
  }
  // Clicks on one spot, as an autoclick makes, are one ring with their count beside it.
  const spots = new Map();
  for (const click of clicks) {
    const spot = `${click.x},${click.y}`;
    spots.set(spot, { ...click, count: (spots.get(spot)?.count ?? 0) + 1 });
  }
  for (const spot of spots.values()) {
    canvas.ring(spot.x * scale, spot.y * scale, 9, 2.5, [255, 80, 80]);
    if (spot.count > 1) canvas.digits(String(spot.count), spot.x * scale + 28, spot.y * scale - 8, 16, [255, 80, 80]);
  }
  for (const wheel of wheels) wheelMark(canvas, wheel, scale);
  if (points.length) {
    canvas.dot(points[0].x * scale, points[0].y * scale, 6, [120, 220, 120]);
    canvas.dot(points.at(-1).x * scale, points.at(-1).y * scale, 6, [255, 210, 80]);
  }
  return canvas;
}

async function main() {
  if (!options.linux) throw new Error('--linux <path of the Linux deckmouse executable> is needed');
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'deckmouse-demo-'));
  fs.mkdirSync(options.out, { recursive: true });
  let session;
  try {
    const pluginFolder = installBundle(scratch);
    const plugin = path.join(pluginFolder, 'bin', options.wine ? 'deckmouse.exe' : 'deckmouse');
    console.log(`installed the plugin bundle in ${pluginFolder}`);
    const recorder = options.recorder ?? (options.wine
      ? path.join(repo, 'build', 'windows', 'tools', 'deckmouse_input_recorder.exe')
      : path.join(path.dirname(path.resolve(options.linux)), 'tools', 'deckmouse_x11_recorder'));
    session = await Session.start({ plugin, wine: options.wine, recorder, cwd: pluginFolder, outDir: path.join(options.out, 'images') });
    const { host } = session;
    console.log(`the host listens on 127.0.0.1:${host.port}; the plugin registered as ${host.registration.text}`);
    console.log(`display ${session.display}, ${SCREEN_WIDTH}x${SCREEN_HEIGHT}\n`);

    KEYS.forEach((key, index) => {
      key.context = `key-${index + 1}`;
      host.willAppear(key.context, { settings: keySettings(key), coordinates: { column: index % COLUMNS, row: Math.floor(index / COLUMNS) } });
    });
    await host.waitForImage({ context: KEYS.at(-1).context, timeoutMs: 10000 });
    console.log(`showed ${KEYS.length} keys; the plugin sent ${host.images.length} key images`);
    DIALS.forEach((dial, index) => {
      dial.context = `dial-${index + 1}`;
      host.dialAppear(dial.context, { settings: { ...DIAL_DEFAULTS, ...dial.settings }, coordinates: { column: index, row: 0 } });
    });
    await host.waitForFeedback({ context: DIALS.at(-1).context, timeoutMs: 10000 });
    console.log(`showed ${DIALS.length} dials; the plugin drew their strips\n`);

    await session.setCursor(100, 100);
    const points = [await session.cursor()];
    const clicks = [];
    const wheels = [];
    // Presses a key and prints what it did.
    const press = async (key, number) => {
      const before = await session.cursor();
      const mark = session.recorder.mark();
      host.keyDown(key.context);
      if (key.holdMs) await new Promise((resolve) => setTimeout(resolve, key.holdMs));
      host.keyUp(key.context);
      // Every key here makes input soon after its press: once it has been
      // quiet for longer than a pass, the key's command is over.
      await session.settle();
      const after = await session.cursor();
      const events = session.recorder.since(mark);
      const moves = events.filter((event) => event.kind === 'move');
      // A click-at jumps out and back faster than X reports where it went.
      if (key.at) points.push(key.at);
      else points.push(...moves.map(({ x, y }) => ({ x, y })));
      points.push(after);
      const marks = marksOf(events, before);
      clicks.push(...(key.at ? marks.clicks.map(() => key.at) : marks.clicks));
      wheels.push(...marks.wheels);
      const input = describeInput(events);
      const moved = before.x !== after.x || before.y !== after.y ? `pointer (${before.x}, ${before.y}) -> (${after.x}, ${after.y})` : `pointer stays at (${after.x}, ${after.y})`;
      const steps = moves.length > 1 && key.holdMs ? `, ${moves.length} steps while held ${key.holdMs} ms` : '';
      // An autoclick's rate against its interval; a sequence's clicks, where and how far apart against its waits.
      const gaps = pressGaps(events).map((gap) => gap.toFixed(1));
      let timing = '';
      if (gaps.length > 1 && key.settings.my_mouse_event.startsWith('MOUSE_AUTOCLICK')) {
        timing = `; ${gaps.length + 1} clicks ${Math.min(...gaps)} to ${Math.max(...gaps)} ms apart (my_sleep ${key.settings.my_sleep})`;
      }
      if (key.settings.my_mouse_event === 'MOUSE_SEQUENCE') {
        const waits = [...key.settings.my_steps.matchAll(/wait (\d+)/g)].map((m) => m[1]);
        timing = `; clicks at ${marks.clicks.map(({ x, y }) => `(${x}, ${y})`).join(', ')}, ${gaps.join(' and ')} ms apart (waits ${waits.join(', ')} ms)`;
      }
      const modifiers = key.settings.my_modifiers ? ` with ${key.settings.my_modifiers}` : '';
      console.log(`key ${number} ${key.title} [${key.settings.my_mouse_event}${modifiers}]`);
      console.log(`    ${moved}${steps}${input ? `; input: ${input}` : ''}${timing}`);
    };
    for (const [index, key] of KEYS.entries()) if (!key.pick) await press(key, index + 1);

    // Turns each dial, a tick at a time as a hand does, and prints what it did.
    for (const [index, dial] of DIALS.entries()) {
      const before = await session.cursor();
      const mark = session.recorder.mark();
      for (const ticks of dial.turns) {
        host.dialRotate(dial.context, ticks);
        await session.barrier();
        points.push(await session.cursor());
        await new Promise((resolve) => setTimeout(resolve, 30));
      }
      await session.settle();
      const after = await session.cursor();
      const input = describeInput(session.recorder.since(mark));
      const moved = before.x !== after.x || before.y !== after.y ? `pointer (${before.x}, ${before.y}) -> (${after.x}, ${after.y})` : `pointer stays at (${after.x}, ${after.y})`;
      const strip = host.feedback.filter((f) => f.context === dial.context && f.event === 'setFeedback').at(-1)?.payload;
      console.log(`dial ${index + 1} ${dial.title} [${dial.settings.dial_rotate}], turned ${dial.turns.join(' ')}`);
      console.log(`    ${moved}${input ? `; input: ${input}` : ''}; strip: ${strip?.title} | ${strip?.value} | ${strip?.indicator?.value}%`);
    }
    const locks = KEYS.filter((key) => key.toggle);
    await Promise.all(locks.map((key) => host.waitForImage({ context: key.context, count: 2, timeoutMs: 10000 })));

    // "Pick on screen" on the last key's page: the picture catches its countdown.
    const picker = KEYS.find((key) => key.pick);
    host.propertyInspectorDidAppear(picker.context);
    const asked = host.sendToPlugin(picker.context, { pick: 'position' });
    await host.waitForMessages('setTitle', { context: picker.context, after: asked });
    const deck = path.join(options.out, 'deck-page.png');
    const strips = DIALS.map((dial) => stripPicture(pluginFolder, host.feedback.filter((f) => f.context === dial.context && f.event === 'setFeedback').at(-1)?.payload, 0.6));
    fs.writeFileSync(deck, encodeRgba(deckPicture(host.images, strips, latestTitles(host.fromPlugin))));
    await session.setCursor(picker.pick.x, picker.pick.y);
    const [picked] = await host.waitForMessages('sendToPropertyInspector', { context: picker.context, after: asked, timeoutMs: 6000, where: (message) => message.payload?.picked });
    const { x, y, monitor } = picked.json.payload.picked;
    console.log(`key ${KEYS.indexOf(picker) + 1} ${picker.title}: its page asked to pick, the key counted down 3, 2, 1, the pointer went to (${picker.pick.x}, ${picker.pick.y}); the page got (${x}, ${y}) on monitor ${monitor}`);
    host.propertyInspectorDidDisappear(picker.context);
    const trail = path.join(options.out, 'pointer-path.png');
    fs.writeFileSync(trail, encodeRgba(pathPicture(points, clicks, wheels)));
    // The drag lock lets its button go, after the picture showed it held.
    for (const key of locks) await press(key, `${KEYS.indexOf(key) + 1} again`);
    console.log(`\nthe host closes the connection`);
    await host.closeConnection();
    const { code } = await host.plugin.exited;
    console.log(`the plugin ended with exit code ${code}`);
    console.log(`\npictures:\n    ${deck}  (the deck page with the images the plugin sent, the last key counting down a pick, and the dials' touch strip as the plugin set it)\n    ${trail}  (the pointer's path from green to yellow: dashes are placements, solid lines held moves, red rings button presses with their count where several fell on one spot, green chevrons turns of the wheel, cyan rings with a plus turns with Ctrl held)`);
    if (code !== 0) process.exitCode = 1;
  } finally {
    await session?.stop();
    fs.rmSync(scratch, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(`demo failed: ${error.message}`);
  process.exit(1);
});
