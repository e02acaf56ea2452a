// The page in real time in Chromium: the picture's box beside the controls, mouse and
// touch, a quick flick, 64 passes a second and a clock that stands still while the page
// is hidden or paused, the record merged across tabs and kept, and the fullscreen button.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';

import {
  load, pagePoint, playOneHit, recordText, standstill, storedRecord, waitFor,
  waitForEvent,
} from './flows.mjs';
import { openPage, withSiteAndBrowser } from './support.mjs';

const env = withSiteAndBrowser();

// The picture's and the controls' boxes in CSS pixels.
const boxes = (page) => page.evaluate(() => ['screen', 'controls'].map((id) => {
  const r = document.getElementById(id).getBoundingClientRect();
  return { x: r.left, y: r.top, width: r.width, height: r.height };
}));
const apart = (a, b) => a.x + a.width <= b.x || b.x + b.width <= a.x ||
  a.y + a.height <= b.y || b.y + b.height <= a.y;

test('a real game: the box fills the page, a flick hits, the clock stops while hidden or paused, the record merges across tabs and survives a reload', async () => {
  const { page, problems } =
    await openPage(env.browser, { width: 1400, height: 1000, hasTouch: true });
  await load(page, env.site.url + 'index.html?trace');
  // Twice over fits beside the controls (a whole number of pixels loses 4 %).
  let [screen, controls] = await boxes(page);
  assert.deepEqual([screen.width, screen.height], [1280, 960]);
  assert.ok(apart(screen, controls) && controls.x + controls.width <= 1400);

  let hiddenFor = 0;
  const { spawn, hit, results } = await playOneHit(page, {
    // Pressed, released and moved away at once: the strike lands where it was pressed.
    strike: async (point) => {
      await page.mouse.move(...point);
      await page.mouse.down();
      await page.mouse.up();
      await page.mouse.move(1, 1);
    },
    beforeEnd: async () => {
      // Paused by its key, then hidden behind another tab: no pass runs and the game's
      // clock stands still.
      const other = await env.browser.newPage();
      await page.bringToFront();
      await page.keyboard.press('p');
      const began = Date.now();
      await sleep(700);
      await page.keyboard.press('p');
      await other.bringToFront();
      await waitFor(page, () => document.hidden);
      // Meanwhile another tab keeps a larger record: this one must not write less.
      await other.goto(env.site.url + 'manifest.webmanifest');
      await other.evaluate((text) => localStorage.setItem('tonkalo.highscore', text),
        recordText(5000));
      await sleep(700);
      await page.bringToFront();
      await other.close();
      hiddenFor = Date.now() - began;
    },
  });
  assert.deepEqual([hit.row, hit.col], [spawn.row, spawn.col]);
  // The results measure the score against the record as stored then, the other tab's.
  assert.ok(!results.newRecord && results.score > 0 && results.highScore === 5000,
    JSON.stringify(results));
  assert.equal(await storedRecord(page), recordText(5000));

  // 64 passes a second on the tick, and the game's clock stood still while the page was
  // paused and hidden (1.4 s).
  const first = await waitForEvent(page, (e) => e.state === 'countdown');
  const rate = ((results.pass - first.pass) * 1000) / (results.tick - first.tick);
  assert.ok(rate >= 61 && rate <= 67, `${rate.toFixed(2)} passes a second`);
  const still = await standstill(page);
  assert.ok(hiddenFor >= 1400 && still >= 1100, `stood still ${still} of ${hiddenFor} ms`);

  await load(page, env.site.url + 'index.html?trace');
  await sleep(300);
  assert.equal(await storedRecord(page), recordText(5000));
  assert.deepEqual(problems, []);

  // Three times over after a resize; a tap on the picture starts the countdown.
  await page.setViewport({ width: 2000, height: 1500, hasTouch: true });
  await waitFor(page, () => document.getElementById('screen').getBoundingClientRect().width !== 1280);
  [screen, controls] = await boxes(page);
  assert.equal(screen.width, 1920);
  assert.ok(apart(screen, controls));
  await page.touchscreen.tap(...(await pagePoint(page, 320, 240)));
  await waitForEvent(page, (e) => e.state === 'countdown');
  await page.close();
});

test('a phone in portrait gets the full width, the buttons never keep the keys, and fullscreen is a 4:3 box', async () => {
  const { page, problems } = await openPage(env.browser,
    { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
  await load(page, env.site.url + 'index.html');
  let [screen, controls] = await boxes(page);
  // Fractional: a whole number of device pixels would lose half the width.
  assert.ok(screen.width === 390 && Math.abs(screen.height - 292.5) < 0.5, `${screen.height}`);
  assert.ok(apart(screen, controls));
  assert.match(await page.$eval('#note', (n) => n.textContent), /sideways/);

  await page.setViewport({ width: 800, height: 600 });
  // The page fits itself to the new size and shows the replay button with the first
  // frame; the click must come once the buttons stand still.
  await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined &&
    document.getElementById('screen').getBoundingClientRect().width > 400, { timeout: 30000 });
  await sleep(500);
  await page.click('#fullscreen');
  await waitFor(page, () => document.fullscreenElement?.id === 'stage');
  assert.equal(await page.evaluate(() => document.activeElement.tagName), 'BODY');
  await page.keyboard.press('Space');
  assert.ok(await page.evaluate(() => document.body.classList.contains('paused') &&
    document.fullscreenElement !== null));
  [screen, controls] = await boxes(page);
  assert.equal(screen.width * 3, screen.height * 4);
  assert.ok(apart(screen, controls));
  assert.deepEqual(problems, []);
  await page.close();
});
