// The deckmouse settings page: shows one key's settings and saves every change.
(function () {
  'use strict';

  const L = window.DeckMouseLogic;
  const DATA = window.DECKMOUSE_ICONS;
  const ACTION_UUID = 'org.deckmouse.mouse';
  const ICON_MEMBERS = ['my_icon_name', 'my_icon_color', 'my_icon_color_id'];
  // The key counts down 3 s; past this without an answer the page stops waiting.
  const PICK_WAIT_MS = 5000;
  // Steps are saved this long after the last keystroke, so the plugin's check follows the typing.
  const STEPS_WAIT_MS = 300;

  let sendToHost = null;
  let context = '';
  let registration = null;
  let settings = null;
  // What the plugin told about the screen: null until it did.
  let monitors = null;
  let pointer = null;
  let pickTimer = null;
  let stepsTimer = null;
  // The plugin's last check of the steps, and the saved positions: null until told.
  let stepsCheck = null;
  let slots = null;
  let slotsAsked = false;

  const $ = (id) => document.getElementById(id);
  const PICK_LABEL = $('pick').dataset.i18n;

  // The inputs below the command: number boxes, selects, check boxes, the
  // steps' text and the group of modifier boxes.
  const KINDS = { SELECT: 'choice', TEXTAREA: 'text', FIELDSET: 'modifiers' };
  const FIELDS = Object.keys(L.FIELD_MEMBERS).map((id) => {
    const input = $(id);
    const row = $('row-' + id);
    let kind = KINDS[input.tagName] || 'number';
    if (input.type === 'checkbox') kind = 'flag';
    return {
      id,
      kind,
      input,
      member: L.FIELD_MEMBERS[id],
      row,
      caption: row.querySelector('.caption'),
      help: row.querySelector('.field-help'),
      error: row.querySelector('.error'),
      limits: null, // those of the command shown
    };
  });

  // ---- translation -------------------------------------------------------

  const { setText, applyTitle, loadLanguage, parse } = window.DeckMousePage;

  // ---- building the controls --------------------------------------------

  function addOption(parent, value, key, args) {
    const opt = document.createElement('option');
    opt.value = value;
    setText(opt, key, args);
    parent.appendChild(opt);
  }

  function buildCommandList() {
    const select = $('command');
    for (const group of L.GROUPS) {
      const og = document.createElement('optgroup');
      setText(og, group.label);
      for (const c of L.COMMANDS.filter((x) => x.group === group.id)) addOption(og, c.name, c.label);
      select.appendChild(og);
    }
  }

  // The label of "" depends on the command and is set when it is shown; the
  // numbered monitors follow the plugin's list.
  function buildFieldChoices() {
    for (const b of L.BUTTONS) addOption($('button'), b.value, b.label);
    const unset = document.createElement('option');
    unset.value = '';
    $('monitor').appendChild(unset);
    for (const n of L.SLOTS) addOption($('slot'), n, L.TEXTS.slotOption, { n: Number(n) });
  }

  // One box per modifier word, named as the host's system names the key.
  function buildModifierBoxes(platform) {
    const box = $('modifiers');
    box.replaceChildren();
    for (const { word, label } of L.modifierLabels(platform)) {
      const item = document.createElement('label');
      item.className = 'check';
      const input = document.createElement('input');
      input.type = 'checkbox';
      input.value = word;
      const text = document.createElement('span');
      setText(text, label);
      item.append(input, text);
      box.appendChild(item);
    }
  }

  function checkedModifiers() {
    return [...$('modifiers').querySelectorAll('input:checked')].map((i) => i.value);
  }

  function fillMonitorChoices() {
    const select = $('monitor');
    const stored = L.memberValue(settings, 'my_monitor');
    select.querySelectorAll('option:not([value=""])').forEach((o) => o.remove());
    let storedMissing = false;
    for (const choice of L.monitorChoices(monitors, stored)) {
      addOption(select, choice.value, choice.text, choice.args);
      if (choice.missing && choice.value === stored) storedMissing = true;
    }
    select.value = stored;
    select.setAttribute('aria-invalid', storedMissing ? 'true' : 'false');
  }

  function buildIconControls() {
    const select = $('icon');
    for (const icon of DATA.icons) addOption(select, icon.name, icon.label);
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

  // problem: { text, args } to show under the field, or null.
  function showError(field, problem) {
    field.input.setAttribute('aria-invalid', problem ? 'true' : 'false');
    field.error.hidden = !problem;
    if (problem) setText(field.error, problem.text, problem.args);
  }

  // An optional member the key does not store shows the value that acts like it;
  // text the plugin cannot read shows as stored.
  function fieldValue(field) {
    const value = L.memberValue(settings, field.member);
    if (L.unreadable(field.member, value)) return value;
    if (field.id === 'notches') return String(L.notchesOf(settings.my_wheel));
    if (field.kind === 'flag') return value === '1';
    if (field.id === 'button') return value || L.BUTTONS[0].value;
    return value;
  }

  function showField(field, shape) {
    field.row.hidden = !shape;
    if (!shape) return;
    if (shape.caption) setText(field.caption, shape.caption);
    field.help.hidden = !shape.help;
    if (shape.help) setText(field.help, shape.help);
    if (shape.empty) setText(field.input.querySelector('option[value=""]'), shape.empty);
    field.limits = shape.limits;
    if (field.id === 'monitor') fillMonitorChoices();
    else if (field.kind === 'flag') field.input.checked = fieldValue(field);
    else if (field.kind === 'modifiers') {
      const { known } = L.modifierWords(fieldValue(field));
      for (const box of field.input.querySelectorAll('input')) box.checked = known.includes(box.value);
    } else field.input.value = fieldValue(field);
    if (field.error) showError(field, L.storedProblem(settings, settings.my_mouse_event, field.id));
  }

  function render() {
    const cmd = L.command(settings.my_mouse_event);
    $('command').value = cmd.name;
    const help = L.helpFor(cmd.name);
    $('help').hidden = !help;
    if (help) setText($('help'), help);

    for (const field of FIELDS) showField(field, L.fieldShape(cmd.name, field.id));
    $('row-pick').hidden = !L.picksPosition(cmd.name);
    renderStepsCheck();
    renderSlots();
    renderIcon();
  }

  // The plugin's word on the steps: how many and how long, and each line it cannot read.
  function renderStepsCheck() {
    const summary = $('steps-summary');
    const list = $('steps-problems');
    summary.hidden = !stepsCheck;
    list.hidden = !stepsCheck || stepsCheck.problems.length === 0;
    $('steps').setAttribute('aria-invalid', list.hidden ? 'false' : 'true');
    if (!stepsCheck) return;
    const total = L.stepsSummary(stepsCheck);
    setText(summary, total.text, total.args);
    list.replaceChildren();
    for (const p of stepsCheck.problems) {
      const item = document.createElement('li');
      const where = document.createElement('span');
      where.className = 'where';
      setText(where, L.TEXTS.stepLine, { line: p.line, text: p.text });
      const what = document.createElement('span');
      setText(what, L.stepProblemText(p.problem));
      item.append(where, what);
      list.appendChild(item);
    }
  }

  // What each slot holds, for the commands that save or restore one; the
  // page asks the host for the plugin's global settings the first time.
  function renderSlots() {
    const shown = L.usesMember(settings.my_mouse_event, 'my_slot');
    if (shown && !slotsAsked) {
      slotsAsked = true;
      send({ event: 'getGlobalSettings', context });
    }
    $('row-slots').hidden = !shown || !slots;
    if ($('row-slots').hidden) return;
    const list = $('slots');
    list.replaceChildren();
    for (const line of L.slotLines(slots)) {
      const item = document.createElement('li');
      setText(item, line.text, line.args);
      list.appendChild(item);
    }
  }

  function renderPointer() {
    $('row-pointer').hidden = !pointer;
    if (!pointer) return;
    const text = L.pointerText(pointer);
    setText($('pointer'), text.text, text.args);
  }

  function renderMonitors() {
    $('row-monitors').hidden = !monitors;
    if (!monitors) return;
    const list = $('monitors');
    list.replaceChildren();
    for (const m of monitors) {
      const item = document.createElement('li');
      const line = L.monitorLine(m);
      setText(item, line.text, line.args);
      list.appendChild(item);
    }
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
    if (sendToHost) sendToHost(message);
  }

  function toPlugin(payload) {
    send({ event: 'sendToPlugin', action: ACTION_UUID, context, payload });
  }

  // The host replaces the stored settings whole, so every save carries all of
  // them; the plugin merges, so it gets only what changed.
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
    save(L.withMembers(settings, members));
  }

  // ---- user input -----------------------------------------------------------

  function onCommand() {
    saveSteps();
    save(L.withCommand(settings, $('command').value));
    if (pickTimer !== null && !L.picksPosition(settings.my_mouse_event)) {
      toPlugin({ pick: 'cancel' });
      showPicking(false);
    }
    render();
  }

  function onField(field) {
    if (field.kind === 'choice') {
      update({ [field.member]: field.input.value });
      // A monitor that is not connected is offered only while it is stored.
      if (field.id === 'monitor') fillMonitorChoices();
      return;
    }
    if (field.kind === 'flag') { update({ [field.member]: field.input.checked ? '1' : '0' }); return; }
    if (field.kind === 'modifiers') {
      update({ [field.member]: L.modifiersText(checkedModifiers()) });
      showError(field, null);
      return;
    }
    if (field.kind === 'text') {
      clearTimeout(stepsTimer);
      stepsTimer = setTimeout(saveSteps, STEPS_WAIT_MS);
      return;
    }
    const n = L.parseWhole(field.input.value, field.limits);
    showError(field, n === null ? { text: L.INVALID_NUMBER, args: field.limits } : null);
    if (n === null) return;
    const text = field.id === 'notches'
      ? L.wheelText(n, settings.my_mouse_event, settings.my_wheel)
      : String(n);
    update({ [field.member]: text });
  }

  // Saves the steps as typed, if a save is waiting for the typing to pause.
  function saveSteps() {
    if (stepsTimer === null) return;
    clearTimeout(stepsTimer);
    stepsTimer = null;
    if (L.usesMember(settings.my_mouse_event, 'my_steps')) update({ my_steps: $('steps').value });
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

  // ---- picking a position on screen -----------------------------------------

  // While the key counts down the button cancels; the page stops waiting by
  // itself should the plugin never answer.
  function showPicking(on) {
    clearTimeout(pickTimer);
    pickTimer = on ? setTimeout(() => showPicking(false), PICK_WAIT_MS) : null;
    $('pick').setAttribute('aria-pressed', on ? 'true' : 'false');
    setText($('pick'), on ? L.TEXTS.cancelPick : PICK_LABEL);
  }

  function onPick() {
    const picking = pickTimer !== null;
    toPlugin({ pick: picking ? 'cancel' : 'position' });
    showPicking(!picking);
  }

  // The plugin already counts the position from the chosen monitor.
  function onPicked(point) {
    showPicking(false);
    if (!L.picksPosition(settings.my_mouse_event)) return;
    update({ my_offset_x: String(point.x), my_offset_y: String(point.y) });
    render();
  }

  function onImage() {
    const path = L.decodeFilePath($('image').value);
    if (path) toPlugin({ 'background-image': path });
  }

  function onPluginMessage(payload) {
    if (!payload || typeof payload !== 'object') return;
    const picked = L.readPoint(payload.picked);
    if (picked) onPicked(picked);
    const now = L.readPoint(payload.pointer);
    if (now) { pointer = now; renderPointer(); }
    const list = L.readMonitors(payload.monitors);
    if (list) { monitors = list; fillMonitorChoices(); renderMonitors(); }
    if ('stepsCheck' in payload) { stepsCheck = L.readStepsCheck(payload.stepsCheck); renderStepsCheck(); }
  }

  function onMessage(msg) {
    if (msg && msg.event === 'didReceiveSettings' && msg.payload) {
      settings = L.normalize(msg.payload.settings, DATA);
      render();
    } else if (msg && msg.event === 'sendToPropertyInspector') {
      onPluginMessage(msg.payload);
    } else if (msg && msg.event === 'didReceiveGlobalSettings' && msg.payload) {
      const read = L.readSlots(msg.payload.settings);
      // Global settings with no slots yet: every slot is empty.
      slots = read || {};
      renderSlots();
    }
  }

  function connect(inPort, inUUID, inRegisterEvent, inInfo, inActionInfo) {
    context = inUUID;
    registration = { event: inRegisterEvent, uuid: inUUID };
    const info = parse(inInfo) || {};
    const actionInfo = parse(inActionInfo) || {};
    const stored = (actionInfo.payload && actionInfo.payload.settings) || {};

    settings = L.normalize(stored, DATA);
    buildModifierBoxes(info.application && info.application.platform);
    sendToHost = window.DeckMousePage.connectToHost(inPort, registration, onMessage);
    render();
    $('form').hidden = false;
    loadLanguage(info.application && info.application.language);

    // A new key, or one whose values would not convert: store a working set now,
    // or the plugin would ignore its presses.
    const repaired = L.changedMembers(stored, settings);
    if (Object.keys(repaired).length > 0) sendSave(repaired);
  }

  buildCommandList();
  buildFieldChoices();
  buildIconControls();
  $('command').addEventListener('change', onCommand);
  for (const field of FIELDS) {
    const live = field.kind === 'number' || field.kind === 'text';
    field.input.addEventListener(live ? 'input' : 'change', () => onField(field));
  }
  // Leaving the steps saves them at once.
  $('steps').addEventListener('change', saveSteps);
  $('icon').addEventListener('change', onIcon);
  $('colours').addEventListener('change', onColour);
  $('image').addEventListener('change', onImage);
  $('pick').addEventListener('click', onPick);

  window.connectElgatoStreamDeckSocket = connect;
})();
