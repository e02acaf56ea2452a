// The page run by a script (?script=FILE&trace) against the native headless program: the
// same trace and pictures; a scripted page keeps its record to itself, and the page says
// when the stored record cannot be read or kept.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import {
  bmpPixels, canvasPixels, events, firstDifference, nativeDir, openPage, runNative, runToExit,
  withSiteAndBrowser,
} from './support.mjs';

const GAME = fs.readFileSync(new URL('./game.script', import.meta.url), 'utf8');
let record;
const env = withSiteAndBrowser(() => ({ 'game.script': GAME }),
  async ({ browser }) => { record = await openPage(browser); });

test('two scripted games trace in the page exactly as in the headless program, and the last frames match', async () => {
  const dir = nativeDir('game');
  const close = Number(GAME.match(/^(\d+) close$/m)[1]);
  const native = runNative(dir, GAME, ['--shot', `${close - 1}:last.bmp`]);

  // A player's record in the storage: the demo neither reads it nor writes over it.
  assert.equal(await runToExit(record, env.site.url, '?script=game.script&frames=1'), 0);
  await record.page.evaluate(() => localStorage.setItem('tonkalo.highscore', '07000000'));
  assert.equal(await runToExit(record, env.site.url, '?trace&script=game.script'), 0);
  assert.deepEqual(record.trace, native);
  assert.ok(events(native, 'highscore-write').length > 0);
  assert.equal(await record.page.evaluate(() => localStorage.getItem('tonkalo.highscore')),
    '07000000');

  // What the script is there to show: a long run, hits of several kinds, both ends of a
  // game (time out and ten misses) and the results.
  assert.ok(JSON.parse(native[native.length - 1]).pass > 5000);
  assert.ok(new Set(events(native, 'hit').map((e) => e.kind)).size >= 3);
  assert.equal(events(native, 'results').length, 2);
  assert.ok(events(native, 'state').some((e) => e.state === 'finish'));

  const shot = bmpPixels(path.join(dir, 'last.bmp'));
  assert.equal(firstDifference(await canvasPixels(record.page), shot.pixels, shot.width), '');
  assert.deepEqual(record.problems, []);
});

test('the canvas in the middle of play equals the native shot of the same pass', async () => {
  const dir = nativeDir('middle');
  const probe = runNative(dir, GAME, ['--frames', '4000']);
  // Shortly after the first gauge bonus: tokens, an explosion, the hammer and a pop-up.
  const pass = events(probe, 'bonus')[0].pass + 6;
  runNative(dir, GAME, ['--frames', String(pass + 1), '--shot', `${pass}:middle.bmp`]);

  assert.equal(await runToExit(record, env.site.url, `?script=game.script&frames=${pass + 1}`), 0);
  const shot = bmpPixels(path.join(dir, 'middle.bmp'));
  assert.equal(firstDifference(await canvasPixels(record.page), shot.pixels, shot.width), '');
  assert.deepEqual(record.problems, []);
});

test('a stored record that cannot be read, a full storage and one switched off are said beside the picture and on the console', async () => {
  const warnings = [];
  record.page.on('console', (message) => {
    if (message.type() === 'warn') warnings.push(message.text());
  });
  await record.page.evaluate(() => localStorage.setItem('tonkalo.highscore', 'not a record'));
  await record.page.goto(env.site.url + 'index.html');
  await record.page.waitForFunction(() => /cannot read the high score/
    .test(document.getElementById('note').textContent), { timeout: 30000 });
  assert.equal(await record.page.evaluate(() => localStorage.getItem('tonkalo.highscore')),
    'not a record');

  // A full storage refuses the write, and the page says so (the page's own write call).
  assert.equal(await record.page.evaluate(() => {
    localStorage.removeItem('tonkalo.highscore');
    Storage.prototype.setItem = () => { throw new DOMException('full', 'QuotaExceededError'); };
    return window._tonkalo_page_record_write(77);
  }), 0);
  assert.match(await record.page.$eval('#note', (n) => n.textContent), /storage is full/);

  const off = await env.browser.newPage();
  await off.evaluateOnNewDocument(() => Object.defineProperty(window, 'localStorage', {
    get() { throw new DOMException('storage is off', 'SecurityError'); },
  }));
  await off.goto(env.site.url + 'index.html');
  await off.waitForFunction(() => /switched off/.test(document.getElementById('note').textContent),
    { timeout: 30000 });
  await off.close();
  assert.ok(warnings.some((w) => /^tonkalo: cannot read the high score .*not a record/.test(w)),
    warnings.join('\n'));
  assert.deepEqual(record.problems, []);
});

test('the page loads nothing but the site and the scripts beside it', () => {
  const allowed = ['/index.html', '/tonkalo.js', '/tonkalo.wasm', '/tonkalo.data', '/sw.js',
    '/manifest.webmanifest', '/game.script', '/icons/tonkalo-32.png',
    '/icons/tonkalo-192.png', '/icons/tonkalo-512.png', '/icons/tonkalo-maskable-512.png'];
  assert.deepEqual([...new Set(env.site.requests)].filter((p) => !allowed.includes(p)), []);
});
