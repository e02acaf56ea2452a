// Figures of the page for the README and reviews, not a test (ctest runs only *.test.mjs):
// `node bench/web_measure.mjs [fit] [touch] [cpu] [update] [load]` after `make web`
// (all parts when none is named; TONKALO_SITE_DIR names another site to measure, and
// TONKALO_FLOOR the canvas floor page, served beside it). Prints:
//   fit     where the note lies on small phones, a tablet and a laptop, both ways round
//   touch   Chromium as an iPhone 13, real touch taps held 100 ms on risen tokens: the
//           time from the touch to the hit, and the longest gap between passes meanwhile
//   cpu     the idle title at 1280 x 800 against the canvas floor page, every browser
//           process, 20 s a round, three alternating rounds (median and range);
//           Chromium and Firefox
//   update  a new build on the server: what one reload of the open tab shows
//   load    bytes on a first load and a reload, the offline reload, installability
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';

import { cellPoint, load, pagePoint, waitFor, waitForEvent } from '../tests/web/flows.mjs';
import { SITE_DIR, removeTempDirs, startSite, tempDir } from '../tests/web/support.mjs';

// puppeteer-core is installed for the browser tests (npm ci in tests/web).
const require = createRequire(new URL('../tests/web/package.json', import.meta.url));
const puppeteer = require('puppeteer-core');

const CHROMIUM = process.env.TONKALO_CHROMIUM || '/usr/bin/chromium';
const FIREFOX = process.env.TONKALO_FIREFOX || '/usr/bin/firefox-esr';
const FLOOR = process.env.TONKALO_FLOOR ||
  new URL('../../shared/floors/canvas_floor.html', import.meta.url).pathname;
const parts = process.argv.slice(2);
const wanted = (name) => parts.length === 0 || parts.includes(name);
const site = await startSite(fs.existsSync(FLOOR)
  ? { 'canvas_floor.html': fs.readFileSync(FLOOR, 'utf8') } : {});

const chromium = (args = []) => puppeteer.launch({ executablePath: CHROMIUM, headless: true,
  userDataDir: tempDir('measure'), args: ['--no-sandbox', '--no-first-run', ...args] });
const firefox = () => puppeteer.launch({ browser: 'firefox', executablePath: FIREFOX,
  headless: true, userDataDir: tempDir('measure-firefox') });
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const range = (values) => `${Math.min(...values).toFixed(1)}-${Math.max(...values).toFixed(1)}`;

// The CPU ticks (1/100 s) of a process and all its descendants, from /proc.
function familyTicks(rootPid) {
  const all = fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p)).map((pid) => {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      return { pid: +pid, ppid: +fields[1], ticks: +fields[11] + +fields[12] };
    } catch {
      return null;
    }
  }).filter(Boolean);
  const family = new Set([rootPid]);
  for (let grew = true; grew;) {
    grew = false;
    for (const p of all) if (!family.has(p.pid) && family.has(p.ppid)) grew = family.add(p.pid);
  }
  return new Map(all.filter((p) => family.has(p.pid)).map((p) => [p.pid, p.ticks]));
}

// % of one core that a fresh browser showing `url` at 1280 x 800 spends over `seconds`.
async function browserCpu(launch, url, ready, seconds = 20) {
  const browser = await launch();
  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 800 });
  await page.goto(url);
  await ready(page);
  await sleep(2000);
  const pid = browser.process().pid;
  const before = familyTicks(pid);
  await sleep(seconds * 1000);
  let used = 0;
  for (const [p, ticks] of familyTicks(pid)) used += ticks - (before.get(p) ?? ticks);
  await browser.close();
  return used / seconds;
}

if (wanted('fit')) {
  const long = 'cannot read the high score in the browser\'s storage (it is not a record ' +
    'this game wrote): this visit leaves it as it is and keeps no new record';
  const browser = await chromium(['--disable-gpu']);
  const page = await browser.newPage();
  for (const [name, w, h, ratio] of [['phone', 640, 360, 3], ['phone', 667, 375, 2],
    ['phone', 740, 360, 3], ['phone', 844, 390, 3], ['iPad Mini', 1024, 768, 2],
    ['laptop', 1280, 800, 1]]) {
    for (const [width, height] of [[w, h], [h, w]]) {
      const touch = name !== 'laptop';
      await page.setViewport({ width, height, deviceScaleFactor: ratio, isMobile: touch,
        hasTouch: touch });
      await load(page, site.url + 'index.html?fit=' + width + 'x' + height);
      const said = [];
      for (const text of [long, 'pause']) {
        said.push(await page.evaluate((t) => {
          if (t === 'pause') document.getElementById('pause').click(); else Module.note(t, false, true);
          const note = document.getElementById('note');
          const n = note.getBoundingClientRect();
          const s = document.getElementById('screen').getBoundingClientRect();
          const inside = n.left >= 0 && n.top >= 0 && n.right <= innerWidth && n.bottom <= innerHeight;
          const apart = n.right <= s.left || n.left >= s.right || n.bottom <= s.top || n.top >= s.bottom;
          const whole = note.scrollHeight <= note.clientHeight + 1 && note.scrollWidth <= note.clientWidth + 1;
          return `"${note.textContent.slice(0, 24)}…" ${inside && apart && whole ? 'fits' : 'DOES NOT FIT'} ` +
            `(${Math.round(n.width)} x ${Math.round(n.height)} px at ${note.style.fontSize || '13px'})`;
        }, text));
      }
      await page.evaluate(() => document.getElementById('pause').click());
      console.log(`${name} ${width} x ${height}: ${said.join('; ')}`);
    }
  }
  await browser.close();
}

