// Figures and screenshots of the page for the README and reviews, not a test (ctest runs
// only *.test.mjs): `node bench/web_measure.mjs OUT` after `make web` (both browsers run
// headless). Writes OUT/web-*.png and
// prints: the picture's CSS size in each profile, bytes on a first load and a reload,
// the time to the title at 4 Mbit/s, the offline reload, Chromium's installability
// verdict, the renderer and GPU processes' CPU on the title and in play (and Firefox's),
// and the quick flick (presses released and moved away at once).
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';

import { cellPoint, load, pagePoint, trace, waitForEvent } from '../tests/web/flows.mjs';
import { removeTempDirs, startSite, tempDir } from '../tests/web/support.mjs';

// puppeteer-core is installed for the browser tests (npm ci in tests/web).
const require = createRequire(new URL('../tests/web/package.json', import.meta.url));
const puppeteer = require('puppeteer-core');

const OUT = process.argv[2] || '.';
const CHROMIUM = process.env.TONKALO_CHROMIUM || '/usr/bin/chromium';
const FIREFOX = process.env.TONKALO_FIREFOX || '/usr/bin/firefox-esr';
const site = await startSite();

const chromium = (args = []) => puppeteer.launch({ executablePath: CHROMIUM, headless: true,
  userDataDir: tempDir('measure'), args: ['--no-sandbox', '--no-first-run', ...args] });

const cssBox = (page) => page.evaluate(() => {
  const r = document.getElementById('screen').getBoundingClientRect();
  return `${+r.width.toFixed(1)} x ${+r.height.toFixed(1)}`;
});

// Every process of the browser with its type and CPU ticks, from /proc.
function processes(rootPid) {
  const all = fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p)).map((pid) => {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      const cmd = fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8');
      return { pid: +pid, ppid: +fields[1], ticks: +fields[11] + +fields[12], cmd };
    } catch {
      return null;
    }
  }).filter(Boolean);
  const family = new Set([rootPid]);
  for (let grew = true; grew;) {
    grew = false;
    for (const p of all) if (!family.has(p.pid) && family.has(p.ppid)) grew = family.add(p.pid);
  }
  return all.filter((p) => family.has(p.pid));
}

// CPU in % of one core over `seconds`, per kind of process (`kind` names a process).
async function cpu(rootPid, kind, seconds = 10) {
  const before = new Map(processes(rootPid).map((p) => [p.pid, p.ticks]));
  await sleep(seconds * 1000);
  const use = {};
  for (const p of processes(rootPid)) {
    const k = kind(p.cmd);
    if (!k) continue;
    use[k] = (use[k] || 0) + (p.ticks - (before.get(p.pid) ?? p.ticks));
  }
  for (const k of Object.keys(use)) use[k] = `${(use[k] / seconds).toFixed(1)} %`;
  return use;
}
const chromiumKind = (cmd) => (cmd.includes('--type=renderer') ? 'renderer'
  : cmd.includes('--type=gpu-process') ? 'gpu' : null);

async function startPlay(page) {
  await page.mouse.click(...(await pagePoint(page, 320, 240)));
  await waitForEvent(page, (e) => e.state === 'countdown');
}

// 1. Screenshots with the picture's CSS size.
{
  const browser = await chromium(['--disable-gpu']);
  const page = await browser.newPage();
  for (const [name, viewport] of [
    ['phone-portrait', { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true }],
    ['phone-landscape', { width: 844, height: 390, deviceScaleFactor: 3, isMobile: true, hasTouch: true }],
    ['laptop-1280x800', { width: 1280, height: 800 }],
    ['desktop-1920x1080', { width: 1920, height: 1080 }]]) {
    await page.setViewport(viewport);
    await load(page, site.url + 'index.html?shot=' + name);
    await sleep(700);
    const file = path.join(OUT, `web-${name}.png`);
    await page.screenshot({ path: file });
    console.log(`${name}: picture ${await cssBox(page)} CSS px (${file})`);
  }
  await browser.close();
}

