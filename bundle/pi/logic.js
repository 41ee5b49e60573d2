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
    notches: { min: 1, max: 100 },
  };

  const GROUPS = [
    { id: 'click', label: 'Click' },
    { id: 'press', label: 'Press button' },
    { id: 'release', label: 'Release button' },
    { id: 'wheel', label: 'Scroll wheel' },
    { id: 'cursor', label: 'Cursor' },
  ];

  // fields: which inputs apply, in display order. sleep/x/y carry the label
  // that fits the command, since the same member means different things.
  const CLICK = { sleep: 'Hold time (ms)', repeat: true };
  const WHEEL = { notches: true, repeat: true };
  const COMMANDS = [
    { name: 'MOUSE_LEFT_CLICK', group: 'click', label: 'Left click', icon: 'click_left', fields: CLICK },
    { name: 'MOUSE_MIDDLE_CLICK', group: 'click', label: 'Middle click', icon: 'click_middle', fields: CLICK },
    { name: 'MOUSE_RIGHT_CLICK', group: 'click', label: 'Right click', icon: 'click_right', fields: CLICK },
    { name: 'MOUSE_X1_CLICK', group: 'click', label: 'Back click (X1)', icon: 'click_x1', fields: CLICK },
    { name: 'MOUSE_X2_CLICK', group: 'click', label: 'Forward click (X2)', icon: 'click_x2', fields: CLICK },
    { name: 'MOUSE_LEFT_DOWN', group: 'press', label: 'Press left button', icon: 'button_down', fields: {} },
    { name: 'MOUSE_MIDDLE_DOWN', group: 'press', label: 'Press middle button', icon: 'button_down', fields: {} },
    { name: 'MOUSE_RIGHT_DOWN', group: 'press', label: 'Press right button', icon: 'button_down', fields: {} },
    { name: 'MOUSE_X1_DOWN', group: 'press', label: 'Press back button (X1)', icon: 'button_down', fields: {} },
    { name: 'MOUSE_X2_DOWN', group: 'press', label: 'Press forward button (X2)', icon: 'button_down', fields: {} },
    { name: 'MOUSE_LEFT_UP', group: 'release', label: 'Release left button', icon: 'button_up', fields: {} },
    { name: 'MOUSE_MIDDLE_UP', group: 'release', label: 'Release middle button', icon: 'button_up', fields: {} },
    { name: 'MOUSE_RIGHT_UP', group: 'release', label: 'Release right button', icon: 'button_up', fields: {} },
    { name: 'MOUSE_X1_UP', group: 'release', label: 'Release back button (X1)', icon: 'button_up', fields: {} },
    { name: 'MOUSE_X2_UP', group: 'release', label: 'Release forward button (X2)', icon: 'button_up', fields: {} },
    { name: 'MOUSE_WHEEL_UP', group: 'wheel', label: 'Scroll up', icon: 'wheel_up', fields: WHEEL, wheelSign: 1 },
    { name: 'MOUSE_WHEEL_DOWN', group: 'wheel', label: 'Scroll down', icon: 'wheel_down', fields: WHEEL, wheelSign: -1 },
    { name: 'MOUSE_HWHEEL_DOWN', group: 'wheel', label: 'Scroll left', icon: 'wheel_left', fields: WHEEL, wheelSign: -1 },
    { name: 'MOUSE_HWHEEL_UP', group: 'wheel', label: 'Scroll right', icon: 'wheel_right', fields: WHEEL, wheelSign: 1 },
    { name: 'MOUSE_CURSOR_POS', group: 'cursor', label: 'Place cursor at a position', icon: 'cursor_place',
      fields: { x: 'X position (px)', y: 'Y position (px)' } },
    { name: 'MOUSE_CURSOR_RESET', group: 'cursor', label: 'Centre cursor on screen', icon: 'cursor_center', fields: {} },
    { name: 'MOUSE_CURSOR_MOVE', group: 'cursor', label: 'Move cursor while held', icon: 'cursor_move',
      fields: { x: 'Horizontal step (px)', y: 'Vertical step (px)', sleep: 'Step interval (ms)' } },
  ];

  const HELP = {
    press: 'The button stays down until a key releases it.',
    release: 'Releases a button that a press key held down.',
    MOUSE_CURSOR_POS: 'Puts the cursor at this screen position.',
    MOUSE_CURSOR_RESET: 'Puts the cursor in the middle of the main screen.',
    MOUSE_CURSOR_MOVE: 'Moves the cursor one step per interval while the key is held.',
  };

  const DEFAULT_COMMAND = 'MOUSE_LEFT_CLICK';

  const INVALID_NUMBER = 'Enter a whole number from {min} to {max}.';

  function command(name) {
    return COMMANDS.find((c) => c.name === name) || null;
  }

  function helpFor(name) {
    const c = command(name);
    if (!c) return '';
    return HELP[c.name] || HELP[c.group] || '';
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

  function clamp(n, limits) {
    return Math.min(limits.max, Math.max(limits.min, n));
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

  function colourById(data, id) {
    return data.palette.find((p) => p.id === id) || null;
  }

  function defaultColour(data) {
    return colourById(data, data.defaultColour) || data.palette[0];
  }

  function iconFile(name, colour) {
    return name + '_' + colour.id + colour.word + '.png';
  }

  // A complete set of nine valid members built from whatever the key had stored.
  function normalize(stored, data) {
    const s = stored && typeof stored === 'object' ? stored : {};
    const str = (k) => (typeof s[k] === 'string' ? s[k] : '');
    const out = {};
    const c = command(str('my_mouse_event')) || command(DEFAULT_COMMAND);
    out.my_mouse_event = c.name;

    for (const k of ['my_sleep', 'my_offset_x', 'my_offset_y', 'my_repeat_loops']) {
      const n = pluginInteger(str(k));
      out[k] = String(n === null ? 0 : clamp(n, LIMITS[k]));
    }
    out.my_wheel = wheelText(notchesOf(str('my_wheel')), c.name, str('my_wheel'));

    const iconNames = data.icons.map((i) => i.name);
    out.my_icon_name = iconNames.includes(str('my_icon_name')) ? str('my_icon_name') : c.icon;
    // The word names the colour; a missing or stale identifier is repaired from it.
    const colour = data.palette.find((p) => p.word === str('my_icon_color')) || defaultColour(data);
    out.my_icon_color = colour.word;
    out.my_icon_color_id = colour.id;

    const ordered = {};
    for (const k of MEMBERS) ordered[k] = out[k];
    return ordered;
  }

  // Settings after the user picks another command: the wheel sign follows, and
  // an icon the user never changed away from the command's own follows too.
  function withCommand(current, name) {
    const next = Object.assign({}, current);
    const before = command(current.my_mouse_event);
    const after = command(name);
    if (!after) return next;
    next.my_mouse_event = name;
    next.my_wheel = wheelText(notchesOf(current.my_wheel), name, current.my_wheel);
    if (before && current.my_icon_name === before.icon) next.my_icon_name = after.icon;
    return next;
  }

  function changedMembers(before, after) {
    const changed = {};
    for (const k of MEMBERS) if (before[k] !== after[k]) changed[k] = after[k];
    return changed;
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
    MEMBERS, NOTCH, LIMITS, GROUPS, COMMANDS, DEFAULT_COMMAND, INVALID_NUMBER,
    command, helpFor, parseWhole, pluginInteger, notchesOf, wheelText,
    colourById, defaultColour, iconFile, normalize, withCommand, changedMembers,
    decodeFilePath, format,
  };
});
