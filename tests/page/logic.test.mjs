// Rules of the settings page that need no browser: validation, wheel sign,
// repair of stored settings, optional members, command switching and the
// host's file paths.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { logic as L, iconData } from './lib/page-source.mjs';

// The commands every stored key may hold; their settings must load as they always did.
const OLD_COMMANDS = [
  'MOUSE_LEFT_CLICK', 'MOUSE_MIDDLE_CLICK', 'MOUSE_RIGHT_CLICK', 'MOUSE_X1_CLICK', 'MOUSE_X2_CLICK',
  'MOUSE_WHEEL_UP', 'MOUSE_WHEEL_DOWN', 'MOUSE_HWHEEL_UP', 'MOUSE_HWHEEL_DOWN',
  'MOUSE_LEFT_DOWN', 'MOUSE_LEFT_UP', 'MOUSE_MIDDLE_DOWN', 'MOUSE_MIDDLE_UP', 'MOUSE_RIGHT_DOWN',
  'MOUSE_RIGHT_UP', 'MOUSE_X1_DOWN', 'MOUSE_X1_UP', 'MOUSE_X2_DOWN', 'MOUSE_X2_UP',
  'MOUSE_CURSOR_POS', 'MOUSE_CURSOR_RESET', 'MOUSE_CURSOR_MOVE',
];
const NEW_COMMANDS = [
  'MOUSE_LEFT_DOUBLE_CLICK', 'MOUSE_MIDDLE_DOUBLE_CLICK', 'MOUSE_RIGHT_DOUBLE_CLICK',
  'MOUSE_LEFT_TOGGLE', 'MOUSE_MIDDLE_TOGGLE', 'MOUSE_RIGHT_TOGGLE',
  'MOUSE_CLICK_AT', 'MOUSE_WHEEL_HOLD', 'MOUSE_HWHEEL_HOLD', 'MOUSE_CURSOR_NUDGE',
];
// Autoclicks, sequences, saved positions and the jiggler.
const SECOND_ROUND = [
  'MOUSE_AUTOCLICK_HOLD', 'MOUSE_AUTOCLICK_TOGGLE', 'MOUSE_SEQUENCE', 'MOUSE_POS_SAVE', 'MOUSE_POS_RESTORE',
  'MOUSE_JIGGLE_TOGGLE',
];
const ALL_COMMANDS = [...OLD_COMMANDS, ...NEW_COMMANDS, ...SECOND_ROUND];

const VALID = {
  my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '50', my_offset_x: '-10', my_offset_y: '20',
  my_wheel: '240', my_icon_color: 'blue', my_icon_name: 'click_left', my_repeat_loops: '2',
  my_icon_color_id: '6',
};

test('the page offers exactly the plugin commands, each with a known group and icon', () => {
  assert.deepEqual(L.COMMANDS.map((c) => c.name).sort(), [...ALL_COMMANDS].sort());
  const groups = L.GROUPS.map((g) => g.id);
  const icons = iconData.icons.map((i) => i.name);
  for (const c of L.COMMANDS) {
    assert.ok(groups.includes(c.group), c.name);
    assert.ok(icons.includes(c.icon), `${c.name} -> ${c.icon}`);
  }
});

test('commands are grouped into clicks, press and release, wheel, cursor and sequences', () => {
  const groups = {
    click: ['MOUSE_LEFT_CLICK', 'MOUSE_MIDDLE_CLICK', 'MOUSE_RIGHT_CLICK', 'MOUSE_X1_CLICK', 'MOUSE_X2_CLICK',
      'MOUSE_LEFT_DOUBLE_CLICK', 'MOUSE_MIDDLE_DOUBLE_CLICK', 'MOUSE_RIGHT_DOUBLE_CLICK', 'MOUSE_CLICK_AT',
      'MOUSE_AUTOCLICK_HOLD', 'MOUSE_AUTOCLICK_TOGGLE'],
    button: ['MOUSE_LEFT_DOWN', 'MOUSE_MIDDLE_DOWN', 'MOUSE_RIGHT_DOWN', 'MOUSE_X1_DOWN', 'MOUSE_X2_DOWN',
      'MOUSE_LEFT_UP', 'MOUSE_MIDDLE_UP', 'MOUSE_RIGHT_UP', 'MOUSE_X1_UP', 'MOUSE_X2_UP',
      'MOUSE_LEFT_TOGGLE', 'MOUSE_MIDDLE_TOGGLE', 'MOUSE_RIGHT_TOGGLE'],
    wheel: ['MOUSE_WHEEL_UP', 'MOUSE_WHEEL_DOWN', 'MOUSE_HWHEEL_DOWN', 'MOUSE_HWHEEL_UP',
      'MOUSE_WHEEL_HOLD', 'MOUSE_HWHEEL_HOLD'],
    cursor: ['MOUSE_CURSOR_POS', 'MOUSE_CURSOR_RESET', 'MOUSE_CURSOR_MOVE', 'MOUSE_CURSOR_NUDGE',
      'MOUSE_POS_SAVE', 'MOUSE_POS_RESTORE', 'MOUSE_JIGGLE_TOGGLE'],
    sequence: ['MOUSE_SEQUENCE'],
  };
  assert.deepEqual(L.GROUPS.map((g) => g.id), Object.keys(groups));
  for (const [group, names] of Object.entries(groups)) {
    assert.deepEqual(L.COMMANDS.filter((c) => c.group === group).map((c) => c.name), names, group);
  }
  for (const c of L.COMMANDS) assert.notEqual(L.helpFor(c.name), '', `${c.name} has help`);
});

