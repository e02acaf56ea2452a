// The page run by a script (index.html?script=FILE&trace) against the native headless
// program with the same script: the same trace event for event, the same pictures pixel
// for pixel, and the record kept in the browser's storage by the same rules.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import {
  bmpPixels, canvasPixels, events, firstDifference, launchBrowser, nativeDir, openPage,
  removeTempDirs, runNative, runToExit, startSite,
} from './support.mjs';

const GAME = fs.readFileSync(new URL('./game.script', import.meta.url), 'utf8');
// Ten misses end a game at once: the finish screen, then the results.
const MISSES = ['10 move 320 240', '10 down', '12 up', '1100 move 600 470',
  ...Array.from({ length: 10 }, (_, i) => `${1189 + 10 * i} down\n${1191 + 10 * i} up`),
  '2200 close', ''].join('\n');

let site;
let browser;
let record;

before(async () => {
  site = await startSite({ 'game.script': GAME, 'misses.script': MISSES });
  browser = await launchBrowser();
  record = await openPage(browser);
});

after(async () => {
  await browser?.close();
  site?.server.close();
  removeTempDirs();
});

test('two scripted games trace in the page exactly as in the headless program, and the last frames match', async () => {
  const dir = nativeDir('game');
  const close = Number(GAME.match(/^(\d+) close$/m)[1]);
  const native = runNative(dir, GAME, ['--shot', `${close - 1}:last.bmp`]);

  assert.equal(await runToExit(record, site.url, '?trace&script=game.script'), 0);
  assert.deepEqual(record.trace, native);

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

  assert.equal(await runToExit(record, site.url, `?script=game.script&frames=${pass + 1}`), 0);
  const shot = bmpPixels(path.join(dir, 'middle.bmp'));
  assert.equal(firstDifference(await canvasPixels(record.page), shot.pixels, shot.width), '');
  assert.deepEqual(record.problems, []);
});

test('the record survives a reload, and a record that cannot be read is never written over', async () => {
  // The first test left the record of its games in this browser profile's storage; each
  // run is a new load of the page.
  const dir = nativeDir('record');
  runNative(dir, GAME);
  const native = runNative(dir, MISSES);
  const results = events(native, 'results')[0];
  assert.ok(results.highScore > 0);
  assert.equal(results.newRecord, false);

  assert.equal(await runToExit(record, site.url, '?trace&script=misses.script'), 0);
  assert.deepEqual(record.trace, native);

  await record.page.evaluate(() => localStorage.setItem('tonkalo.highscore', 'not a record'));
  assert.equal(await runToExit(record, site.url, '?trace&script=misses.script'), 0);
  assert.deepEqual(events(record.trace, 'highscore-write'), []);
  assert.equal(events(record.trace, 'results')[0].highScore, 0);
  assert.equal(await record.page.evaluate(() => localStorage.getItem('tonkalo.highscore')),
    'not a record');
  assert.deepEqual(record.problems, []);
});

test('the page loads nothing but the site and the scripts beside it', () => {
  const allowed = ['/index.html', '/tonkalo.js', '/tonkalo.wasm', '/tonkalo.data',
    '/game.script', '/misses.script'];
  assert.deepEqual([...new Set(site.requests)].filter((p) => !allowed.includes(p)), []);
});
