// The page run by a script (?script=FILE&trace) against the native headless program: the
// same trace and last picture; a scripted page keeps its record to itself, and the page
// says when the stored record cannot be read or kept.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { load, waitFor } from './flows.mjs';
import { differenceFromShot, events, nativeDir, openPage, runNative, withSiteAndBrowser } from './support.mjs';

const GAME = fs.readFileSync(new URL('./game.script', import.meta.url), 'utf8');
let record;
const env = withSiteAndBrowser(() => ({ 'game.script': GAME }),
  async ({ browser }) => { record = await openPage(browser); });
// Runs the page at `query` to its end; its exit status and trace.
async function run(query) {
  await load(record.page, env.site.url + 'index.html' + query, { exit: true });
  return record.page.evaluate(() => [document.body.dataset.exit, window.tonkaloTrace]);
}

test('two scripted games trace in the page exactly as in the headless program, and the last frames match', async () => {
  const dir = nativeDir('game');
  const close = Number(GAME.match(/^(\d+) close$/m)[1]);
  const native = runNative(dir, GAME, ['--shot', `${close - 1}:last.bmp`]);

  // A player's record in the storage: the demo neither reads it nor writes over it.
  assert.deepEqual(await run('?script=game.script&frames=1'), ['0', []]);
  await record.page.evaluate(() => localStorage.setItem('tonkalo.highscore', '07000000'));
  assert.deepEqual(await run('?trace&script=game.script'), ['0', native]);
  assert.ok(events(native, 'highscore-write').length > 0);
  assert.equal(await record.page.evaluate(() => localStorage['tonkalo.highscore']), '07000000');

  // What the script is there to show: a long run, hits of several kinds, both ends of a
  // game (time out and ten misses) and the results.
  assert.ok(JSON.parse(native.at(-1)).pass > 5000);
  assert.ok(new Set(events(native, 'hit').map((e) => e.kind)).size >= 3);
  assert.equal(events(native, 'results').length, 2);
  assert.ok(events(native, 'state').some((e) => e.state === 'finish'));

  assert.equal(await differenceFromShot(record.page, path.join(dir, 'last.bmp')), '');
  assert.deepEqual(record.problems, []);
});

test('a stored record that cannot be read, a full storage and one switched off are said beside the picture and on the console', async () => {
  const warnings = [];
  record.page.on('console', (m) => m.type() === 'warn' && warnings.push(m.text()));
  await record.page.evaluate(() => localStorage.setItem('tonkalo.highscore', 'not a record'));
  await record.page.goto(env.site.url + 'index.html');
  await waitFor(record.page, () => /cannot read the high score/.test(note.textContent));
  assert.equal(await record.page.evaluate(() => localStorage['tonkalo.highscore']), 'not a record');

  // A full storage refuses the write, and the page says so (the page's own write call).
  assert.equal(await record.page.evaluate(() => {
    localStorage.removeItem('tonkalo.highscore');
    Storage.prototype.setItem = () => { throw new DOMException('full', 'QuotaExceededError'); };
    return window._tonkalo_page_record_write(77);
  }), 0);
  assert.match(await record.page.evaluate(() => note.textContent), /storage is full/);

  const off = await env.browser.newPage();
  await off.evaluateOnNewDocument(() => Object.defineProperty(window, 'localStorage', {
    get() { throw new DOMException('storage is off', 'SecurityError'); },
  }));
  await off.goto(env.site.url + 'index.html');
  await waitFor(off, () => /switched off/.test(note.textContent));
  await off.close();
  assert.ok(warnings.some((w) => /^tonkalo: cannot read the high score .*not a record/.test(w)),
    warnings.join('\n'));
  assert.deepEqual(record.problems, []);
});

test('the page loads nothing but the site and the scripts beside it', () => {
  const ours = /^\/(index\.html|tonkalo\.(js|wasm|data)|sw\.js|manifest\.webmanifest|game\.script|icons\/tonkalo-(32|192|512|maskable-512)\.png)$/;
  assert.deepEqual([...new Set(env.site.requests)].filter((p) => !ours.test(p)), []);
});
