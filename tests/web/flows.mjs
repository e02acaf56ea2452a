// What every engine's test does with the page, in the few calls that puppeteer's pages
// (Chromium, Firefox) and the WebKit client (webdriver.mjs) share: evaluate and mouse
// clicks. The trace is read from window.tonkaloTrace and the passes from
// window.tonkaloPassMs (?trace), which every driver can. Waits count the game's passes;
// the page's clock only bounds a page that stands still, and a failure says what it saw.
import { setTimeout as sleep } from 'node:timers/promises';

// Ten misses end a game at once: the finish screen, then the results.
export const MISSES = ['10 move 320 240', '10 down', '12 up', '1100 move 600 470',
  ...Array.from({ length: 10 }, (_, i) => `${1189 + 10 * i} down\n${1191 + 10 * i} up`),
  '2200 close', ''].join('\n');

// Polls `fn` in the page until it gives a true value (an error, while the page
// navigates, is not yet); that value. Gives up when the page has not got there in
// `stillMs` (it stands still, or is stuck), saying what `fn` gave last.
export async function waitFor(page, fn, stillMs = 60000, ...args) {
  const end = Date.now() + stillMs;
  for (;;) {
    const seen = await page.evaluate(fn, ...args).catch((error) => ({ error: error.message }));
    if (seen && !seen.error) return seen;
    if (Date.now() > end) throw new Error(`${fn} still gave ${JSON.stringify(seen)}`);
    await sleep(20);
  }
}

// Loads `url` and waits for its first frame (or, with `exit`, for the game's end).
export async function load(page, url, { exit = false } = {}) {
  await page.evaluate((u) => {
    window.tonkaloLeaving = true;
    setTimeout(() => window.location.assign(u), 0);
  }, url);
  await waitFor(page, (u) => !window.tonkaloLeaving && window.location.href === u &&
    document.readyState === 'complete', 60000, url);
  await waitFor(page, exit ? () => document.body.dataset.exit !== undefined
    : () => window.tonkaloFirstFrameMs !== undefined, exit ? 300000 : 60000);
}

export const trace = async (page) =>
  (await page.evaluate(() => window.tonkaloTrace)).map((line) => JSON.parse(line));
export const passTimes = (page) => page.evaluate(() => window.tonkaloPassMs);

// The first trace event that `match` accepts, within `passes` passes of the game from
// now; a game that runs no pass for 20 s has stopped. The error names the last event.
export async function waitForEvent(page, match, passes = 640) {
  let [from, moved, last] = [null, Date.now(), -1];
  for (;;) {
    const [lines, count] = await page.evaluate(() => [window.tonkaloTrace, window.tonkaloPassMs.length]);
    const events = lines.map((line) => JSON.parse(line));
    const found = events.find(match);
    if (found) return found;
    from ??= count;
    if (count !== last) [moved, last] = [Date.now(), count];
    const why = count - from > passes ? `${passes} passes` : Date.now() - moved > 20000
      ? `the game ran no pass for 20 s (pass ${count})` : null;
    if (why) throw new Error(`no ${match} within ${why}; last: ${JSON.stringify(events.at(-1))}`);
    await sleep(20);
  }
}

// The middle of game pixel (x, y) in page coordinates, at whatever scale the page shows.
export async function pagePoint(page, x, y) {
  const box = await page.evaluate(() => document.getElementById('screen').getBoundingClientRect().toJSON());
  return [box.left + ((x + 0.5) * box.width) / 640, box.top + ((y + 0.5) * box.height) / 480];
}

// Where a click strikes the token of cell (row, col), whatever its height; and a place
// on the side panel, where a strike is a miss.
export const cellPoint = (spawn) => [70 * spawn.col + 55, 70 * spawn.row + 60];
export const MISS_POINT = [600, 470];

// A real game: `start` on the title; at play, `strike` hits the first token that rises,
// then ten `miss`es, each taken before the next, end the game. Each a click unless given.
export async function playOneHit(page, { start, strike, miss, beforeEnd } = {}) {
  const click = (point) => page.mouse.click(...point);
  await (start || click)(await pagePoint(page, 320, 240));
  const play = await waitForEvent(page, (e) => e.state === 'play', 1500);
  const spawn = await waitForEvent(page, (e) => e.event === 'spawn' && e.pass >= play.pass);
  await (strike || click)(await pagePoint(page, ...cellPoint(spawn)));
  const hit = await waitForEvent(page, (e) => e.event === 'hit');
  if (beforeEnd) await beforeEnd();
  for (let i = 1; i <= 10; ++i) {
    await (miss || click)(await pagePoint(page, ...MISS_POINT));
    await waitForEvent(page, (e) => e.event === 'miss' && e.misses === i, 64);
  }
  const results = await waitForEvent(page, (e) => e.event === 'results', 1000);
  return { spawn, hit, results };
}

// The time, in ms, that the page's clock ran on while the game's stood still (gaps of
// over 100 ms between trace events, summed): what a hidden or paused page leaves out.
export async function standstill(page) {
  const [events, times] = [await trace(page), await page.evaluate(() => window.tonkaloTraceMs)];
  const gaps = events.map((e, i) => i && times[i] - times[i - 1] - (e.tick - events[i - 1].tick));
  return gaps.filter((gap) => gap > 100).reduce((sum, gap) => sum + gap, 0);
}

export const storedRecord = (page) =>
  page.evaluate(() => window.localStorage.getItem('tonkalo.highscore'));

// The record as the page stores it: eight hex digits, little-endian.
export const recordText = (value) => Buffer.from(Int32Array.of(value).buffer).toString('hex');