test('each optional member belongs to exactly the commands that read it', () => {
  const readers = {
    my_button: ['MOUSE_CLICK_AT', 'MOUSE_AUTOCLICK_HOLD', 'MOUSE_AUTOCLICK_TOGGLE'],
    my_return: ['MOUSE_CLICK_AT'],
    my_accel: ['MOUSE_CURSOR_MOVE', 'MOUSE_WHEEL_HOLD', 'MOUSE_HWHEEL_HOLD'],
    my_relative: ['MOUSE_CURSOR_MOVE'],
    my_monitor: ['MOUSE_CURSOR_POS', 'MOUSE_CURSOR_RESET', 'MOUSE_CLICK_AT', 'MOUSE_SEQUENCE'],
    // Every command that sends input but the two that only store or keep the computer awake.
    my_modifiers: ALL_COMMANDS.filter((c) => !['MOUSE_POS_SAVE', 'MOUSE_JIGGLE_TOGGLE'].includes(c)),
    my_steps: ['MOUSE_SEQUENCE'],
    my_slot: ['MOUSE_POS_SAVE', 'MOUSE_POS_RESTORE'],
  };
  assert.deepEqual([...L.OPTIONAL_MEMBERS].sort(), Object.keys(readers).sort());
  for (const [member, names] of Object.entries(readers)) {
    const got = ALL_COMMANDS.filter((c) => L.usesMember(c, member));
    assert.deepEqual(got.sort(), [...names].sort(), member);
  }
});

test('wheel direction is carried by the sign of my_wheel', () => {
  const signs = Object.fromEntries(L.COMMANDS.filter((c) => c.wheelSign).map((c) => [c.name, c.wheelSign]));
  assert.deepEqual(signs, {
    MOUSE_WHEEL_UP: 1, MOUSE_WHEEL_DOWN: -1, MOUSE_HWHEEL_UP: 1, MOUSE_HWHEEL_DOWN: -1,
  });
});

test('parseWhole accepts only whole numbers inside the limits', () => {
  const sleep = L.LIMITS.my_sleep;
  const offset = L.LIMITS.my_offset_x;
  const cases = [
    ['0', sleep, 0], ['10000', sleep, 10000], ['10001', sleep, null], ['-1', sleep, null],
    [' 42 ', sleep, 42], ['007', sleep, 7], ['-0', sleep, 0], ['4 2', sleep, null],
    ['1e3', sleep, null], ['0x10', sleep, null], ['+5', sleep, null], ['3.0', sleep, null],
    ['', sleep, null], ['-', sleep, null], ['12ms', sleep, null], ['٣', sleep, null],
    ['-32767', offset, -32767], ['32767', offset, 32767], ['-32768', offset, null],
    ['99999999999', offset, null], ['100', L.LIMITS.my_repeat_loops, 100],
    ['101', L.LIMITS.my_repeat_loops, null], ['0', L.LIMITS.notches, null], ['1', L.LIMITS.notches, 1],
    // A held scroll step: signed, fractions of a notch allowed, at most ten notches.
    ['-30', L.LIMITS.step, -30], ['1200', L.LIMITS.step, 1200], ['-1200', L.LIMITS.step, -1200],
    ['1201', L.LIMITS.step, null], ['-1201', L.LIMITS.step, null], ['0.5', L.LIMITS.step, null],
    ['0', L.LIMITS.my_accel, 0], ['1000', L.LIMITS.my_accel, 1000], ['1001', L.LIMITS.my_accel, null],
    ['-1', L.LIMITS.my_accel, null], ['50%', L.LIMITS.my_accel, null],
  ];
  for (const [text, limits, want] of cases) {
    assert.equal(L.parseWhole(text, limits), want, JSON.stringify(text));
  }
  assert.ok(Object.is(L.parseWhole('-0', sleep), 0), '-0 is stored as 0');
});

test('wheelText puts the command direction on the notch count', () => {
  const cases = [
    [3, 'MOUSE_WHEEL_UP', '', '360'],
    [3, 'MOUSE_WHEEL_DOWN', '', '-360'],
    [3, 'MOUSE_HWHEEL_UP', '-120', '360'],
    [3, 'MOUSE_HWHEEL_DOWN', '120', '-360'],
    [1, 'MOUSE_WHEEL_DOWN', '-1200', '-120'],
    // Other commands do not use the wheel; its sign is left as it was.
    [2, 'MOUSE_LEFT_CLICK', '-120', '-240'],
    [2, 'MOUSE_LEFT_CLICK', '120', '240'],
    [1, 'MOUSE_CURSOR_POS', 'junk', '120'],
  ];
  for (const [notches, cmd, prev, want] of cases) {
    assert.equal(L.wheelText(notches, cmd, prev), want, `${notches} ${cmd} ${prev}`);
  }
});

