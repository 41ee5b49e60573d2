// What the key's and the dial's settings pages share: texts in the user's
// language, and the socket to the host. In the page they are window.DeckMousePage.
(function () {
  'use strict';

  const L = window.DeckMouseLogic;
  let strings = {};

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
  // `then` runs once the texts are in place (or English stays).
  function loadLanguage(lang, then) {
    const done = (state) => {
      document.body.dataset.language = state;
      if (then) then();
    };
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

  function parse(text) {
    if (text && typeof text === 'object') return text;
    try { return JSON.parse(text); } catch (e) { return null; }
  }

  // Opens the page's socket and registers; returns send(message), which
  // holds messages back until the socket is open.
  function connectToHost(port, registration, onMessage) {
    let queue = [];
    const socket = new WebSocket('ws://127.0.0.1:' + port);
    const send = (message) => {
      if (socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(message));
      else queue.push(message);
    };
    socket.onopen = () => {
      socket.send(JSON.stringify(registration));
      const waiting = queue;
      queue = [];
      waiting.forEach(send);
    };
    socket.onmessage = (event) => onMessage(parse(event.data));
    return send;
  }

  window.DeckMousePage = { tr, setText, applyTitle, loadLanguage, parse, connectToHost };
})();
