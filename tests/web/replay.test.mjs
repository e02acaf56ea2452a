// Replays in the page: a game played there is saved as a replay that the native program
// plays back with the page's own trace, and a replay beside the page (?replay=FILE) gives
// the native recorded run's trace again.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import {
  BIN, launchBrowser, nativeDir, openPage, removeTempDirs, runNative, runToExit, startSite,
} from './support.mjs';

// The title click and misses on the side panel to the end of a game, on the fast tick so
// that the replay, which keeps the recorded pace, plays in seconds.
const MISSES = ['10 move 320 240', '10 down', '12 up', '1100 move 600 470',
  ...Array.from({ length: 10 }, (_, i) => `${1189 + 10 * i} down\n${1191 + 10 * i} up`),
  '2200 close', ''].join('\n');

let site;
let browser;
let recorded;

before(async () => {
  const dir = nativeDir('recorded');
  recorded = runNative(dir, MISSES, ['--tick', '1', '--record', 'game.replay']);
  site = await startSite({ 'game.replay': fs.readFileSync(path.join(dir, 'game.replay'), 'utf8') });
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  site?.server.close();
  removeTempDirs();
});

test('a replay beside the page traces as the recorded run did', async () => {
  const record = await openPage(browser);
  assert.equal(await runToExit(record, site.url, '?trace&replay=game.replay'), 0);
  assert.deepEqual(record.trace, recorded);
  assert.deepEqual(record.problems, []);
});

test('a game played in the page saves a replay that the program plays back the same', async () => {
  const record = await openPage(browser);
  const { page } = record;
  await page.goto(site.url + 'index.html?trace');
  await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined, { timeout: 30000 });
  assert.equal(await page.$eval('#save-replay', (b) => b.hidden), false);
  const box = await page.$eval('#screen', (c) => c.getBoundingClientRect().toJSON());
  await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
  await new Promise((resolve) => setTimeout(resolve, 3000));
  const text = await page.evaluate(() => Module.UTF8ToString(Module._tonkalo_replay_so_far()));
  const close = Number(text.match(/^(\d+) close$/m)[1]);

  const dir = nativeDir('saved');
  fs.writeFileSync(path.join(dir, 'saved.replay'), text);
  execFileSync(path.resolve(BIN), ['--headless', '--replay', 'saved.replay', '--trace', 'trace.jsonl'],
    { cwd: dir, stdio: ['ignore', 'ignore', 'pipe'] });
  const replayed = fs.readFileSync(path.join(dir, 'trace.jsonl'), 'utf8').split('\n').filter(Boolean);
  const before = (lines) => lines.filter((line) => JSON.parse(line).pass < close);
  assert.ok(replayed.some((line) => line.includes('"state":"countdown"')));
  assert.deepEqual(before(replayed), before(record.trace));
  assert.deepEqual(record.problems, []);
});