test('normalize turns any stored settings into nine convertible members', () => {
  const DEFAULTS = {
    my_mouse_event: 'MOUSE_LEFT_CLICK', my_sleep: '0', my_offset_x: '0', my_offset_y: '0',
    my_wheel: '120', my_icon_color: 'white', my_icon_name: 'click_left', my_repeat_loops: '0',
    my_icon_color_id: '8',
  };
  const cases = [
    ['new key', {}, DEFAULTS],
    ['not an object', null, DEFAULTS],
    ['valid settings stay', VALID, VALID],
    ['sleep above the limit', { ...VALID, my_sleep: '20000' }, { ...VALID, my_sleep: '10000' }],
    // Text the plugin cannot read, in a member no field of the command shows.
    ['sleep not a number, unseen', { ...VALID, my_mouse_event: 'MOUSE_LEFT_DOWN', my_sleep: 'abc' },
      { ...VALID, my_mouse_event: 'MOUSE_LEFT_DOWN', my_sleep: '0' }],
    ['sleep as JSON number', { ...VALID, my_sleep: 250 }, { ...VALID, my_sleep: '0' }],
    ['offset below the limit', { ...VALID, my_offset_x: '-99999' }, { ...VALID, my_offset_x: '-32767' }],
    ['offset with trailing text', { ...VALID, my_offset_y: '12px' }, { ...VALID, my_offset_y: '0' }],
    ['repeat negative', { ...VALID, my_repeat_loops: '-5' }, { ...VALID, my_repeat_loops: '0' }],
    ['wheel up stored negative', { ...VALID, my_mouse_event: 'MOUSE_WHEEL_UP', my_wheel: '-240' },
      { ...VALID, my_mouse_event: 'MOUSE_WHEEL_UP', my_wheel: '240' }],
    ['wheel left stored positive', { ...VALID, my_mouse_event: 'MOUSE_HWHEEL_DOWN', my_wheel: '360' },
      { ...VALID, my_mouse_event: 'MOUSE_HWHEEL_DOWN', my_wheel: '-360' }],
    ['wheel zero', { ...VALID, my_mouse_event: 'MOUSE_WHEEL_DOWN', my_wheel: '0' },
      { ...VALID, my_mouse_event: 'MOUSE_WHEEL_DOWN', my_wheel: '-120' }],
    ['wheel off the notch grid', { ...VALID, my_wheel: '250' }, { ...VALID, my_wheel: '240' }],
    ['colour id repaired from the word', { ...VALID, my_icon_color_id: '1' }, VALID],
    ['unknown colour', { ...VALID, my_icon_color: 'mauve' },
      { ...VALID, my_icon_color: 'white', my_icon_color_id: '8' }],
    ['unknown icon follows the command', { ...VALID, my_mouse_event: 'MOUSE_CURSOR_MOVE', my_icon_name: 'arrow' },
      { ...VALID, my_mouse_event: 'MOUSE_CURSOR_MOVE', my_icon_name: 'cursor_move' }],
    ['command in the wrong case', { ...VALID, my_mouse_event: 'mouse_right_click' }, VALID],
  ];
  for (const [name, stored, want] of cases) {
    const got = L.normalize(stored, iconData);
    assert.deepEqual(got, want, name);
    assert.deepEqual(Object.keys(got), L.MEMBERS, `${name}: member order`);
    for (const k of ['my_sleep', 'my_offset_x', 'my_offset_y', 'my_wheel', 'my_repeat_loops']) {
      assert.match(got[k], /^-?(0|[1-9]\d*)$/, `${name}: ${k}`);
    }
  }
});

// A stored key of each of the 22 commands, as an earlier page left it.
function oldKey(name) {
  const c = L.command(name);
  return { ...VALID, my_mouse_event: name, my_icon_name: c.icon, my_wheel: c.wheelSign === -1 ? '-240' : '240' };
}

test('a key stored with any of the first 22 commands loads and switches without new members', () => {
  for (const name of OLD_COMMANDS) {
    const stored = oldKey(name);
    assert.deepEqual(L.normalize(stored, iconData), stored, name);
    assert.deepEqual(Object.keys(L.normalize(stored, iconData)), L.MEMBERS, name);
    for (const other of OLD_COMMANDS) {
      assert.deepEqual(Object.keys(L.withCommand(stored, other)), L.MEMBERS, `${name} -> ${other}`);
    }
  }
});

test('normalize keeps the optional members the command reads, repaired, and drops the rest', () => {
  const at = { ...VALID, my_mouse_event: 'MOUSE_CLICK_AT', my_icon_name: 'click_at' };
  const move = { ...VALID, my_mouse_event: 'MOUSE_CURSOR_MOVE', my_icon_name: 'cursor_move' };
  const hold = { ...VALID, my_mouse_event: 'MOUSE_WHEEL_HOLD', my_icon_name: 'wheel_hold' };
  const reset = { ...VALID, my_mouse_event: 'MOUSE_CURSOR_RESET', my_icon_name: 'cursor_center' };
  const cases = [
    ['all of click-at kept', { ...at, my_button: 'X2', my_return: '1', my_monitor: '3' },
      { ...at, my_button: 'X2', my_return: '1', my_monitor: '3' }],
    ['empty button means left and stays', { ...at, my_button: '' }, { ...at, my_button: '' }],
    ['unknown button', { ...at, my_button: 'left' }, { ...at, my_button: 'LEFT' }],
    ['return other than 1 is off and stays', { ...at, my_return: 'yes' }, { ...at, my_return: 'yes' }],
    ['monitor under the cursor', { ...reset, my_monitor: 'cursor' }, { ...reset, my_monitor: 'cursor' }],
    // The monitor may be connected again; the page marks it meanwhile.
    ['monitor past six', { ...reset, my_monitor: '7' }, { ...reset, my_monitor: '7' }],
    ['monitor zero', { ...reset, my_monitor: '0' }, { ...reset, my_monitor: '' }],
    ['monitor with a leading zero', { ...at, my_monitor: '02' }, { ...at, my_monitor: '' }],
    ['monitor as JSON number', { ...at, my_monitor: 2 }, { ...at, my_monitor: '' }],
    ['acceleration above the limit', { ...move, my_accel: '5000' }, { ...move, my_accel: '1000' }],
    ['acceleration left empty', { ...move, my_accel: '' }, { ...move, my_accel: '0' }],
    ['acceleration as JSON number', { ...hold, my_accel: 50 }, { ...hold, my_wheel: '240', my_accel: '0' }],
    ['relative kept as stored', { ...move, my_relative: '1', my_accel: '25' },
      { ...move, my_accel: '25', my_relative: '1' }],
    ['members of another command dropped', { ...VALID, my_accel: '50', my_monitor: '2', my_button: 'RIGHT' }, VALID],
    ['relative dropped from a held scroll', { ...hold, my_relative: '1' }, hold],
    ['button and return dropped from centring', { ...reset, my_button: 'RIGHT', my_return: '1', my_monitor: '1' },
      { ...reset, my_monitor: '1' }],
    // A held scroll keeps its step as stored, with fractions of a notch and either sign.
    ['held scroll step below a notch', { ...hold, my_wheel: '-30' }, { ...hold, my_wheel: '-30' }],
    ['held scroll step above the limit', { ...hold, my_wheel: '-5000' }, { ...hold, my_wheel: '-1200' }],
    ['held scroll interval below 10 ms', { ...hold, my_sleep: '0' }, { ...hold, my_sleep: '10' }],
  ];
  for (const [name, stored, want] of cases) {
    const got = L.normalize(stored, iconData);
    assert.deepEqual(got, want, name);
    const optional = L.OPTIONAL_MEMBERS.filter((k) => k in want);
    assert.deepEqual(Object.keys(got), [...L.MEMBERS, ...optional], `${name}: member order`);
  }
});

