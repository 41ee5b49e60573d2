// The deckmouse settings page: shows one key's settings and saves every change.
(function () {
  'use strict';

  const L = window.DeckMouseLogic;
  const DATA = window.DECKMOUSE_ICONS;
  const ACTION_UUID = 'org.deckmouse.mouse';
  const ICON_MEMBERS = ['my_icon_name', 'my_icon_color', 'my_icon_color_id'];

  let socket = null;
  let context = '';
  let registration = null;
  let queue = [];
  let settings = null;
  let strings = {};

  const $ = (id) => document.getElementById(id);

  // Number inputs: which member each edits and the limits it accepts.
  const FIELDS = ['sleep', 'notches', 'x', 'y', 'repeat'].map((id) => {
    const input = $(id);
    const member = input.dataset.member;
    return {
      id,
      input,
      member,
      row: $('row-' + id),
      caption: $('row-' + id).querySelector('.caption'),
      error: $('row-' + id).querySelector('.error'),
      limits: id === 'notches' ? L.LIMITS.notches : L.LIMITS[member],
    };
  });

  // ---- translation -------------------------------------------------------

  function tr(key, args) {
    const text = Object.prototype.hasOwnProperty.call(strings, key) ? strings[key] : key;
    return L.format(text, args);
  }

  function applyText(el) {
    const args = el.dataset.i18nArgs ? JSON.parse(el.dataset.i18nArgs) : null;
    const text = tr(el.dataset.i18n, args);
    if (el.tagName === 'OPTGROUP') el.label = text;
    else el.textContent = text;
  }

  function setText(el, key, args) {
    el.dataset.i18n = key;
    if (args) el.dataset.i18nArgs = JSON.stringify(args);
    else delete el.dataset.i18nArgs;
    applyText(el);
  }

  function applyTitle(el) {
    const text = tr(el.dataset.i18nTitle);
    el.title = text;
    el.setAttribute('aria-label', text);
  }

  function translateAll() {
    document.querySelectorAll('[data-i18n]').forEach(applyText);
    document.querySelectorAll('[data-i18n-title]').forEach(applyTitle);
  }

  // XMLHttpRequest rather than fetch: the host may load the page from a file: URL.
  function loadLanguage(lang) {
    const done = (state) => { document.body.dataset.language = state; };
    if (!lang || !/^[A-Za-z_]+$/.test(lang)) { done('en'); return; }
    const req = new XMLHttpRequest();
    req.open('GET', '../' + lang + '.json');
    req.onload = () => {
      // A file: URL answers with status 0.
      if (req.status !== 200 && req.status !== 0) { done('en'); return; }
      try {
        const file = JSON.parse(req.responseText);
        strings = (file && file.Localization) || {};
        document.documentElement.lang = lang.replace('_', '-');
        translateAll();
        done(lang);
      } catch (e) {
        done('en');
      }
    };
    req.onerror = () => done('en');
    req.send();
  }

  // ---- building the controls --------------------------------------------

  function buildCommandList() {
    const select = $('command');
    for (const group of L.GROUPS) {
      const og = document.createElement('optgroup');
      setText(og, group.label);
      for (const c of L.COMMANDS.filter((x) => x.group === group.id)) {
        const opt = document.createElement('option');
        opt.value = c.name;
        setText(opt, c.label);
        og.appendChild(opt);
      }
      select.appendChild(og);
    }
  }

  function buildIconControls() {
    const select = $('icon');
    for (const icon of DATA.icons) {
      const opt = document.createElement('option');
      opt.value = icon.name;
      setText(opt, icon.label);
      select.appendChild(opt);
    }
    const box = $('colours');
    for (const colour of DATA.palette) {
      const label = document.createElement('label');
      label.className = 'swatch';
      label.dataset.i18nTitle = colour.label;
      const radio = document.createElement('input');
      radio.type = 'radio';
      radio.name = 'colour';
      radio.value = colour.id;
      const dot = document.createElement('span');
      dot.style.background = colour.hex;
      label.append(radio, dot);
      box.appendChild(label);
      applyTitle(label);
    }
  }

  // ---- showing the settings -----------------------------------------------

  function showError(field, bad) {
    field.input.setAttribute('aria-invalid', bad ? 'true' : 'false');
    field.error.hidden = !bad;
    if (bad) setText(field.error, L.INVALID_NUMBER, field.limits);
  }

  function fieldValue(field) {
    return field.id === 'notches' ? String(L.notchesOf(settings.my_wheel)) : settings[field.member];
  }

  function render() {
    const cmd = L.command(settings.my_mouse_event);
    $('command').value = cmd.name;
    const help = L.helpFor(cmd.name);
    $('help').hidden = !help;
    if (help) setText($('help'), help);

    for (const field of FIELDS) {
      const caption = cmd.fields[field.id];
      field.row.hidden = !caption;
      if (typeof caption === 'string') setText(field.caption, caption);
      field.input.value = fieldValue(field);
      showError(field, false);
    }
    renderIcon();
  }

  function renderIcon() {
    $('icon').value = settings.my_icon_name;
    for (const radio of document.querySelectorAll('#colours input')) {
      radio.checked = radio.value === settings.my_icon_color_id;
    }
    const colour = L.colourById(DATA, settings.my_icon_color_id);
    $('preview').src = '../icons/' + L.iconFile(settings.my_icon_name, colour);
  }

  // ---- talking to the host ------------------------------------------------

  function send(message) {
    if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(message));
    else queue.push(message);
  }

  function toPlugin(payload) {
    send({ event: 'sendToPlugin', action: ACTION_UUID, context, payload });
  }

  // The host replaces the stored settings whole, so every save carries all nine;
  // the plugin merges, so it gets only what changed.
  function sendSave(changed) {
    send({ event: 'setSettings', context, payload: Object.assign({}, settings) });
    toPlugin(changed);
    // The plugin draws a stored icon only when the key appears, so show the new one now.
    if (ICON_MEMBERS.some((k) => k in changed)) {
      const colour = L.colourById(DATA, settings.my_icon_color_id);
      toPlugin({ 'background-image': 'icons/' + L.iconFile(settings.my_icon_name, colour) });
    }
  }

  function save(next) {
    const changed = L.changedMembers(settings, next);
    if (Object.keys(changed).length === 0) return;
    settings = next;
    sendSave(changed);
  }

  function update(members) {
    save(Object.assign({}, settings, members));
  }

  // ---- user input -----------------------------------------------------------

  function onCommand() {
    save(L.withCommand(settings, $('command').value));
    render();
  }

  function onField(field) {
    const n = L.parseWhole(field.input.value, field.limits);
    showError(field, n === null);
    if (n === null) return;
    const text = field.id === 'notches'
      ? L.wheelText(n, settings.my_mouse_event, settings.my_wheel)
      : String(n);
    update({ [field.member]: text });
  }

  function onIcon() {
    update({ my_icon_name: $('icon').value });
    renderIcon();
  }

  function onColour(event) {
    const colour = L.colourById(DATA, event.target.value);
    if (!colour) return;
    update({ my_icon_color: colour.word, my_icon_color_id: colour.id });
    renderIcon();
  }

  function onImage() {
    const path = L.decodeFilePath($('image').value);
    if (path) toPlugin({ 'background-image': path });
  }

  function parse(text) {
    if (text && typeof text === 'object') return text;
    try { return JSON.parse(text); } catch (e) { return null; }
  }

  function onMessage(event) {
    const msg = parse(event.data);
    if (msg && msg.event === 'didReceiveSettings' && msg.payload) {
      settings = L.normalize(msg.payload.settings, DATA);
      render();
    }
  }

  function connect(inPort, inUUID, inRegisterEvent, inInfo, inActionInfo) {
    context = inUUID;
    registration = { event: inRegisterEvent, uuid: inUUID };
    const info = parse(inInfo) || {};
    const actionInfo = parse(inActionInfo) || {};
    const stored = (actionInfo.payload && actionInfo.payload.settings) || {};

    settings = L.normalize(stored, DATA);
    render();
    $('form').hidden = false;
    loadLanguage(info.application && info.application.language);

    queue = [];
    socket = new WebSocket('ws://127.0.0.1:' + inPort);
    socket.onopen = () => {
      socket.send(JSON.stringify(registration));
      const waiting = queue;
      queue = [];
      waiting.forEach(send);
    };
    socket.onmessage = onMessage;

    // A new key, or one whose values would not convert: store a working set now,
    // or the plugin would ignore its presses.
    const repaired = L.changedMembers(stored, settings);
    if (Object.keys(repaired).length > 0) sendSave(repaired);
  }

  buildCommandList();
  buildIconControls();
  $('command').addEventListener('change', onCommand);
  for (const field of FIELDS) field.input.addEventListener('input', () => onField(field));
  $('icon').addEventListener('change', onIcon);
  $('colours').addEventListener('change', onColour);
  $('image').addEventListener('change', onImage);

  window.connectElgatoStreamDeckSocket = connect;
})();