// 2. Bytes over the wire, time to the title at 4 Mbit/s, offline reload, installability.
{
  const browser = await chromium(['--disable-gpu']);
  const page = await browser.newPage();
  const cdp = await page.createCDPSession();
  await cdp.send('Network.enable');
  let bytes = 0;
  cdp.on('Network.loadingFinished', (e) => { bytes += e.encodedDataLength; });
  await cdp.send('Network.emulateNetworkConditions', { offline: false, latency: 40,
    downloadThroughput: 4e6 / 8, uploadThroughput: 1e6 / 8 });
  await page.goto(site.url + 'index.html', { waitUntil: 'domcontentloaded' });
  await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined, { timeout: 120000 });
  const title = await page.evaluate(() => window.tonkaloFirstFrameMs);
  await page.evaluate(() => navigator.serviceWorker.ready.then(() => true));
  await sleep(3000);
  console.log(`first load at 4 Mbit/s: title after ${(title / 1000).toFixed(2)} s, ` +
    `${bytes} bytes over the wire (service worker's copy included)`);
  await cdp.send('Network.emulateNetworkConditions', { offline: false, latency: 0,
    downloadThroughput: -1, uploadThroughput: -1 });
  bytes = 0;
  await page.reload({ waitUntil: 'domcontentloaded' });
  await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined);
  await sleep(1000);
  console.log(`reload: ${bytes} bytes over the wire`);
  await cdp.send('Network.setBypassServiceWorker', { bypass: true });
  bytes = 0;
  await page.reload({ waitUntil: 'domcontentloaded' });
  await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined);
  await sleep(1000);
  console.log(`reload past the service worker (validators): ${bytes} bytes over the wire`);
  await cdp.send('Network.setBypassServiceWorker', { bypass: false });
  const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
  console.log(`installability errors: ${JSON.stringify(installabilityErrors)}`);
  await page.setOfflineMode(true);
  await page.reload({ waitUntil: 'domcontentloaded' }).catch((e) => console.log(e.message));
  const offline = await page.waitForFunction(() => window.tonkaloFirstFrameMs !== undefined,
    { timeout: 20000 }).then(() => 'the title shows', () => 'no title');
  console.log(`offline reload: ${offline}`);
  await browser.close();
}

// 3. CPU on the title and in play, Chromium (as the browser draws by default) and Firefox.
{
  const browser = await chromium();
  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 800 });
  await load(page, site.url + 'index.html?trace');
  await sleep(2000);
  console.log('Chromium title:', await cpu(browser.process().pid, chromiumKind));
  await startPlay(page);
  await waitForEvent(page, (e) => e.state === 'play', 40000);
  console.log('Chromium play:', await cpu(browser.process().pid, chromiumKind));

  // The quick flick: pressed on a token, released and moved away at once, eight times.
  let hits = 0;
  let after = 0;
  for (let i = 0; i < 8; ++i) {
    const spawn = await waitForEvent(page, (e) => e.event === 'spawn' && e.pass > after);
    await page.mouse.move(...(await pagePoint(page, ...cellPoint(spawn))));
    await page.mouse.down();
    await page.mouse.up();
    await page.mouse.move(5, 5);
    await sleep(400);
    const hit = (await trace(page)).find((e) => e.event === 'hit' && e.pass > spawn.pass &&
      e.row === spawn.row && e.col === spawn.col);
    if (hit) hits += 1;
    after = (await trace(page)).at(-1).pass;
  }
  console.log(`quick flick: ${hits} hits of 8`);
  await browser.close();

  const firefox = await puppeteer.launch({ browser: 'firefox', executablePath: FIREFOX,
    headless: true, userDataDir: tempDir('measure-firefox') });
  const fpage = await firefox.newPage();
  await fpage.setViewport({ width: 1280, height: 800 });
  await load(fpage, site.url + 'index.html?trace');
  await sleep(2000);
  const all = () => 'firefox';
  console.log('Firefox title (all processes):', await cpu(firefox.process().pid, all));
  await startPlay(fpage);
  await waitForEvent(fpage, (e) => e.state === 'play', 40000);
  console.log('Firefox play (all processes):', await cpu(firefox.process().pid, all));
  await firefox.close();
}

site.server.close();
removeTempDirs();
