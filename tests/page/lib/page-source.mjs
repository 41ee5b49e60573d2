// The settings page's own rules and texts, read from the repo sources.
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { REPO, readJson } from './bundle.mjs';

const require = createRequire(import.meta.url);

export const BUNDLE_SRC = path.join(REPO, 'bundle');
export const logic = require(path.join(BUNDLE_SRC, 'pi', 'logic.js'));
export const dialLogic = require(path.join(BUNDLE_SRC, 'pi', 'dial-logic.js'));
export const iconData = readJson(path.join(BUNDLE_SRC, 'icons-src', 'icons.json'));
export const LANGUAGES = ['en', 'de', 'es', 'fr', 'ja', 'ko', 'zh_CN', 'zh_TW'];

// Every English text the page can put on screen.
export function pageStrings() {
  const set = new Set();
  for (const page of ['index.html', 'dial.html']) {
    const html = fs.readFileSync(path.join(BUNDLE_SRC, 'pi', page), 'utf8');
    for (const m of html.matchAll(/data-i18n="([^"]*)"/g)) set.add(m[1]);
  }
  // The dial's page and the texts the plugin writes on the dial's strip.
  for (const text of dialLogic.texts()) set.add(text);
  for (const g of logic.GROUPS) set.add(g.label);
  for (const c of logic.COMMANDS) {
    set.add(c.label);
    for (const id of Object.keys(c.fields)) {
      const shape = logic.fieldShape(c.name, id);
      for (const text of [shape.caption, shape.help, shape.empty]) if (text) set.add(text);
    }
    const help = logic.helpFor(c.name);
    if (help) set.add(help);
  }
  for (const b of logic.BUTTONS) set.add(b.label);
  for (const m of logic.MONITORS) if (m !== '') set.add(logic.monitorLabel(m).text);
  for (const i of iconData.icons) set.add(i.label);
  for (const p of iconData.palette) set.add(p.label);
  set.add(logic.INVALID_NUMBER);
  for (const text of Object.values(logic.TEXTS)) set.add(text);
  for (const labels of Object.values(logic.MODIFIER_LABELS)) for (const text of Object.values(labels)) set.add(text);
  for (const text of [...Object.values(logic.STEP_PROBLEMS), logic.STEP_PROBLEM_OTHER]) set.add(text);
  return set;
}
