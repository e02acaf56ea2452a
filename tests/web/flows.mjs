// What every engine's test does with the page, in the few calls that puppeteer's pages
// (Chromium, Firefox) and the WebKit client (webdriver.mjs) share: evaluate, the mouse
// and the keyboard. The trace is read from window.tonkaloTrace, which every driver can.
import { setTimeout as sleep } from 'node:timers/promises';

// Ten misses end a game at once: the finish screen, then the results.
export const MISSES = ['10 move 320 240', '10 down', '12 up', '1100 move 600 470',
  ...Array.from({ length: 10 }, (_, i) => `${1189 + 10 * i} down\n${1191 + 10 * i} up`),
  '2200 close', ''].join('\n');

// Polls `fn` in the page until it gives a true value (an error, while the page
// navigates, is not yet); that value.
export async function waitFor(page, fn, timeout = 30000, ...args) {
  const end = Date.now() + timeout;
  for (;;) {
    const value = await page.evaluate(fn, ...args).catch(() => undefined);
    if (value) return value;
    if (Date.now() > end) throw new Error(`not within ${timeout} ms: ${fn}`);
    await sleep(50);
  }
}

// Loads `url` and waits for its first frame (or, with `exit`, for the game's end).
export async function load(page, url, { exit = false, timeout = 60000 } = {}) {
  await page.evaluate((u) => {
    window.tonkaloLeaving = true;
    setTimeout(() => window.location.assign(u), 0);
  }, url);
  await waitFor(page, (u) => !window.tonkaloLeaving && window.location.href === u &&
    document.readyState === 'complete', timeout, url);
  if (exit) {
    await waitFor(page, () => document.body.dataset.exit !== undefined, timeout);
  } else {
    await waitFor(page, () => window.tonkaloFirstFrameMs !== undefined, timeout);
  }
}

export async function trace(page) {
  return (await page.evaluate(() => window.tonkaloTrace)).map((line) => JSON.parse(line));
}

// The first trace event that `match` (a function of the event) accepts, as the game runs.
export async function waitForEvent(page, match, timeout = 10000) {
  const end = Date.now() + timeout;
  for (;;) {
    const found = (await trace(page)).find(match);
    if (found) return found;
    if (Date.now() > end) throw new Error(`no such event within ${timeout} ms: ${match}`);
    await sleep(20);
  }
}

// The middle of game pixel (x, y) in page coordinates, at whatever scale the page shows.
export async function pagePoint(page, x, y) {
  const box = await page.evaluate(() => {
    const r = document.getElementById('screen').getBoundingClientRect();
    return [r.left, r.top, r.width, r.height];
  });
  return [box[0] + ((x + 0.5) * box[2]) / 640, box[1] + ((y + 0.5) * box[3]) / 480];
}

// Where a click strikes the token of cell (row, col), whatever its height; and a place
// on the side panel, where a strike is a miss.
export const cellPoint = (spawn) => [70 * spawn.col + 55, 70 * spawn.row + 60];
export const MISS_POINT = [600, 470];

// A real game: a click on the title; at play, `strike` (a click unless given) hits the
// first token that rises, then ten misses end the game.
export async function playOneHit(page, { strike, beforeEnd } = {}) {
  await page.mouse.click(...(await pagePoint(page, 320, 240)));
  await waitForEvent(page, (e) => e.state === 'countdown');
  const play = await waitForEvent(page, (e) => e.state === 'play', 40000);
  const spawn = await waitForEvent(page, (e) => e.event === 'spawn' && e.pass >= play.pass);
  const point = await pagePoint(page, ...cellPoint(spawn));
  if (strike) await strike(point); else await page.mouse.click(...point);
  const hit = await waitForEvent(page, (e) => e.event === 'hit');
  if (beforeEnd) await beforeEnd();
  for (let i = 0; i < 10; ++i) {
    await page.mouse.click(...(await pagePoint(page, ...MISS_POINT)));
    await sleep(60);
  }
  const results = await waitForEvent(page, (e) => e.event === 'results', 20000);
  return { spawn, hit, results };
}

// The time, in ms, that the page's clock ran on while the game's stood still (gaps of
// over 100 ms between trace events, summed): what a hidden or paused page leaves out.
export async function standstill(page) {
  const [lines, times] = await page.evaluate(() => [window.tonkaloTrace, window.tonkaloTraceMs]);
  const events = lines.map((line) => JSON.parse(line));
  let total = 0;
  for (let i = 1; i < events.length; ++i) {
    const gap = times[i] - times[i - 1] - (events[i].tick - events[i - 1].tick);
    if (gap > 100) total += gap;
  }
  return total;
}

export const storedRecord = (page) =>
  page.evaluate(() => window.localStorage.getItem('tonkalo.highscore'));

// The record as the page stores it: eight hex digits, little-endian.
export function recordText(value) {
  const bytes = Buffer.alloc(4);
  bytes.writeInt32LE(value);
  return bytes.toString('hex');
}
