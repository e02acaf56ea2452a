// Replays in the page: one beside the page (?replay=FILE) and one the player opens from a
// file give the native recorded run's trace again, and their end is said; a damaged one
// is said beside the picture while the game goes on; a game played in the page is saved
// as a replay that the native program plays back with the page's own trace.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { MISSES, load, pagePoint, waitFor, waitForEvent } from './flows.mjs';
import { nativeDir, openPage, runNative, runProgram, withSiteAndBrowser } from './support.mjs';

// A game of misses recorded on the fast tick, so that the replay, which keeps the
// recorded pace, plays in seconds.
let recorded;
const dir = nativeDir('recorded');
const env = withSiteAndBrowser(() => {
  recorded = runNative(dir, MISSES, ['--tick', '1', '--record', 'game.replay']);
  fs.writeFileSync(path.join(dir, 'bad.replay'), 'tonkalo-replay 1 tick-ms 1 highscore 0\n');
  return { 'game.replay': fs.readFileSync(path.join(dir, 'game.replay'), 'utf8') };
});
const played = (page) => page.evaluate(() => window.tonkaloTrace);
const noteSays = (page, pattern) => waitFor(page, (p) => new RegExp(p).test(note.textContent),
  60000, pattern.source);

test('a replay beside the page or opened from a file traces as the recorded run did; a damaged one is said and the game goes on', async () => {
  const { page, problems } = await openPage(env.browser);
  await load(page, env.site.url + 'index.html?trace&replay=game.replay', { exit: true });
  assert.deepEqual(await played(page), recorded);
  await noteSays(page, /^The replay game\.replay has ended/);

  await load(page, env.site.url + 'index.html?trace');
  const open = async (name) => {
    const [chooser] = await Promise.all([page.waitForFileChooser(), page.click('#open-replay')]);
    await chooser.accept([path.join(dir, name)]);
  };
  await open('bad.replay');
  await noteSays(page, /^Cannot open the replay bad\.replay: bad\.replay: no '0 tick/);
  await page.mouse.click(...(await pagePoint(page, 320, 240)));
  await waitForEvent(page, (e) => e.state === 'countdown');
  await open('game.replay');
  await waitFor(page, () => location.search === '?trace&replay=game.replay&opened' &&
    document.body.dataset.exit === '0');
  assert.deepEqual(await played(page), recorded);
  assert.deepEqual(problems, []);
});

test('a game played in the page saves a replay that the program plays back the same', async () => {
  const { page, problems } = await openPage(env.browser);
  await load(page, env.site.url + 'index.html?trace');
  assert.equal(await page.$eval('#save-replay', (b) => b.hidden), false);
  await page.mouse.click(...(await pagePoint(page, 320, 240)));
  await waitForEvent(page, (e) => e.event === 'sound' && e.index === 1);
  const text = await page.evaluate(() => Module.UTF8ToString(Module._tonkalo_replay_so_far()));
  const close = Number(text.match(/^(\d+) close$/m)[1]);
  fs.writeFileSync(path.join(dir, 'saved.replay'), text);
  const replayed = runProgram(dir, ['--replay', 'saved.replay']);
  const before = (lines) => lines.filter((line) => JSON.parse(line).pass < close);
  assert.ok(replayed.some((line) => line.includes('"state":"countdown"')));
  assert.deepEqual(before(replayed), before(await played(page)));
  assert.deepEqual(problems, []);
});
