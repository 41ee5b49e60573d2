// The dial's settings page: shows one dial's settings and saves every change.
(function () {
  'use strict';

  const L = window.DeckMouseLogic;
  const D = window.DeckMouseDialLogic;
  const P = window.DeckMousePage;
  const ACTION_UUID = 'org.deckmouse.dial';

  let send = null;
  let context = '';
  let settings = D.normalize({});

  const $ = (id) => document.getElementById(id);

  const NUMBERS = {
    step: { member: 'dial_step', limits: () => D.stepLimits(settings.dial_rotate) },
    accel: { member: 'dial_accel', limits: () => D.ACCEL },
  };

  function addOptions(select, choices) {
    for (const c of choices) {
      const opt = document.createElement('option');
      opt.value = c.value;
      P.setText(opt, c.label);
      select.appendChild(opt);
    }
  }

  function showError(id, bad) {
    const input = $(id);
    const error = $('row-' + id).querySelector('.error');
    input.setAttribute('aria-invalid', bad ? 'true' : 'false');
    error.hidden = !bad;
    if (bad) {
      const limits = NUMBERS[id].limits();
      P.setText(error, L.INVALID_NUMBER, { min: limits.min, max: limits.max });
    }
  }

  function renderStrip() {
    const shown = D.strip(settings);
    P.setText($('strip-title'), shown.title);
    P.setText($('strip-value'), shown.value.text, shown.value.args);
    $('strip-indicator').style.width = shown.indicator + '%';
  }

  function render() {
    const wheel = D.AXES.find((a) => a.value === settings.dial_rotate).wheel;
    $('rotate').value = settings.dial_rotate;
    $('press').value = settings.dial_press;
    $('touch').value = settings.dial_touch;
    $('step').value = settings.dial_step;
    $('accel').value = settings.dial_accel;
    P.setText($('row-step').querySelector('.caption'), wheel ? D.CAPTIONS.wheelStep : D.CAPTIONS.moveStep);
    P.setText($('row-step').querySelector('.field-help'), wheel ? D.HELP.wheelStep : D.HELP.moveStep);
    showError('step', false);
    showError('accel', false);
    renderStrip();
  }

  // The host keeps the whole object; the plugin takes it whole too.
  function save(next) {
    if (D.MEMBERS.every((m) => next[m] === settings[m])) return;
    settings = next;
    send({ event: 'setSettings', context, payload: Object.assign({}, settings) });
    send({ event: 'sendToPlugin', action: ACTION_UUID, context, payload: Object.assign({}, settings) });
    renderStrip();
  }

  function onNumber(id) {
    const n = L.parseWhole($(id).value, NUMBERS[id].limits());
    // 0 would make the dial do nothing: it counts as out of range.
    const bad = n === null || (id === 'step' && n === 0);
    showError(id, bad);
    if (!bad) save(Object.assign({}, settings, { [NUMBERS[id].member]: String(n) }));
  }

  function onMessage(msg) {
    if (msg && msg.event === 'didReceiveSettings' && msg.payload) {
      settings = D.normalize(msg.payload.settings);
      render();
    }
  }

  function connect(inPort, inUUID, inRegisterEvent, inInfo, inActionInfo) {
    context = inUUID;
    const info = P.parse(inInfo) || {};
    const actionInfo = P.parse(inActionInfo) || {};
    const stored = (actionInfo.payload && actionInfo.payload.settings) || {};
    settings = D.normalize(stored);
    render();
    $('form').hidden = false;
    P.loadLanguage(info.application && info.application.language);
    send = P.connectToHost(inPort, { event: inRegisterEvent, uuid: inUUID }, onMessage);
    // A new dial, or one with values the plugin would not take: store a working set now.
    if (D.MEMBERS.some((m) => stored[m] !== settings[m])) {
      const next = settings;
      settings = {};
      save(next);
    }
  }

  addOptions($('rotate'), D.AXES);
  addOptions($('press'), D.PRESSES);
  addOptions($('touch'), D.TOUCHES);
  $('rotate').addEventListener('change', () => {
    save(D.withAxis(settings, $('rotate').value));
    render();
  });
  $('press').addEventListener('change', () => save(Object.assign({}, settings, { dial_press: $('press').value })));
  $('touch').addEventListener('change', () => save(Object.assign({}, settings, { dial_touch: $('touch').value })));
  for (const id of Object.keys(NUMBERS)) $(id).addEventListener('input', () => onNumber(id));

  window.connectElgatoStreamDeckSocket = connect;
})();