test('text the plugin cannot read stays as stored where a field shows it, marked, and is repaired elsewhere', () => {
  const pos = { ...VALID, my_mouse_event: 'MOUSE_CURSOR_POS', my_icon_name: 'cursor_place' };
  const down = { ...VALID, my_mouse_event: 'MOUSE_WHEEL_DOWN', my_icon_name: 'wheel_down', my_wheel: '-240' };
  const hold = { ...VALID, my_mouse_event: 'MOUSE_WHEEL_HOLD', my_icon_name: 'wheel_hold' };
  const move = { ...VALID, my_mouse_event: 'MOUSE_CURSOR_MOVE', my_icon_name: 'cursor_move' };
  // stored, what normalize gives, the fields marked as not a number
  const cases = [
    [{ ...pos, my_offset_x: 'abc' }, { ...pos, my_offset_x: 'abc' }, ['x']],
    [{ ...pos, my_offset_x: '12px', my_offset_y: ' 5' }, { ...pos, my_offset_x: '12px', my_offset_y: ' 5' }, ['x', 'y']],
    [{ ...VALID, my_sleep: '', my_repeat_loops: '1.5' }, { ...VALID, my_sleep: '', my_repeat_loops: '1.5' },
      ['sleep', 'repeat']],
    [{ ...down, my_wheel: 'lots' }, { ...down, my_wheel: 'lots' }, ['notches']],
    [{ ...hold, my_wheel: 'x' }, { ...hold, my_wheel: 'x' }, ['step']],
    [{ ...move, my_accel: 'fast', my_offset_y: '-' }, { ...move, my_accel: 'fast', my_offset_y: '-' }, ['y', 'accel']],
    // No field of a left click shows the offsets, nor a JSON number as text.
    [{ ...VALID, my_offset_x: 'abc' }, { ...VALID, my_offset_x: '0' }, []],
    [{ ...VALID, my_sleep: 250 }, { ...VALID, my_sleep: '0' }, []],
    [{ ...pos, my_offset_x: 7 }, { ...pos, my_offset_x: '0' }, []],
  ];
  const fields = Object.keys(L.FIELD_MEMBERS);
  for (const [stored, want, marked] of cases) {
    const name = JSON.stringify(stored);
    const got = L.normalize(stored, iconData);
    assert.deepEqual(got, want, name);
    const problems = fields.filter((id) => L.storedProblem(got, got.my_mouse_event, id));
    assert.deepEqual(problems, marked, name);
    for (const id of marked) assert.equal(L.storedProblem(got, got.my_mouse_event, id).text, L.TEXTS.notANumber);
  }
});

test('switching commands keeps unreadable text only where the new command shows it', () => {
  const pos = { ...VALID, my_mouse_event: 'MOUSE_CURSOR_POS', my_icon_name: 'cursor_place', my_offset_x: 'abc' };
  const cases = [
    ['MOUSE_CLICK_AT', { my_mouse_event: 'MOUSE_CLICK_AT', my_icon_name: 'click_at' }],
    ['MOUSE_CURSOR_NUDGE', { my_mouse_event: 'MOUSE_CURSOR_NUDGE', my_icon_name: 'cursor_nudge' }],
    ['MOUSE_LEFT_CLICK', { my_mouse_event: 'MOUSE_LEFT_CLICK', my_icon_name: 'click_left', my_offset_x: '0' }],
  ];
  for (const [cmd, changed] of cases) assert.deepEqual(L.changedMembers(pos, L.withCommand(pos, cmd)), changed, cmd);
});

test('the position commands, and only they, offer picking on screen', () => {
  const picking = L.COMMANDS.filter((c) => L.picksPosition(c.name)).map((c) => c.name);
  assert.deepEqual(picking.sort(), ['MOUSE_CLICK_AT', 'MOUSE_CURSOR_POS']);
  assert.equal(L.picksPosition('NOT_A_COMMAND'), false);
});

