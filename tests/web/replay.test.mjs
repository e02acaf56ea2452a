// Replays in the page: a game played there is saved as a replay that the native program
// plays back with the page's own trace, and a replay beside the page (?replay=FILE) gives
// the native recorded run's trace again.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';

import { MISSES, pagePoint } from './flows.mjs';
import {
  nativeDir, openPage, runNative, runProgram, runToExit, withSiteAndBrowser,
} from './support.mjs';

// A game of misses recorded on the fast tick, so that the replay, which keeps the
// recorded pace, plays in seconds.
let recorded;
const env = withSiteAndBrowser(() => {
  const dir = nativeDir('recorded');
  recorded = runNative(dir, MISSES, ['--tick', '1', '--record', 'game.replay']);
  return { 'game.replay': fs.readFileSync(path.join(dir, 'game.replay'), 'utf8') };
});

test('a replay beside the page traces as the recorded run did', async () => {
  const record = await openPage(env.browser);
  assert.equal(await runToExit(record, env.site.url, '?trace&replay=game.replay'), 0);
  assert.deepEqual(record.trace, recorded);
  assert.deepEqual(record.problems, []);
});

test('a game played in the page saves a replay that the program plays back the same', async () => {
  const record = await openPage(env.browser);
  const { page } = record;
  await page.goto(env.site.url + 'index.html?trace');
  await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined, { timeout: 30000 });
  assert.equal(await page.$eval('#save-replay', (b) => b.hidden), false);
  await page.mouse.click(...(await pagePoint(page, 320, 240)));
  await sleep(3000);
  const text = await page.evaluate(() => Module.UTF8ToString(Module._tonkalo_replay_so_far()));
  const close = Number(text.match(/^(\d+) close$/m)[1]);

  const dir = nativeDir('saved');
  fs.writeFileSync(path.join(dir, 'saved.replay'), text);
  const replayed = runProgram(dir, ['--replay', 'saved.replay']);
  const before = (lines) => lines.filter((line) => JSON.parse(line).pass < close);
  assert.ok(replayed.some((line) => line.includes('"state":"countdown"')));
  assert.deepEqual(before(replayed), before(record.trace));
  assert.deepEqual(record.problems, []);
});
