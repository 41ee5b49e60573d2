// Settings rules of the dial's settings page, free of the DOM so that Node can
// test them directly. In the page they are window.DeckMouseDialLogic. Numbers
// and texts follow the key page's rules (logic.js).
(function (root, factory) {
  const api = factory(typeof module === 'object' && module.exports ? require('./logic.js') : root.DeckMouseLogic);
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.DeckMouseDialLogic = api;
})(typeof self !== 'undefined' ? self : this, function (L) {
  'use strict';

  const MEMBERS = ['dial_rotate', 'dial_step', 'dial_accel', 'dial_press', 'dial_touch'];

  // The labels are also what the plugin writes on the dial's strip.
  const AXES = [
    { value: 'WHEEL', label: 'Scroll', wheel: true },
    { value: 'HWHEEL', label: 'Scroll sideways', wheel: true },
    { value: 'MOVE_X', label: 'Move left/right', wheel: false },
    { value: 'MOVE_Y', label: 'Move up/down', wheel: false },
  ];
  const PRESSES = [
    { value: 'LEFT_HOLD', label: 'Hold the left button' },
    { value: 'SWAP', label: 'Swap axis' },
    { value: 'LEFT_CLICK', label: 'Left click' },
    { value: 'MIDDLE_CLICK', label: 'Middle click' },
    { value: 'RIGHT_CLICK', label: 'Right click' },
    { value: 'NONE', label: 'Nothing' },
  ];
  // A tap has no release, so it cannot hold a button.
  const TOUCHES = PRESSES.filter((p) => p.value !== 'LEFT_HOLD');

  // The strip's texts that are not labels above.
  const STRIP = { notch: '{0} notch', notches: '{0} notches', px: '{0} px', longTouch: 'Reset acceleration' };

  const DEFAULTS = { dial_rotate: 'WHEEL', dial_accel: '0', dial_press: 'LEFT_HOLD', dial_touch: 'SWAP' };
  const WHEEL_STEP = { min: -10 * L.NOTCH, max: 10 * L.NOTCH, fallback: L.NOTCH };
  const MOVE_STEP = { min: -500, max: 500, fallback: 10 };
  const ACCEL = { min: 0, max: 100 };

  const CAPTIONS = {
    rotate: 'Turning',
    wheelStep: 'Step (wheel units)',
    moveStep: 'Step (px)',
    accel: 'Acceleration (%)',
    press: 'Push',
    touch: 'Touch',
    strip: 'On the strip',
  };
  const HELP = {
    wheelStep: '120 is one notch per tick; less scrolls smoothly where the system supports it. A negative step turns the direction round.',
    moveStep: 'Pixels per tick. A negative step turns the direction round.',
    accel: 'A fast turn grows the step, up to ten times. A long touch starts over.',
  };

  const axis = (value) => AXES.find((a) => a.value === value) || AXES[0];
  const stepLimits = (rotate) => (axis(rotate).wheel ? WHEEL_STEP : MOVE_STEP);
  const oneOf = (list, value, fallback) => (list.some((c) => c.value === value) ? value : fallback);

  // A step the plugin would take as it is: non-zero and within the axis's range.
  function stepText(text, rotate) {
    const limits = stepLimits(rotate);
    const n = L.parseWhole(typeof text === 'string' ? text : '', limits);
    return String(n === null || n === 0 ? limits.fallback : n);
  }

  // Every member present and valid, in order; what cannot be read gets its default.
  function normalize(stored) {
    const s = stored && typeof stored === 'object' ? stored : {};
    const rotate = oneOf(AXES, s.dial_rotate, DEFAULTS.dial_rotate);
    const accel = L.parseWhole(typeof s.dial_accel === 'string' ? s.dial_accel : '', ACCEL);
    return {
      dial_rotate: rotate,
      dial_step: stepText(s.dial_step, rotate),
      dial_accel: String(accel === null ? 0 : accel),
      dial_press: oneOf(PRESSES, s.dial_press, DEFAULTS.dial_press),
      dial_touch: oneOf(TOUCHES, s.dial_touch, DEFAULTS.dial_touch),
    };
  }

  // A turn to another kind of axis changes the unit, so the step starts at that kind's default.
  function withAxis(current, rotate) {
    const next = Object.assign({}, current, { dial_rotate: rotate });
    if (axis(rotate).wheel !== axis(current.dial_rotate).wheel) next.dial_step = String(stepLimits(rotate).fallback);
    return normalize(next);
  }

  // The step as the strip shows it: notches to two places for the wheels, pixels for moves.
  function stepNumber(settings) {
    const n = Number(settings.dial_step);
    if (!axis(settings.dial_rotate).wheel) return String(n);
    const hundredths = Math.round(Math.abs(n) * 100 / L.NOTCH);
    return (n < 0 ? '-' : '') + String(hundredths / 100);
  }

  // What the strip will show: title and value, each as a text to translate with its arguments.
  function strip(settings) {
    const wheel = axis(settings.dial_rotate).wheel;
    const number = stepNumber(settings);
    const unit = !wheel ? STRIP.px : Math.abs(Number(number)) === 1 ? STRIP.notch : STRIP.notches;
    return {
      title: axis(settings.dial_rotate).label,
      value: { text: unit, args: { 0: number } },
      indicator: Number(settings.dial_accel),
    };
  }

  // Every English text the dial page and the dial's strip can show.
  function texts() {
    return [...AXES, ...PRESSES].map((c) => c.label)
      .concat(Object.values(STRIP), Object.values(CAPTIONS), Object.values(HELP), [L.INVALID_NUMBER]);
  }

  return {
    MEMBERS, AXES, PRESSES, TOUCHES, STRIP, ACCEL, CAPTIONS, HELP,
    stepLimits, normalize, withAxis, stepNumber, strip, texts,
  };
});
