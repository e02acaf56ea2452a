// The page in real time in Chromium: the display's frames pace 64 passes a second, a late
// frame makes up its passes, none runs while the page is hidden or paused and the game's
// clock stands still; a finger held on a token holds back no pass and strikes at once,
// a quick flick strikes where it began; the record merges across tabs and is kept; the
// picture's box, the note's room and the fullscreen button.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';

import {
  load, pagePoint, passTimes, playOneHit, recordText, standstill, storedRecord, waitFor,
  waitForEvent,
} from './flows.mjs';
import { openPage, withSiteAndBrowser } from './support.mjs';

const env = withSiteAndBrowser();

// The boxes of the picture, the controls and the note in CSS pixels.
const boxes = (page) => page.evaluate(() => ['screen', 'controls', 'note']
  .map((id) => document.getElementById(id).getBoundingClientRect().toJSON()));
const apart = (a, b) => a.right <= b.left || b.right <= a.left || a.bottom <= b.top ||
  b.bottom <= a.top;
const now = (page) => page.evaluate(() => performance.now());
const between = (times, from, to) => times.filter((t) => t > from && t <= to).length;

test('a real game on a touch screen: paced by the display, a held finger strikes at once, hidden or paused the game stands still, the record merges across tabs', async () => {
  const { page, problems } = await openPage(env.browser,
    { width: 844, height: 390, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
  await load(page, env.site.url + 'index.html?trace');
  // The page busy for 200 ms: the 12 passes due meanwhile run as soon as it is free, so
  // the next 100 ms hold about 18.
  const late = await page.evaluate(() => {
    for (const began = performance.now(); performance.now() - began < 200;);
    addEventListener('pointerdown', () => { window.touchedMs = performance.now(); }, true);
    return performance.now();
  });
  await waitFor(page, (t) => window.tonkaloPassMs.some((p) => p > t + 100), 60000, late);
  const after = (await passTimes(page)).filter((t) => t > late).map((t) => Math.round(t - late));
  assert.ok(between(after, 0, 100) >= 14, `${after.slice(0, 20)}`);
  let [held, hidden, began] = [[], [], 0];
  const { spawn, hit, results } = await playOneHit(page, {
    start: (point) => page.touchscreen.tap(...point),
    strike: async (point) => {
      await page.touchscreen.touchStart(...point);
      await sleep(300);
      held = [await page.evaluate(() => window.touchedMs), await now(page)];
      await page.touchscreen.touchEnd();
    },
    // Pressed, released and moved away at once: the miss lands where it was pressed.
    miss: async (point) => {
      await page.mouse.move(...point);
      await page.mouse.down();
      await page.mouse.up();
      await page.mouse.move(1, 1);
    },
    // Paused by its key, then hidden behind another tab, which meanwhile keeps a larger
    // record: this one must not write less.
    beforeEnd: async () => {
      const other = await env.browser.newPage();
      await page.bringToFront();
      await page.keyboard.press('p');
      began = await now(page);
      await sleep(700);
      await page.keyboard.press('p');
      await other.bringToFront();
      hidden = [await waitFor(page, () => document.hidden && performance.now())];
      await other.goto(env.site.url + 'manifest.webmanifest');
      await other.evaluate((text) => { localStorage['tonkalo.highscore'] = text; }, recordText(5000));
      await sleep(700);
      hidden.push(await now(page));
      await page.bringToFront();
      await other.close();
    },
  });
  assert.deepEqual([hit.row, hit.col], [spawn.row, spawn.col]);
  // Timers are held back while a finger is down, the display's frames are not; the press
  // is sampled after the pass that takes it, so the hit comes on the second.
  const passes = await passTimes(page);
  const hitAt = await page.evaluate(() => window.tonkaloTraceMs[window.tonkaloTrace
    .findIndex((line) => line.includes('"event":"hit"'))]);
  assert.ok(between(passes, ...held) >= 10, `${between(passes, ...held)} passes held`);
  assert.ok(between(passes, held[0], hitAt) <= 2, `${between(passes, held[0], hitAt)} passes`);
  // The results measure the score against the record as stored then, the other tab's.
  assert.ok(!results.newRecord && results.score > 0 && results.highScore === 5000,
    JSON.stringify(results));
  assert.equal(await storedRecord(page), recordText(5000));

  // 64 passes a second of game time, none while hidden, and the game's clock stood
  // still while the page was paused and hidden (1.4 s).
  const first = await waitForEvent(page, (e) => e.state === 'countdown');
  const rate = ((results.pass - first.pass) * 1000) / (results.tick - first.tick);
  assert.ok(rate >= 61 && rate <= 64.1, `${rate.toFixed(2)} passes a second`);
  assert.equal(between(passes, ...hidden), 0);
  const still = await standstill(page);
  assert.ok(still >= hidden[1] - began - 300, `stood still ${still} of ${hidden[1] - began} ms`);
  assert.deepEqual(problems, []);
  await page.close();
});

test('the picture fills the page beside the controls, the note fits off the picture, the buttons never keep the keys, and fullscreen is a 4:3 box', async () => {
  const { page, problems } = await openPage(env.browser,
    { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
  await load(page, env.site.url + 'index.html');
  let [screen, controls, note] = await boxes(page);
  // Fractional: a whole number of device pixels would lose half the width.
  assert.ok(screen.width === 390 && Math.abs(screen.height - 292.5) < 0.5 &&
    apart(screen, controls), JSON.stringify([screen, controls]));
  assert.match(await page.$eval('#note', (n) => n.textContent), /sideways/);

  // A small phone sideways: the pause says tap, wholly inside the page, off the picture.
  await page.setViewport({ width: 640, height: 360, deviceScaleFactor: 3, isMobile: true,
    hasTouch: true });
  await page.click('#pause');
  [screen, , note] = await boxes(page);
  assert.match(await page.$eval('#note', (n) => n.textContent), /^Paused: tap/);
  assert.ok(apart(screen, note) && note.right <= 640 && note.bottom <= 360, JSON.stringify(note));
  await page.click('#pause');

  // Twice over on a large screen (a whole number of pixels loses 4 %).
  await page.setViewport({ width: 1400, height: 1000 });
  await waitFor(page, () => document.getElementById('screen').getBoundingClientRect().width === 1280);
  [screen, controls] = await boxes(page);
  assert.ok(screen.height === 960 && apart(screen, controls) && controls.right <= 1400);
  await page.click('#fullscreen');
  await waitFor(page, () => document.fullscreenElement?.id === 'stage');
  assert.equal(await page.evaluate(() => document.activeElement.tagName), 'BODY');
  await page.keyboard.press('Space');
  assert.ok(await page.evaluate(() => document.body.classList.contains('paused') &&
    document.fullscreenElement !== null));
  [screen, controls] = await boxes(page);
  assert.ok(screen.width * 3 === screen.height * 4 && apart(screen, controls));
  assert.deepEqual(problems, []);
  await page.close();
});
