// The page in real time (index.html?trace): the browser's own mouse and touch events,
// the 64-a-second pace, the whole-number scale and the fullscreen button.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';

import { launchBrowser, openPage, removeTempDirs, startSite } from './support.mjs';

let site;
let browser;

before(async () => {
  site = await startSite();
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  site?.server.close();
  removeTempDirs();
});

// The first trace event that `match` accepts, waiting for it as the game runs.
async function waitForEvent(record, match, timeout = 10000) {
  const end = Date.now() + timeout;
  for (;;) {
    const found = record.trace.map((line) => JSON.parse(line)).find(match);
    if (found) return found;
    if (Date.now() > end) throw new Error(`no such event within ${timeout} ms`);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

async function canvasBox(page) {
  return page.evaluate(() => {
    const r = document.getElementById('screen').getBoundingClientRect();
    return { x: r.left, y: r.top, width: r.width, height: r.height };
  });
}

// The middle of game pixel (x, y) in page coordinates, at whatever scale the page shows.
async function pagePoint(page, x, y) {
  const box = await canvasBox(page);
  return [box.x + ((x + 0.5) * box.width) / 640, box.y + ((y + 0.5) * box.height) / 480];
}

// Where a click strikes the token of cell (row, col), whatever its height.
const cellPoint = (spawn) => [70 * spawn.col + 55, 70 * spawn.row + 60];

test('a mouse click starts the countdown at 64 passes a second, and a click and a tap on risen tokens are hits', async () => {
  const record = await openPage(browser, { width: 1400, height: 1000, hasTouch: true });
  const { page } = record;
  await page.goto(site.url + 'index.html?trace');
  await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined, { timeout: 30000 });
  // 1400 x 1000 holds the picture twice over, centred.
  assert.deepEqual(await canvasBox(page), { x: 60, y: 20, width: 1280, height: 960 });

  await page.mouse.click(...(await pagePoint(page, 320, 240)));
  const countdown = await waitForEvent(record, (e) => e.state === 'countdown');
  const play = await waitForEvent(record, (e) => e.state === 'play', 40000);

  // Three times over now: the pointer still lands on the game pixel under it.
  await page.setViewport({ width: 2000, height: 1500, hasTouch: true });
  // The page refits on its resize event, which may come a moment after the viewport.
  await page.waitForFunction(
    () => document.getElementById('screen').getBoundingClientRect().width !== 1280,
    { timeout: 5000 });
  assert.equal((await canvasBox(page)).width, 1920);
  const first = await waitForEvent(record, (e) => e.event === 'spawn');
  await page.mouse.click(...(await pagePoint(page, ...cellPoint(first))));
  const hit = await waitForEvent(record, (e) => e.event === 'hit');
  assert.deepEqual([hit.row, hit.col, hit.kind], [first.row, first.col, first.kind]);

  const second = await waitForEvent(record, (e) => e.event === 'spawn' && e.pass > hit.pass);
  await page.touchscreen.tap(...(await pagePoint(page, ...cellPoint(second))));
  const tapped = await waitForEvent(record, (e) => e.event === 'hit' && e.pass > hit.pass);
  assert.deepEqual([tapped.row, tapped.col], [second.row, second.col]);
  assert.deepEqual(record.trace.map((line) => JSON.parse(line)).filter((e) => e.event === 'miss'),
    []);
  assert.deepEqual(record.problems, []);
  await page.close();

  // The countdown counts 1080 passes, 1079 ticks of 15.625 ms apart. (A machine too busy
  // to wake the page in time loses passes, as it does for the windowed program.)
  const rate = ((play.pass - countdown.pass) * 1000) / (play.tick - countdown.tick);
  assert.ok(rate >= 61 && rate <= 67, `${rate.toFixed(2)} passes a second`);
});

test('the fullscreen button puts the picture on the whole screen at a whole-number scale', async () => {
  const record = await openPage(browser, { width: 800, height: 600 });
  const { page } = record;
  await page.goto(site.url + 'index.html');
  await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined, { timeout: 30000 });
  await page.click('#fullscreen');
  await page.waitForFunction(() => document.fullscreenElement?.id === 'stage');
  const { width, height } = await canvasBox(page);
  assert.equal(width % 640, 0);
  assert.equal(width * 3, height * 4);
  assert.deepEqual(record.problems, []);
  await page.close();
});