test('points and monitor lists from the plugin are read whole or not at all', () => {
  const points = [
    [{ x: 10, y: -20, monitor: 2 }, { x: 10, y: -20, monitor: 2 }],
    [{ x: 0, y: 0 }, { x: 0, y: 0, monitor: 0 }],
    [{ x: 5, y: 6, monitor: 0 }, { x: 5, y: 6, monitor: 0 }],
    [{ x: 5, y: 6, monitor: '2' }, { x: 5, y: 6, monitor: 0 }],
    [{ x: 1.5, y: 6 }, null],
    [{ x: '5', y: 6 }, null],
    [{ x: 5 }, null],
    [{ x: 2 ** 31, y: 0 }, null],
    [null, null],
    ['5,6', null],
  ];
  for (const [given, want] of points) assert.deepEqual(L.readPoint(given), want, JSON.stringify(given));

  const one = { number: 1, x: 0, y: 0, width: 1920, height: 1080, primary: true };
  const two = { number: 2, x: 1920, y: -200, width: 1280, height: 1024, primary: false };
  const lists = [
    [[one, two], [one, two]],
    [[], []],
    [[{ ...two, primary: 'yes', name: 'HDMI-1' }], [two]],
    [[one, { ...two, width: '1280' }, { ...two, number: 0 }, null], [one]],
    [{ 1: one }, null],
    [undefined, null],
  ];
  for (const [given, want] of lists) assert.deepEqual(L.readMonitors(given), want, JSON.stringify(given));
});

test('the monitor choice offers the connected monitors and keeps a stored one that is not', () => {
  const one = { number: 1, x: 0, y: 0, width: 1920, height: 1080, primary: true };
  const two = { number: 2, x: 1920, y: 0, width: 1280, height: 1024, primary: false };
  const noPrimary = { ...one, primary: false };
  const MAIN = ['1', 'Monitor 1 (main)', false];
  const n = (value, missing = false) => [value, missing ? L.TEXTS.missingMonitor : 'Monitor {n}', missing];
  const CURSOR = ['cursor', 'Monitor under the cursor', false];
  // monitors known (null: not yet), stored choice, [value, text, missing] offered
  const cases = [
    [null, '', [MAIN, n('2'), n('3'), n('4'), n('5'), n('6'), CURSOR]],
    [null, '9', [MAIN, n('2'), n('3'), n('4'), n('5'), n('6'), n('9'), CURSOR]],
    [[one, two], '', [MAIN, n('2'), CURSOR]],
    [[one, two], '2', [MAIN, n('2'), CURSOR]],
    [[one, two], 'cursor', [MAIN, n('2'), CURSOR]],
    [[one], '3', [MAIN, n('3', true), CURSOR]],
    [[one, two], '12', [MAIN, n('2'), n('12', true), CURSOR]],
    [[noPrimary, two], '', [n('1'), n('2'), CURSOR]],
    [[], '1', [n('1', true), CURSOR]],
  ];
  for (const [monitors, stored, want] of cases) {
    const got = L.monitorChoices(monitors, stored);
    assert.deepEqual(got.map((c) => [c.value, c.text, c.missing]), want, `${JSON.stringify(monitors)} ${stored}`);
    for (const c of got) if (c.text.includes('{n}')) assert.deepEqual(c.args, { n: Number(c.value) });
  }
});

test('withCommand flips the wheel sign and lets an untouched icon follow', () => {
  const click = { ...VALID };
  const custom = { ...VALID, my_icon_name: 'cursor_move' };
  const down = { ...VALID, my_mouse_event: 'MOUSE_WHEEL_DOWN', my_wheel: '-240', my_icon_name: 'wheel_down' };
  const cases = [
    [click, 'MOUSE_RIGHT_CLICK', { my_mouse_event: 'MOUSE_RIGHT_CLICK', my_icon_name: 'click_right' }],
    [click, 'MOUSE_WHEEL_DOWN', { my_mouse_event: 'MOUSE_WHEEL_DOWN', my_wheel: '-240', my_icon_name: 'wheel_down' }],
    [click, 'MOUSE_HWHEEL_UP', { my_mouse_event: 'MOUSE_HWHEEL_UP', my_icon_name: 'wheel_right' }],
    [click, 'MOUSE_LEFT_DOWN', { my_mouse_event: 'MOUSE_LEFT_DOWN', my_icon_name: 'button_down' }],
    [custom, 'MOUSE_WHEEL_DOWN', { my_mouse_event: 'MOUSE_WHEEL_DOWN', my_wheel: '-240' }],
    [down, 'MOUSE_WHEEL_UP', { my_mouse_event: 'MOUSE_WHEEL_UP', my_wheel: '240', my_icon_name: 'wheel_up' }],
    [down, 'MOUSE_HWHEEL_DOWN', { my_mouse_event: 'MOUSE_HWHEEL_DOWN', my_icon_name: 'wheel_left' }],
    [down, 'MOUSE_LEFT_CLICK', { my_mouse_event: 'MOUSE_LEFT_CLICK', my_icon_name: 'click_left' }],
    [click, 'MOUSE_LEFT_CLICK', {}],
    [click, 'NOT_A_COMMAND', {}],
  ];
  for (const [from, cmd, changed] of cases) {
    const next = L.withCommand(from, cmd);
    assert.deepEqual(L.changedMembers(from, next), changed, `${from.my_mouse_event} -> ${cmd}`);
  }
});