if (wanted('touch')) {
  const browser = await chromium();
  const page = await browser.newPage();
  await page.emulate(puppeteer.KnownDevices['iPhone 13']);
  await load(page, site.url + 'index.html?trace');
  const cdp = await page.createCDPSession();
  const touch = async ([x, y], held = 100) => {
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x, y }] });
    await sleep(held);
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  };
  await page.evaluate(() => {
    window.touchedMs = [];
    window.addEventListener('pointerdown', () => window.touchedMs.push(performance.now()), true);
  });
  await touch(await pagePoint(page, 320, 240));
  await waitForEvent(page, (e) => e.state === 'play', 40000);
  const latencies = [];
  const gaps = [];
  let after = 0;
  for (let i = 0; i < 10; ++i) {
    const spawn = await waitForEvent(page, (e) => e.event === 'spawn' && e.pass > after, 20000)
      .catch(() => null);
    if (!spawn) break;
    await sleep(150);
    await touch(await pagePoint(page, ...cellPoint(spawn)));
    await sleep(300);
    const { lines, times, passes, touched } = await page.evaluate(() => ({ lines: window.tonkaloTrace,
      times: window.tonkaloTraceMs, passes: window.tonkaloPassMs, touched: window.touchedMs.at(-1) }));
    const events = lines.map((l) => JSON.parse(l));
    const hit = events.findIndex((e) => e.event === 'hit' && e.pass > spawn.pass);
    if (hit >= 0 && times[hit] > touched) latencies.push(times[hit] - touched);
    if (passes) {
      const held = passes.filter((t) => t >= touched - 50 && t <= touched + 150);
      for (let k = 1; k < held.length; ++k) gaps.push(held[k] - held[k - 1]);
    }
    after = events.at(-1).pass;
  }
  console.log(`touch to hit (Chromium, iPhone 13): median ${median(latencies).toFixed(1)} ms, ` +
    `range ${range(latencies)} ms, ${latencies.length} hits; longest gap between passes ` +
    `while a finger was down: ${gaps.length ? Math.max(...gaps).toFixed(1) + ' ms' : 'not measured'}`);
  await browser.close();
}

if (wanted('cpu')) {
  const title = (page) => waitFor(page, () => window.tonkaloFirstFrameMs !== undefined, 60000);
  const floor = (page) => page.evaluate(() => document.readyState);
  const pageUrl = site.url + 'index.html';
  const floorUrl = site.url + 'canvas_floor.html?w=1067&h=800&rows=76';
  for (const [name, launch] of [['Chromium', () => chromium()], ['Firefox', firefox]]) {
    const game = [];
    const base = [];
    for (let round = 0; round < 3; ++round) {
      game.push(await browserCpu(launch, pageUrl, title));
      base.push(await browserCpu(launch, floorUrl, floor));
    }
    const ratios = game.map((g, i) => g / base[i]);
    console.log(`${name} idle title at 1280 x 800: page ${median(game).toFixed(1)} % ` +
      `(${range(game)}), floor ${median(base).toFixed(1)} % (${range(base)}), ratio ` +
      `${median(ratios).toFixed(2)} (${ratios.map((r) => r.toFixed(2)).join(', ')})`);
  }
}

if (wanted('update')) {
  // The site as served, then a new build of it: another page and another worker version.
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tonkalo-update-'));
  fs.cpSync(SITE_DIR, dir, { recursive: true });
  const { startServer } = await import('../tools/serve_site.mjs');
  const served = await startServer(dir, 0);
  const browser = await chromium(['--disable-gpu']);
  const page = await browser.newPage();
  await load(page, served.url + 'index.html');
  await waitFor(page, () => navigator.serviceWorker.controller !== null, 30000);
  const index = path.join(dir, 'index.html');
  fs.writeFileSync(index, fs.readFileSync(index, 'utf8').replace('<title>Tonkalo</title>',
    '<title>Tonkalo (new build)</title>'));
  const worker = path.join(dir, 'sw.js');
  fs.writeFileSync(worker, fs.readFileSync(worker, 'utf8').replace(/const VERSION = '/,
    "const VERSION = 'new-"));
  const began = Date.now();
  await page.reload();
  const shown = await waitFor(page, () => document.title.includes('new build'), 30000)
    .then(() => `the new build, ${((Date.now() - began) / 1000).toFixed(1)} s after the reload`,
      () => 'still the old build');
  console.log(`one reload after a new build: ${shown}`);
  await browser.close();
  served.server.close();
  fs.rmSync(dir, { recursive: true, force: true });
}

if (wanted('load')) {
  const browser = await chromium(['--disable-gpu']);
  const page = await browser.newPage();
  const cdp = await page.createCDPSession();
  await cdp.send('Network.enable');
  let bytes = 0;
  cdp.on('Network.loadingFinished', (e) => { bytes += e.encodedDataLength; });
  await page.goto(site.url + 'index.html', { waitUntil: 'domcontentloaded' });
  await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined, { timeout: 120000 });
  await page.evaluate(() => navigator.serviceWorker.ready.then(() => true));
  await sleep(3000);
  console.log(`first load: ${bytes} bytes over the wire (the service worker's copy included)`);
  bytes = 0;
  await page.reload({ waitUntil: 'domcontentloaded' });
  await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined);
  await sleep(1000);
  console.log(`reload: ${bytes} bytes over the wire`);
  const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
  console.log(`installability errors: ${JSON.stringify(installabilityErrors)}`);
  await page.setOfflineMode(true);
  await page.reload({ waitUntil: 'domcontentloaded' }).catch((e) => console.log(e.message));
  const offline = await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined,
    { timeout: 20000 }).then(() => 'the title shows', () => 'no title');
  console.log(`offline reload: ${offline}`);
  await browser.close();
}

site.server.close();
removeTempDirs();
