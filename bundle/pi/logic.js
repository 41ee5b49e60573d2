// Settings rules of the deckmouse settings page, free of the DOM so that Node
// can test them directly. In the page they are window.DeckMouseLogic.
(function (root, factory) {
  const api = factory();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.DeckMouseLogic = api;
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  // Every member travels as text; the plugin converts the numeric ones on each
  // key press and ignores the press when one fails to convert.
  const MEMBERS = [
    'my_mouse_event', 'my_sleep', 'my_offset_x', 'my_offset_y', 'my_wheel',
    'my_icon_color', 'my_icon_name', 'my_repeat_loops', 'my_icon_color_id',
  ];

  // The plugin scrolls by one wheel event whose amount is my_wheel itself.
  const NOTCH = 120;

  // Limits of what the page lets the user type; the plugin accepts any 32-bit value.
  const LIMITS = {
    my_sleep: { min: 0, max: 10000 },
    my_repeat_loops: { min: 0, max: 100 },
    my_offset_x: { min: -32767, max: 32767 },
    my_offset_y: { min: -32767, max: 32767 },
    my_accel: { min: 0, max: 1000 },
    notches: { min: 1, max: 100 },
    // A held scroll step may be a fraction of a notch; the sign is the direction.
    step: { min: -10 * NOTCH, max: 10 * NOTCH },
    // The plugin waits at least this long between the steps of a held scroll
    // and between the clicks of an autoclick.
    interval: { min: 10, max: 10000 },
    // The jiggler counts in seconds.
    jiggle: { min: 5, max: 3600 },
  };

  const BUTTONS = [
    { value: 'LEFT', label: 'Left button' },
    { value: 'MIDDLE', label: 'Middle button' },
    { value: 'RIGHT', label: 'Right button' },
    { value: 'X1', label: 'Back button (X1)' },
    { value: 'X2', label: 'Forward button (X2)' },
  ];

  // "" keeps the command's own reference (the whole desktop, or the main
  // monitor for centring). The numbers are offered until the plugin lists the
  // connected monitors.
  const MONITORS = ['', '1', '2', '3', '4', '5', '6', 'cursor'];
  // A monitor number as the plugin reads it; one past the last monitor is kept,
  // since the monitor may be connected again.
  const MONITOR_NUMBER = /^[1-9]\d{0,3}$/;

  // The modifier words of "my_modifiers", in the order the page writes them.
  const MODIFIER_WORDS = ['CTRL', 'SHIFT', 'ALT', 'META'];
  // Their labels by the host's platform (application.platform of the page's info).
  const MODIFIER_LABELS = {
    windows: { CTRL: 'Ctrl', SHIFT: 'Shift', ALT: 'Alt', META: 'Windows key' },
    mac: { CTRL: 'Control', SHIFT: 'Shift', ALT: 'Option', META: 'Command ⌘' },
    linux: { CTRL: 'Ctrl', SHIFT: 'Shift', ALT: 'Alt', META: 'Super' },
    other: { CTRL: 'Ctrl', SHIFT: 'Shift', ALT: 'Alt', META: 'Meta (Win / Cmd / Super)' },
  };

  // The saved-position slots: "1" to "9".
  const SLOTS = ['1', '2', '3', '4', '5', '6', '7', '8', '9'];

  // Members that only some commands read. A key stores one only after the user
  // set it, and only while its command reads it; `absent` is the value that acts
  // as if the member were missing, which the plugin gets when the page drops it.
  const OPTIONAL = {
    my_button: { absent: 'LEFT', repair: (t) => (t === '' || BUTTONS.some((b) => b.value === t) ? t : 'LEFT') },
    my_return: { absent: '0', repair: (t) => t },
    my_accel: { absent: '0', repair: (t) => wholeText(t, LIMITS.my_accel, 0) },
    my_relative: { absent: '0', repair: (t) => t },
    my_monitor: { absent: '', repair: (t) => (MONITORS.includes(t) || MONITOR_NUMBER.test(t) ? t : '') },
    // Unknown words stay as stored: the page marks them, and the first box changed drops them.
    my_modifiers: { absent: '', repair: (t) => t },
    // The plugin checks the steps and reports each line it cannot read.
    my_steps: { absent: '', repair: (t) => t },
    my_slot: { absent: '1', repair: (t) => (SLOTS.includes(t) ? t : '1') },
  };
  const OPTIONAL_MEMBERS = Object.keys(OPTIONAL);

  // The member each input of the page edits.
  const FIELD_MEMBERS = {
    button: 'my_button', monitor: 'my_monitor', step: 'my_wheel', sleep: 'my_sleep',
    notches: 'my_wheel', x: 'my_offset_x', y: 'my_offset_y', accel: 'my_accel',
    relative: 'my_relative', return: 'my_return', repeat: 'my_repeat_loops',
    steps: 'my_steps', slot: 'my_slot', modifiers: 'my_modifiers',
  };

  const FIELD_LIMITS = {
    sleep: LIMITS.my_sleep, notches: LIMITS.notches, step: LIMITS.step, x: LIMITS.my_offset_x,
    y: LIMITS.my_offset_y, accel: LIMITS.my_accel, repeat: LIMITS.my_repeat_loops,
  };

  const GROUPS = [
    { id: 'click', label: 'Click' },
    { id: 'button', label: 'Press and release' },
    { id: 'wheel', label: 'Scroll wheel' },
    { id: 'cursor', label: 'Cursor' },
    { id: 'sequence', label: 'Sequences' },
  ];

  // fields: which inputs apply, in display order. A field is `true`, a caption,
  // or { caption, help, limits, empty } where the command needs its own; the
  // same member means different things to different commands.
  // Every command that clicks, presses, scrolls or moves holds modifier keys around its input.
  const MODS = { modifiers: true };
  const CLICK = {
    fields: { sleep: 'Hold time (ms)', repeat: true, ...MODS },
    help: 'Presses and releases the button; extra repeats click again.',
  };
  const DOUBLE = {
    fields: { sleep: 'Hold time (ms)', ...MODS },
    help: 'Two clicks that every program takes for a double-click; a long hold time is shortened to fit.',
  };
  const PRESS = { fields: { ...MODS }, help: 'The button stays down until a key releases it.' };
  const RELEASE = { fields: { ...MODS }, help: 'Releases a button that a press key held down.' };
  const TOGGLE = {
    fields: { ...MODS },
    help: 'The first press holds the button down for dragging, the next releases it. The key shows while it is down.',
  };
  const WHEEL = { fields: { notches: true, repeat: true, ...MODS }, help: 'Turns the wheel by the notches; extra repeats turn it again.' };
  const wheelHold = (direction) => ({
    fields: {
      step: { help: direction },
      sleep: { caption: 'Step interval (ms)', limits: LIMITS.interval },
      accel: true,
      ...MODS,
    },
    help: 'Scrolls one step per interval while the key is held.',
  });
  const MONITOR_NUMBERS = 'Monitor 1 is the main one; the others go from left to right, then top to bottom.';
  const AT_MONITOR = {
    empty: 'Whole desktop',
    help: 'With a monitor chosen, the position counts from its top-left corner and stays on it. ' + MONITOR_NUMBERS,
  };
  const POSITION = { x: 'X position (px)', y: 'Y position (px)' };
  const STEP = { x: 'Horizontal step (px)', y: 'Vertical step (px)' };
  const AUTOCLICK = {
    button: true,
    sleep: {
      caption: 'Click interval (ms)', limits: LIMITS.interval, fallback: 100,
      help: 'At least 10 ms: at most 100 clicks a second.',
    },
    ...MODS,
  };

  const COMMANDS = [
    { name: 'MOUSE_LEFT_CLICK', group: 'click', label: 'Left click', icon: 'click_left', ...CLICK },
    { name: 'MOUSE_MIDDLE_CLICK', group: 'click', label: 'Middle click', icon: 'click_middle', ...CLICK },
    { name: 'MOUSE_RIGHT_CLICK', group: 'click', label: 'Right click', icon: 'click_right', ...CLICK },
    { name: 'MOUSE_X1_CLICK', group: 'click', label: 'Back click (X1)', icon: 'click_x1', ...CLICK },
    { name: 'MOUSE_X2_CLICK', group: 'click', label: 'Forward click (X2)', icon: 'click_x2', ...CLICK },
    { name: 'MOUSE_LEFT_DOUBLE_CLICK', group: 'click', label: 'Left double-click', icon: 'double_left', ...DOUBLE },
    { name: 'MOUSE_MIDDLE_DOUBLE_CLICK', group: 'click', label: 'Middle double-click', icon: 'double_middle', ...DOUBLE },
    { name: 'MOUSE_RIGHT_DOUBLE_CLICK', group: 'click', label: 'Right double-click', icon: 'double_right', ...DOUBLE },
    { name: 'MOUSE_CLICK_AT', group: 'click', label: 'Click at a position', icon: 'click_at', picks: true,
      fields: { button: true, monitor: AT_MONITOR, ...POSITION, return: true, ...MODS },
      help: 'Moves the cursor there and clicks, with no other input in between.' },
    { name: 'MOUSE_AUTOCLICK_HOLD', group: 'click', label: 'Click repeatedly while held', icon: 'autoclick_hold',
      fields: AUTOCLICK, help: 'Clicks the button at this interval for as long as the key is held.' },
    { name: 'MOUSE_AUTOCLICK_TOGGLE', group: 'click', label: 'Click repeatedly (on/off)', icon: 'autoclick_toggle',
      fields: AUTOCLICK,
      help: 'The first press starts clicking at this interval, the next stops it. The key shows while it clicks; '
        + 'it stops when the key is no longer shown.' },
    { name: 'MOUSE_LEFT_DOWN', group: 'button', label: 'Press left button', icon: 'button_down', ...PRESS },
    { name: 'MOUSE_MIDDLE_DOWN', group: 'button', label: 'Press middle button', icon: 'button_down', ...PRESS },
    { name: 'MOUSE_RIGHT_DOWN', group: 'button', label: 'Press right button', icon: 'button_down', ...PRESS },
    { name: 'MOUSE_X1_DOWN', group: 'button', label: 'Press back button (X1)', icon: 'button_down', ...PRESS },
    { name: 'MOUSE_X2_DOWN', group: 'button', label: 'Press forward button (X2)', icon: 'button_down', ...PRESS },
    { name: 'MOUSE_LEFT_UP', group: 'button', label: 'Release left button', icon: 'button_up', ...RELEASE },
    { name: 'MOUSE_MIDDLE_UP', group: 'button', label: 'Release middle button', icon: 'button_up', ...RELEASE },
    { name: 'MOUSE_RIGHT_UP', group: 'button', label: 'Release right button', icon: 'button_up', ...RELEASE },
    { name: 'MOUSE_X1_UP', group: 'button', label: 'Release back button (X1)', icon: 'button_up', ...RELEASE },
    { name: 'MOUSE_X2_UP', group: 'button', label: 'Release forward button (X2)', icon: 'button_up', ...RELEASE },
    { name: 'MOUSE_LEFT_TOGGLE', group: 'button', label: 'Toggle left button (drag lock)', icon: 'toggle_left', ...TOGGLE },
    { name: 'MOUSE_MIDDLE_TOGGLE', group: 'button', label: 'Toggle middle button (drag lock)', icon: 'toggle_middle', ...TOGGLE },
    { name: 'MOUSE_RIGHT_TOGGLE', group: 'button', label: 'Toggle right button (drag lock)', icon: 'toggle_right', ...TOGGLE },
    { name: 'MOUSE_WHEEL_UP', group: 'wheel', label: 'Scroll up', icon: 'wheel_up', ...WHEEL, wheelSign: 1 },
    { name: 'MOUSE_WHEEL_DOWN', group: 'wheel', label: 'Scroll down', icon: 'wheel_down', ...WHEEL, wheelSign: -1 },
    { name: 'MOUSE_HWHEEL_DOWN', group: 'wheel', label: 'Scroll left', icon: 'wheel_left', ...WHEEL, wheelSign: -1 },
    { name: 'MOUSE_HWHEEL_UP', group: 'wheel', label: 'Scroll right', icon: 'wheel_right', ...WHEEL, wheelSign: 1 },
    { name: 'MOUSE_WHEEL_HOLD', group: 'wheel', label: 'Scroll up or down while held', icon: 'wheel_hold',
      ...wheelHold('A notch is 120. A positive step scrolls up, a negative one down.') },
    { name: 'MOUSE_HWHEEL_HOLD', group: 'wheel', label: 'Scroll left or right while held', icon: 'hwheel_hold',
      ...wheelHold('A notch is 120. A positive step scrolls right, a negative one left.') },
    { name: 'MOUSE_CURSOR_POS', group: 'cursor', label: 'Place cursor at a position', icon: 'cursor_place', picks: true,
      fields: { monitor: AT_MONITOR, ...POSITION, ...MODS }, help: 'Puts the cursor at this screen position.' },
    { name: 'MOUSE_CURSOR_RESET', group: 'cursor', label: 'Centre cursor on screen', icon: 'cursor_center',
      fields: { monitor: { empty: 'Main monitor', help: MONITOR_NUMBERS }, ...MODS },
      help: 'Puts the cursor in the middle of the chosen monitor.' },
    { name: 'MOUSE_CURSOR_MOVE', group: 'cursor', label: 'Move cursor while held', icon: 'cursor_move',
      fields: { sleep: 'Step interval (ms)', ...STEP, accel: true, relative: true, ...MODS },
      help: 'Moves the cursor one step per interval while the key is held.' },
    { name: 'MOUSE_CURSOR_NUDGE', group: 'cursor', label: 'Nudge cursor', icon: 'cursor_nudge',
      fields: { ...STEP, ...MODS }, help: 'Moves the cursor once by this step, as relative input that games see.' },
    { name: 'MOUSE_POS_SAVE', group: 'cursor', label: 'Save cursor position', icon: 'pos_save',
      fields: { slot: true },
      help: 'Stores where the cursor is in the slot, for a restore key on any page or profile.' },
    { name: 'MOUSE_POS_RESTORE', group: 'cursor', label: 'Restore cursor position', icon: 'pos_restore',
      fields: { slot: true, ...MODS },
      help: 'Puts the cursor back where the slot says. An empty slot shows an alert on the key.' },
    { name: 'MOUSE_JIGGLE_TOGGLE', group: 'cursor', label: 'Keep awake: jiggle (on/off)', icon: 'jiggle',
      fields: {
        sleep: {
          // The plugin takes an empty interval as the default.
          caption: 'Interval (s)', limits: LIMITS.jiggle, unit: 's', fallback: 60, emptyIsFallback: true,
          help: 'Each time the cursor moves one pixel and back, so it ends where it was. At least 5 seconds.',
        },
      },
      help: 'While on, small moves keep the computer from going idle. It goes on when the deck shows another page; '
        + 'the next press stops it. The key shows while it runs.' },
    { name: 'MOUSE_SEQUENCE', group: 'sequence', label: 'Run a sequence of steps', icon: 'sequence',
      fields: { monitor: { ...AT_MONITOR, help: 'For “move X Y”. ' + AT_MONITOR.help }, steps: true, ...MODS },
      help: 'Runs the steps in order with one press; the check below shows each line the plugin cannot read.' },
  ];

  // Help under a field that says the same for every command using it.
  const FIELD_HELP = {
    steps: 'One step per line, or steps separated by “;”. At most 64 steps and 60 seconds of waits in all.',
    accel: 'The step grows by this percentage each second held, up to 10 times the first step.',
    modifiers: 'Held down around the mouse input, as if pressed on the keyboard: Ctrl with the wheel zooms, '
      + 'Shift with a click selects a range.',
  };

  const MONITOR_LABELS = { 1: 'Monitor 1 (main)', cursor: 'Monitor under the cursor' };
  const MONITOR_LABEL = 'Monitor {n}';

  const DEFAULT_COMMAND = 'MOUSE_LEFT_CLICK';

  const INVALID_NUMBER = 'Enter a whole number from {min} to {max}.';

  // Texts the page puts on screen from what it is told, rather than from its markup.
  const TEXTS = {
    notANumber: 'The stored text is not a whole number.',
    cancelPick: 'Cancel picking',
    pointerOn: '{x}, {y} on monitor {n}',
    pointerOff: '{x}, {y}, on no monitor',
    monitor: '{n}: {width}×{height} at {x}, {y}',
    mainMonitor: '{n}: {width}×{height} at {x}, {y}, main',
    missingMonitor: 'Monitor {n} (not connected)',
    unknownModifiers: 'The stored keys “{words}” are not all known: the key does nothing until a box is changed.',
    stepsSummary: 'Steps: {steps}; waits: {seconds} s in all.',
    stepLine: 'Line {line}: {text}',
    slotOption: 'Slot {n}',
    slotHolds: 'Slot {n}: {x}, {y}',
    slotEmpty: 'Slot {n}: empty',
  };

  // What the plugin's check says about a step, by the code it reports.
  const STEP_PROBLEMS = {
    'unknown-step': 'Not a step: the first word is none of the step words.',
    'bad-button': 'The button is not left, middle, right, x1 or x2.',
    'bad-number': 'A number is not a whole number, or out of range.',
    'wrong-count': 'Too few or too many words for this step.',
    'mixed-signs': 'A move takes two signed numbers (by a step) or two unsigned ones (to a position).',
    'too-many-steps': 'One step too many: a sequence has at most 64.',
    'too-much-wait': 'The waits pass 60 seconds in all here.',
  };
  const STEP_PROBLEM_OTHER = 'The plugin cannot read this step.';

  // Members the plugin converts to numbers on every press.
  const NUMBER_MEMBERS = ['my_sleep', 'my_offset_x', 'my_offset_y', 'my_wheel', 'my_repeat_loops', 'my_accel'];

  const has = (o, k) => Object.prototype.hasOwnProperty.call(o, k);

  function command(name) {
    return COMMANDS.find((c) => c.name === name) || null;
  }

  function helpFor(name) {
    const c = command(name);
    return (c && c.help) || '';
  }

  // How the command shows one of the inputs, or null when it has no use for it.
  function fieldShape(name, id) {
    const c = command(name);
    if (!c || !has(c.fields, id)) return null;
    const raw = c.fields[id];
    const shape = typeof raw === 'object' ? raw : { caption: typeof raw === 'string' ? raw : null };
    return {
      caption: shape.caption || null,
      help: shape.help || FIELD_HELP[id] || null,
      limits: shape.limits || FIELD_LIMITS[id] || null,
      empty: shape.empty || null,
      unit: shape.unit || 'ms',
      fallback: shape.fallback || 0,
      emptyIsFallback: !!shape.emptyIsFallback,
    };
  }

  // Whether the command's page offers "Pick on screen" for its X and Y.
  function picksPosition(name) {
    const c = command(name);
    return !!c && !!c.picks;
  }

  function usesMember(name, member) {
    const c = command(name);
    return !!c && Object.keys(c.fields).some((id) => FIELD_MEMBERS[id] === member);
  }

  // The label of each monitor choice, as a text to translate and its slots.
  function monitorLabel(value) {
    if (has(MONITOR_LABELS, value)) return { text: MONITOR_LABELS[value], args: null };
    return { text: MONITOR_LABEL, args: { n: Number(value) } };
  }

  const isWhole = (v) => Number.isInteger(v) && Math.abs(v) <= 2147483647;

  // {x, y, monitor} from the plugin's "picked" or "pointer"; monitor 0 when it
  // names none. Null when x or y is not a whole number.
  function readPoint(p) {
    if (!p || typeof p !== 'object' || !isWhole(p.x) || !isWhole(p.y)) return null;
    return { x: p.x, y: p.y, monitor: Number.isInteger(p.monitor) && p.monitor > 0 ? p.monitor : 0 };
  }

  // The plugin's monitor list, entries that are not whole-numbered left out; null when it is no list.
  function readMonitors(list) {
    if (!Array.isArray(list)) return null;
    return list.filter((m) => m && typeof m === 'object' && Number.isInteger(m.number) && m.number > 0
      && ['x', 'y', 'width', 'height'].every((k) => isWhole(m[k])))
      .map((m) => ({ number: m.number, x: m.x, y: m.y, width: m.width, height: m.height, primary: m.primary === true }));
  }

  function pointerText(point) {
    const args = { x: point.x, y: point.y, n: point.monitor };
    return { text: point.monitor > 0 ? TEXTS.pointerOn : TEXTS.pointerOff, args };
  }

  function monitorLine(m) {
    const args = { n: m.number, width: m.width, height: m.height, x: m.x, y: m.y };
    return { text: m.primary ? TEXTS.mainMonitor : TEXTS.monitor, args };
  }

  // The numbered choices of "my_monitor" besides "": the connected monitors
  // once the plugin listed them (1 to 6 before), a stored number among them
  // even when it is not connected (marked `missing`), and the cursor's monitor.
  function monitorChoices(monitors, stored) {
    const numbers = monitors ? monitors.map((m) => String(m.number)) : MONITORS.filter((v) => MONITOR_NUMBER.test(v));
    const choices = numbers.map((value) => {
      const m = monitors && monitors.find((e) => String(e.number) === value);
      const label = m && !(m.primary && m.number === 1) ? { text: MONITOR_LABEL, args: { n: m.number } } : monitorLabel(value);
      return { value, ...label, missing: false };
    });
    if (MONITOR_NUMBER.test(stored) && !numbers.includes(stored)) {
      const missing = monitors !== null;
      const label = missing ? { text: TEXTS.missingMonitor, args: { n: Number(stored) } } : monitorLabel(stored);
      choices.push({ value: stored, ...label, missing });
      choices.sort((a, b) => Number(a.value) - Number(b.value));
    }
    choices.push({ value: 'cursor', ...monitorLabel('cursor'), missing: false });
    return choices;
  }

  // Whole decimal number within [min, max], as typed: optional minus, digits, nothing else.
  // Returns the number, or null when the text is not acceptable.
  function parseWhole(text, limits) {
    if (typeof text !== 'string') return null;
    const t = text.trim();
    if (!/^-?\d{1,9}$/.test(t)) return null;
    const n = Number(t);
    if (n < limits.min || n > limits.max) return null;
    return n === 0 ? 0 : n; // no "-0"
  }

  // What the plugin itself would read: optional sign and digits, in 32-bit range.
  function pluginInteger(text) {
    if (typeof text !== 'string' || !/^-?\d+$/.test(text)) return null;
    const n = Number(text);
    return n >= -2147483648 && n <= 2147483647 ? n : null;
  }

  // Stored text that is not a plain whole number: the plugin takes a leading
  // number from it, and ignores the key's presses when there is none. An empty
  // optional member acts as absent and is fine.
  function unreadable(member, value) {
    if (!NUMBER_MEMBERS.includes(member) || typeof value !== 'string') return false;
    if (value === '' && has(OPTIONAL, member)) return false;
    return pluginInteger(value) === null;
  }

  // The number field of the command that edits the member, if it shows one.
  function numberFieldOf(commandName, member) {
    return Object.keys(FIELD_LIMITS).find((id) => FIELD_MEMBERS[id] === member && fieldShape(commandName, id)) || null;
  }

  // Unreadable text in a field the command shows stays as stored, so the user
  // sees what the key holds and corrects it there; one the command does not
  // show is repaired, as the user could neither see nor fix it.
  function keepUnreadable(commandName, from, into) {
    for (const k of NUMBER_MEMBERS) {
      const field = numberFieldOf(commandName, k);
      if (!has(into, k) || !unreadable(k, from[k]) || !field) continue;
      // Empty text the plugin reads as the default becomes the default.
      if (from[k] === '' && fieldShape(commandName, field).emptyIsFallback) continue;
      into[k] = from[k];
    }
    return into;
  }

  // Why the field shows a stored value that does not work, or null.
  function storedProblem(settings, commandName, fieldId) {
    const member = FIELD_MEMBERS[fieldId];
    if (member === 'my_modifiers') {
      const { unknown } = modifierWords(memberValue(settings, member));
      if (!fieldShape(commandName, fieldId) || unknown.length === 0) return null;
      return { text: TEXTS.unknownModifiers, args: { words: unknown.join('+') } };
    }
    if (numberFieldOf(commandName, member) !== fieldId) return null;
    return unreadable(member, settings[member]) ? { text: TEXTS.notANumber, args: null } : null;
  }

  function clamp(n, limits) {
    return Math.min(limits.max, Math.max(limits.min, n));
  }

  // A stored number brought inside the limits; `fallback` when the plugin could not read it.
  function wholeText(text, limits, fallback) {
    const n = pluginInteger(text);
    return String(n === null ? fallback : clamp(n, limits));
  }

  function notchesOf(wheelText) {
    const n = pluginInteger(wheelText);
    if (n === null) return 1;
    return clamp(Math.round(Math.abs(n) / NOTCH), LIMITS.notches);
  }

  // The sign of my_wheel alone picks the direction, so it must agree with the command.
  function wheelText(notches, commandName, previousText) {
    const c = command(commandName);
    let sign = c && c.wheelSign;
    if (!sign) {
      const prev = pluginInteger(previousText);
      sign = prev !== null && prev < 0 ? -1 : 1;
    }
    return String(sign * notches * NOTCH);
  }

  // A held scroll keeps the amount and its sign, fractions of a notch included;
  // every other command keeps my_wheel on whole notches.
  function wheelFor(commandName, previousText) {
    if (fieldShape(commandName, 'step')) return wholeText(previousText, LIMITS.step, NOTCH);
    return wheelText(notchesOf(previousText), commandName, previousText);
  }

  // my_sleep counts milliseconds, or seconds for the jiggler.
  function sleepUnit(commandName) {
    const shape = fieldShape(commandName, 'sleep');
    return shape ? shape.unit : 'ms';
  }

  // A time in another unit than the command's is no guide: the command's own default replaces it.
  function sleepFor(commandName, previousText, previousUnit) {
    const shape = fieldShape(commandName, 'sleep');
    const limits = shape ? shape.limits : LIMITS.my_sleep;
    const fallback = shape ? shape.fallback : 0;
    if (previousUnit !== sleepUnit(commandName)) return String(clamp(fallback, limits));
    return wholeText(previousText, limits, fallback);
  }

  // The five numbers of the nine members as the command reads them, from the
  // text each had (`text(member)`) under a command whose my_sleep was in `sleepUnitBefore`.
  function numbersFor(commandName, text, sleepUnitBefore) {
    const out = {
      my_sleep: sleepFor(commandName, text('my_sleep'), sleepUnitBefore),
      my_wheel: wheelFor(commandName, text('my_wheel')),
    };
    for (const k of ['my_offset_x', 'my_offset_y', 'my_repeat_loops']) out[k] = wholeText(text(k), LIMITS[k], 0);
    return out;
  }

  function colourById(data, id) {
    return data.palette.find((p) => p.id === id) || null;
  }

  function defaultColour(data) {
    return colourById(data, data.defaultColour) || data.palette[0];
  }

  function iconFile(name, colour) {
    return name + '_' + colour.id + colour.word + '.png';
  }

  // The nine members first, then the optional ones that are present, in a fixed order.
  function ordered(settings) {
    const out = {};
    for (const k of MEMBERS) out[k] = settings[k];
    for (const k of OPTIONAL_MEMBERS) if (has(settings, k)) out[k] = settings[k];
    return out;
  }

  // Optional members the command reads are kept (repaired), all others dropped.
  function optionalFor(commandName, stored) {
    const out = {};
    for (const k of OPTIONAL_MEMBERS) {
      if (!has(stored, k) || !usesMember(commandName, k)) continue;
      out[k] = typeof stored[k] === 'string' ? OPTIONAL[k].repair(stored[k]) : OPTIONAL[k].absent;
    }
    return out;
  }

  // A complete set of nine valid members built from whatever the key had stored,
  // with the optional members its command reads.
  function normalize(stored, data) {
    const s = stored && typeof stored === 'object' ? stored : {};
    const str = (k) => (typeof s[k] === 'string' ? s[k] : '');
    const out = {};
    const c = command(str('my_mouse_event')) || command(DEFAULT_COMMAND);
    out.my_mouse_event = c.name;

    Object.assign(out, numbersFor(c.name, str, sleepUnit(c.name)));

    const iconNames = data.icons.map((i) => i.name);
    out.my_icon_name = iconNames.includes(str('my_icon_name')) ? str('my_icon_name') : c.icon;
    // The word names the colour; a missing or stale identifier is repaired from it.
    const colour = data.palette.find((p) => p.word === str('my_icon_color')) || defaultColour(data);
    out.my_icon_color = colour.word;
    out.my_icon_color_id = colour.id;

    return ordered(keepUnreadable(c.name, s, Object.assign(out, optionalFor(c.name, s))));
  }

  // Settings after the user picks another command: the wheel sign follows, an
  // icon the user never changed away from the command's own follows too, and
  // optional members the new command does not read are dropped.
  function withCommand(current, name) {
    const before = command(current.my_mouse_event);
    const after = command(name);
    if (!after) return ordered(current);
    const next = {};
    for (const k of MEMBERS) next[k] = current[k];
    next.my_mouse_event = name;
    Object.assign(next, numbersFor(name, (k) => current[k], sleepUnit(current.my_mouse_event)));
    if (before && current.my_icon_name === before.icon) next.my_icon_name = after.icon;
    return ordered(keepUnreadable(name, current, Object.assign(next, optionalFor(name, current))));
  }

  // The value a member has for the plugin; an optional one that is not stored
  // acts as its `absent` value.
  function memberValue(settings, member) {
    if (has(settings, member) || !has(OPTIONAL, member)) return settings[member];
    return OPTIONAL[member].absent;
  }

  function withMembers(current, members) {
    return ordered(Object.assign({}, current, members));
  }

  // What the plugin must be told to hold what `after` says: changed members, and
  // for each dropped optional member the value that acts as if it were absent.
  function changedMembers(before, after) {
    const changed = {};
    for (const k of MEMBERS) if (before[k] !== after[k]) changed[k] = after[k];
    for (const k of OPTIONAL_MEMBERS) {
      if (has(after, k)) {
        if (!has(before, k) || before[k] !== after[k]) changed[k] = after[k];
      } else if (has(before, k)) {
        changed[k] = OPTIONAL[k].absent;
      }
    }
    return changed;
  }

  // ---- modifier keys -------------------------------------------------------

  // The words of a stored "my_modifiers": those the plugin knows and those it
  // does not. It reads them in any case and skips empty ones.
  function modifierWords(text) {
    const words = typeof text === 'string' ? text.split('+').map((w) => w.trim()).filter((w) => w !== '') : [];
    const known = (w) => MODIFIER_WORDS.includes(w.toUpperCase());
    return {
      known: MODIFIER_WORDS.filter((m) => words.some((w) => w.toUpperCase() === m)),
      unknown: words.filter((w) => !known(w)),
    };
  }

  // The member for the checked words, in the fixed order; "" for none.
  function modifiersText(checked) {
    return MODIFIER_WORDS.filter((w) => checked.includes(w)).join('+');
  }

  // [{ word, label }] in the fixed order, labelled as the host's platform names the keys.
  function modifierLabels(platform) {
    const labels = MODIFIER_LABELS[typeof platform === 'string' && has(MODIFIER_LABELS, platform) ? platform : 'other'];
    return MODIFIER_WORDS.map((word) => ({ word, label: labels[word] }));
  }

  // ---- the step check and the saved positions ------------------------------

  // The plugin's {"stepsCheck": ...}, its problems with a whole line number kept; null when malformed.
  function readStepsCheck(check) {
    if (!check || typeof check !== 'object' || !isWhole(check.steps) || !isWhole(check.waitMs)) return null;
    const problems = (Array.isArray(check.problems) ? check.problems : [])
      .filter((p) => p && typeof p === 'object' && Number.isInteger(p.line) && p.line > 0)
      .map((p) => ({
        line: p.line,
        text: typeof p.text === 'string' ? p.text : '',
        problem: typeof p.problem === 'string' ? p.problem : '',
      }));
    return { steps: check.steps, waitMs: check.waitMs, problems };
  }

  function stepProblemText(code) {
    return has(STEP_PROBLEMS, code) ? STEP_PROBLEMS[code] : STEP_PROBLEM_OTHER;
  }

  function stepsSummary(check) {
    return { text: TEXTS.stepsSummary, args: { steps: check.steps, seconds: check.waitMs / 1000 } };
  }

  // The positions of the global settings' "slots", by slot; null when there is no such object.
  function readSlots(globalSettings) {
    const slots = globalSettings && typeof globalSettings === 'object' ? globalSettings.slots : null;
    if (!slots || typeof slots !== 'object' || Array.isArray(slots)) return null;
    const out = {};
    for (const n of SLOTS) {
      const p = has(slots, n) ? readPoint(slots[n]) : null;
      if (p) out[n] = { x: p.x, y: p.y };
    }
    return out;
  }

  // One line per slot: where it points, or that it is empty.
  function slotLines(slots) {
    return SLOTS.map((n) => (has(slots, n)
      ? { text: TEXTS.slotHolds, args: { n: Number(n), x: slots[n].x, y: slots[n].y } }
      : { text: TEXTS.slotEmpty, args: { n: Number(n) } }));
  }

  // The host gives a file input the value "C:\fakepath\" + percent-encoded full path;
  // an ordinary browser gives the bare file name after the same prefix.
  function decodeFilePath(value) {
    if (typeof value !== 'string') return '';
    const rest = value.replace(/^C:\\fakepath\\/i, '');
    try {
      return decodeURIComponent(rest);
    } catch (e) {
      return rest; // a path with a lone "%" that was never encoded
    }
  }

  // Fills "{min}"-style slots of a translated text.
  function format(text, args) {
    return text.replace(/\{(\w+)\}/g, (m, k) => (args && k in args ? String(args[k]) : m));
  }

  return {
    MEMBERS, OPTIONAL_MEMBERS, NOTCH, LIMITS, BUTTONS, MONITORS, FIELD_MEMBERS, GROUPS, COMMANDS,
    DEFAULT_COMMAND, INVALID_NUMBER, TEXTS, MODIFIER_WORDS, MODIFIER_LABELS, SLOTS, STEP_PROBLEMS, STEP_PROBLEM_OTHER,
    modifierWords, modifiersText, modifierLabels, readStepsCheck, stepProblemText, stepsSummary, readSlots, slotLines,
    command, helpFor, fieldShape, picksPosition, usesMember, monitorLabel, monitorChoices, readPoint, readMonitors,
    pointerText, monitorLine, unreadable, storedProblem, parseWhole, pluginInteger, notchesOf,
    wheelText, colourById, defaultColour, iconFile, normalize, withCommand, memberValue,
    withMembers, changedMembers, decodeFilePath, format,
  };
});