test('switching commands keeps the members the new command reads and drops the others', () => {
  const at = { ...VALID, my_mouse_event: 'MOUSE_CLICK_AT', my_icon_name: 'click_at',
    my_button: 'RIGHT', my_return: '1', my_monitor: '2' };
  const move = { ...VALID, my_mouse_event: 'MOUSE_CURSOR_MOVE', my_icon_name: 'cursor_move', my_sleep: '5',
    my_accel: '50', my_relative: '1' };
  const hold = { ...VALID, my_mouse_event: 'MOUSE_HWHEEL_HOLD', my_icon_name: 'hwheel_hold', my_sleep: '20',
    my_wheel: '-30', my_accel: '40' };
  const down = { ...VALID, my_mouse_event: 'MOUSE_WHEEL_DOWN', my_icon_name: 'wheel_down', my_wheel: '-240' };
  // from, to, what the plugin is told
  const cases = [
    // Dropped members reach the plugin as the value that acts as if they were absent.
    [at, 'MOUSE_CURSOR_POS', { my_mouse_event: 'MOUSE_CURSOR_POS', my_icon_name: 'cursor_place',
      my_button: 'LEFT', my_return: '0' }],
    [at, 'MOUSE_LEFT_CLICK', { my_mouse_event: 'MOUSE_LEFT_CLICK', my_icon_name: 'click_left',
      my_button: 'LEFT', my_return: '0', my_monitor: '' }],
    [{ ...at, my_monitor: 'cursor' }, 'MOUSE_CURSOR_RESET', { my_mouse_event: 'MOUSE_CURSOR_RESET',
      my_icon_name: 'cursor_center', my_button: 'LEFT', my_return: '0' }],
    [move, 'MOUSE_CURSOR_NUDGE', { my_mouse_event: 'MOUSE_CURSOR_NUDGE', my_icon_name: 'cursor_nudge',
      my_accel: '0', my_relative: '0' }],
    // A held scroll waits at least 10 ms and keeps the acceleration.
    [move, 'MOUSE_WHEEL_HOLD', { my_mouse_event: 'MOUSE_WHEEL_HOLD', my_icon_name: 'wheel_hold',
      my_sleep: '10', my_relative: '0' }],
    [down, 'MOUSE_WHEEL_HOLD', { my_mouse_event: 'MOUSE_WHEEL_HOLD', my_icon_name: 'wheel_hold' }],
    [hold, 'MOUSE_WHEEL_HOLD', { my_mouse_event: 'MOUSE_WHEEL_HOLD', my_icon_name: 'wheel_hold' }],
    // Leaving a held scroll puts the wheel back on whole notches.
    [hold, 'MOUSE_HWHEEL_UP', { my_mouse_event: 'MOUSE_HWHEEL_UP', my_icon_name: 'wheel_right',
      my_wheel: '120', my_accel: '0' }],
    [hold, 'MOUSE_CURSOR_MOVE', { my_mouse_event: 'MOUSE_CURSOR_MOVE', my_icon_name: 'cursor_move',
      my_wheel: '-120' }],
  ];
  for (const [from, cmd, changed] of cases) {
    const next = L.withCommand(from, cmd);
    assert.deepEqual(L.changedMembers(from, next), changed, `${from.my_mouse_event} -> ${cmd}`);
    for (const k of L.OPTIONAL_MEMBERS) {
      assert.equal(k in next, k in from && L.usesMember(cmd, k), `${from.my_mouse_event} -> ${cmd}: ${k}`);
    }
  }
});

test('an optional member that is not stored reads as the value that leaves things as before', () => {
  const cases = [
    ['my_button', 'LEFT'], ['my_return', '0'], ['my_accel', '0'], ['my_relative', '0'], ['my_monitor', ''],
    ['my_modifiers', ''], ['my_steps', ''], ['my_slot', '1'],
  ];
  for (const [member, want] of cases) {
    assert.equal(L.memberValue(VALID, member), want, member);
    assert.equal(L.memberValue({ ...VALID, [member]: 'stored' }, member), 'stored', member);
  }
});

test('decodeFilePath strips the host prefix and decodes the path', () => {
  const cases = [
    ['C:\\fakepath\\C%3A%5CUsers%5Cme%5Ckey.png', 'C:\\Users\\me\\key.png'],
    ['C:\\fakepath\\%2Fhome%2Fme%2Fmy%20key.png', '/home/me/my key.png'],
    ['C:\\fakepath\\%E6%97%A5%E6%9C%AC.png', '日本.png'],
    ['C:\\fakepath\\key.png', 'key.png'],
    ['c:\\FAKEPATH\\a.png', 'a.png'],
    ['C:\\fakepath\\100%.png', '100%.png'],
    ['C:\\fakepath\\', ''],
    ['/already/plain.png', '/already/plain.png'],
    ['D:\\fakepath\\x.png', 'D:\\fakepath\\x.png'],
    ['', ''],
  ];
  for (const [value, want] of cases) assert.equal(L.decodeFilePath(value), want, value);
});

test('format fills named slots and leaves unknown ones', () => {
  const cases = [
    ['{min} to {max}', { min: 0, max: 5 }, '0 to 5'],
    ['{max}..{min}', { min: -1, max: 1 }, '1..-1'],
    ['{min} {other}', { min: 3 }, '3 {other}'],
    ['no slots', null, 'no slots'],
  ];
  for (const [text, args, want] of cases) assert.equal(L.format(text, args), want);
});

