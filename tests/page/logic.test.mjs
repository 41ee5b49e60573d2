// Rules of the settings page that need no browser: validation, wheel sign,
// repair of stored settings, command switching and the host's file paths.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { logic as L, iconData } from './lib/page-source.mjs';

const ALL_COMMANDS = [
  'MOUSE_LEFT_CLICK', 'MOUSE_MIDDLE_CLICK', 'MOUSE_RIGHT_CLICK', 'MOUSE_X1_CLICK', 'MOUSE_X2_CLICK',
  'MOUSE_WHEEL_UP', 'MOUSE_WHEEL_DOWN', 'MOUSE_HWHEEL_UP', 'MOUSE_HWHEEL_DOWN',
  'MOUSE_LEFT_DOWN', 'MOUSE_LEFT_UP', 'MOUSE_MIDDLE_DOWN', 'MOUSE_MIDDLE_UP', 'MOUSE_RIGHT_DOWN',
  'MOUSE_RIGHT_UP', 'MOUSE_X1_DOWN', 'MOUSE_X1_UP', 'MOUSE_X2_DOWN', 'MOUSE_X2_UP',
  'MOUSE_CURSOR_POS', 'MOUSE_CURSOR_RESET', 'MOUSE_CURSOR_MOVE',
];

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
    ['sleep not a number', { ...VALID, my_sleep: 'abc' }, { ...VALID, my_sleep: '0' }],
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