test('the second round of members is kept, repaired or dropped by the command that reads it', () => {
  const key = (cmd, extra = {}) => ({ ...VALID, my_mouse_event: cmd, my_icon_name: L.command(cmd).icon, ...extra });
  const seq = key('MOUSE_SEQUENCE');
  const save = key('MOUSE_POS_SAVE');
  const restore = key('MOUSE_POS_RESTORE');
  const auto = key('MOUSE_AUTOCLICK_TOGGLE');
  const jiggle = key('MOUSE_JIGGLE_TOGGLE', { my_sleep: '60' });
  const cases = [
    ['steps kept as typed, bad lines too', { ...seq, my_steps: 'move 10 10\nclik left; wait 50' },
      { ...seq, my_steps: 'move 10 10\nclik left; wait 50' }],
    ['modifiers in any order kept as stored', { ...VALID, my_modifiers: 'SHIFT+CTRL' }, { ...VALID, my_modifiers: 'SHIFT+CTRL' }],
    ['an unknown modifier word stays, to be shown', { ...seq, my_modifiers: 'CTRL+HYPER' }, { ...seq, my_modifiers: 'CTRL+HYPER' }],
    ['modifiers dropped from a save key', { ...save, my_modifiers: 'CTRL', my_slot: '4' }, { ...save, my_slot: '4' }],
    ['modifiers dropped from the jiggler', { ...jiggle, my_modifiers: 'ALT' }, jiggle],
    ['slot nine', { ...restore, my_slot: '9' }, { ...restore, my_slot: '9' }],
    ['slot zero', { ...restore, my_slot: '0' }, { ...restore, my_slot: '1' }],
    ['slot ten', { ...restore, my_slot: '10' }, { ...restore, my_slot: '1' }],
    ['slot as JSON number', { ...save, my_slot: 3 }, { ...save, my_slot: '1' }],
    ['slot and steps dropped from an autoclick', { ...auto, my_slot: '2', my_steps: 'save', my_button: 'RIGHT' },
      { ...auto, my_button: 'RIGHT' }],
    ['autoclick interval below 10 ms', { ...auto, my_sleep: '3' }, { ...auto, my_sleep: '10' }],
    ['jiggler below 5 s', { ...jiggle, my_sleep: '1' }, { ...jiggle, my_sleep: '5' }],
    ['jiggler interval as JSON number', { ...jiggle, my_sleep: 30 }, jiggle],
    // The plugin takes an empty interval as 60 s; other unreadable text stays, to be marked.
    ['jiggler interval empty', { ...jiggle, my_sleep: '' }, jiggle],
    ['jiggler interval not a number', { ...jiggle, my_sleep: '1m' }, { ...jiggle, my_sleep: '1m' }],
    ['autoclick interval empty', { ...auto, my_sleep: '' }, { ...auto, my_sleep: '' }],
  ];
  for (const [name, stored, want] of cases) {
    const got = L.normalize(stored, iconData);
    assert.deepEqual(got, want, name);
    assert.deepEqual(Object.keys(got), [...L.MEMBERS, ...L.OPTIONAL_MEMBERS.filter((k) => k in want)], `${name}: order`);
  }
});

test('the intervals follow the unit of the command picked: milliseconds or the jiggler\'s seconds', () => {
  const click = { ...VALID, my_sleep: '50' };
  const auto = { ...VALID, my_mouse_event: 'MOUSE_AUTOCLICK_HOLD', my_icon_name: 'autoclick_hold', my_sleep: '250' };
  const jiggle = { ...VALID, my_mouse_event: 'MOUSE_JIGGLE_TOGGLE', my_icon_name: 'jiggle', my_sleep: '30' };
  // from, to, my_sleep after
  const cases = [
    [click, 'MOUSE_JIGGLE_TOGGLE', '60'],
    [{ ...click, my_sleep: '2' }, 'MOUSE_AUTOCLICK_TOGGLE', '10'],
    [click, 'MOUSE_AUTOCLICK_HOLD', '50'],
    [auto, 'MOUSE_AUTOCLICK_TOGGLE', '250'],
    [auto, 'MOUSE_JIGGLE_TOGGLE', '60'],
    [jiggle, 'MOUSE_AUTOCLICK_HOLD', '100'],
    [jiggle, 'MOUSE_LEFT_CLICK', '0'],
    [jiggle, 'MOUSE_WHEEL_HOLD', '10'],
    [jiggle, 'MOUSE_JIGGLE_TOGGLE', '30'],
  ];
  for (const [from, cmd, sleep] of cases) {
    assert.equal(L.withCommand(from, cmd).my_sleep, sleep, `${from.my_mouse_event} -> ${cmd}`);
  }
});

test('modifier words are read in any order and written in the fixed one', () => {
  // stored text, known words in order, unknown words
  const reads = [
    ['', [], []],
    ['CTRL', ['CTRL'], []],
    ['META+ALT+SHIFT+CTRL', ['CTRL', 'SHIFT', 'ALT', 'META'], []],
    ['SHIFT + CTRL', ['CTRL', 'SHIFT'], []],
    ['CTRL+', ['CTRL'], []],
    ['ctrl+Shift', ['CTRL', 'SHIFT'], []],
    ['\tALT+ +meta ', ['ALT', 'META'], []],
    ['CTRL+WIN+FN', ['CTRL'], ['WIN', 'FN']],
  ];
  for (const [text, known, unknown] of reads) {
    assert.deepEqual(L.modifierWords(text), { known, unknown }, JSON.stringify(text));
  }
  assert.deepEqual(L.modifierWords(undefined), { known: [], unknown: [] });
  const writes = [
    [[], ''], [['META'], 'META'], [['META', 'CTRL'], 'CTRL+META'], [['ALT', 'SHIFT', 'META', 'CTRL'], 'CTRL+SHIFT+ALT+META'],
  ];
  for (const [checked, text] of writes) assert.equal(L.modifiersText(checked), text, checked.join(' '));
});

test('the modifier boxes are named as the host system names the keys', () => {
  const cases = [
    ['windows', ['Ctrl', 'Shift', 'Alt', 'Windows key']],
    ['mac', ['Control', 'Shift', 'Option', 'Command ⌘']],
    ['linux', ['Ctrl', 'Shift', 'Alt', 'Super']],
    [undefined, ['Ctrl', 'Shift', 'Alt', 'Meta (Win / Cmd / Super)']],
    ['toString', ['Ctrl', 'Shift', 'Alt', 'Meta (Win / Cmd / Super)']],
  ];
  for (const [platform, labels] of cases) {
    const got = L.modifierLabels(platform);
    assert.deepEqual(got.map((m) => m.word), ['CTRL', 'SHIFT', 'ALT', 'META'], String(platform));
    assert.deepEqual(got.map((m) => m.label), labels, String(platform));
  }
});

test('stored modifier words the plugin does not know are marked where the boxes show', () => {
  const seq = { ...VALID, my_mouse_event: 'MOUSE_SEQUENCE', my_icon_name: 'sequence' };
  const cases = [
    [{ ...VALID, my_modifiers: 'CTRL+HYPER+X' }, { text: L.TEXTS.unknownModifiers, args: { words: 'HYPER+X' } }],
    [{ ...seq, my_modifiers: 'shift+super' }, { text: L.TEXTS.unknownModifiers, args: { words: 'super' } }],
    [{ ...seq, my_modifiers: 'shift+ctrl' }, null],
    [{ ...VALID, my_modifiers: 'CTRL+SHIFT' }, null],
    [VALID, null],
    [{ ...VALID, my_mouse_event: 'MOUSE_POS_SAVE', my_modifiers: 'HYPER' }, null],
  ];
  for (const [settings, want] of cases) {
    assert.deepEqual(L.storedProblem(settings, settings.my_mouse_event, 'modifiers'), want, JSON.stringify(settings));
  }
});

test('the step check from the plugin is read whole, its problems by line and code', () => {
  const good = { steps: 3, waitMs: 1500, problems: [{ line: 2, text: 'clik left', problem: 'unknown-step' }] };
  const cases = [
    [good, good],
    [{ steps: 0, waitMs: 0, problems: [] }, { steps: 0, waitMs: 0, problems: [] }],
    [{ steps: 1, waitMs: 0 }, { steps: 1, waitMs: 0, problems: [] }],
    // Problems without a usable line are left out; a missing text or code reads as empty.
    [{ steps: 1, waitMs: 0, problems: [{ line: 0, text: 'x', problem: 'bad-number' }, { line: 1.5 }, null, { line: 4 }] },
      { steps: 1, waitMs: 0, problems: [{ line: 4, text: '', problem: '' }] }],
    [{ steps: '3', waitMs: 0, problems: [] }, null],
    [{ steps: 3, problems: [] }, null],
    [null, null],
    ['3 steps', null],
  ];
  for (const [given, want] of cases) assert.deepEqual(L.readStepsCheck(given), want, JSON.stringify(given));

  const codes = ['unknown-step', 'bad-button', 'bad-number', 'wrong-count', 'mixed-signs', 'too-many-steps', 'too-much-wait'];
  assert.deepEqual(Object.keys(L.STEP_PROBLEMS).sort(), [...codes].sort());
  const texts = codes.map(L.stepProblemText);
  assert.equal(new Set(texts).size, codes.length, 'one text per code');
  for (const t of texts) assert.notEqual(t, L.STEP_PROBLEM_OTHER);
  for (const code of ['', 'new-code', 'toString']) assert.equal(L.stepProblemText(code), L.STEP_PROBLEM_OTHER, code);
  assert.deepEqual(L.stepsSummary({ steps: 4, waitMs: 2250, problems: [] }),
    { text: L.TEXTS.stepsSummary, args: { steps: 4, seconds: 2.25 } });
});

test('the saved positions are read from the global settings, slot by slot', () => {
  const cases = [
    [{ slots: { 1: { x: 120, y: 45 }, 9: { x: -1920, y: 0 } } }, { 1: { x: 120, y: 45 }, 9: { x: -1920, y: 0 } }],
    [{ slots: {} }, {}],
    // Slots outside 1 to 9 and positions that are not whole numbers are not shown.
    [{ slots: { 0: { x: 1, y: 1 }, 10: { x: 1, y: 1 }, 2: { x: '5', y: 1 }, 3: { x: 1.5, y: 2 }, 4: null, 5: { x: 7, y: 8 } } },
      { 5: { x: 7, y: 8 } }],
    [{ slots: [{ x: 1, y: 2 }] }, null],
    [{ other: 1 }, null],
    [{}, null],
    [null, null],
  ];
  for (const [given, want] of cases) assert.deepEqual(L.readSlots(given), want, JSON.stringify(given));

  const lines = L.slotLines({ 2: { x: 10, y: -20 } });
  assert.equal(lines.length, 9);
  assert.deepEqual(lines[0], { text: L.TEXTS.slotEmpty, args: { n: 1 } });
  assert.deepEqual(lines[1], { text: L.TEXTS.slotHolds, args: { n: 2, x: 10, y: -20 } });
  assert.deepEqual(lines[8], { text: L.TEXTS.slotEmpty, args: { n: 9 } });
});
