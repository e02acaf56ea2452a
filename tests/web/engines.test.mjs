// The page in Firefox (puppeteer-core over WebDriver BiDi) and WebKit (webdriver.mjs, on
// the display ctest gives it): a scripted game traces as natively, a real game's record
// survives a reload, and where the driver can hide the page no pass runs meanwhile and
// its clock stands still.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';

import puppeteer from 'puppeteer-core';

import {
  load, MISSES, passTimes, playOneHit, recordText, standstill, storedRecord, trace, waitFor,
  waitForEvent,
} from './flows.mjs';
import { nativeDir, removeTempDirs, runNative, startSite, tempDir } from './support.mjs';
import { openWebKit } from './webdriver.mjs';

const FIREFOX = process.env.TONKALO_FIREFOX || '/usr/bin/firefox-esr';
let site;
let native;
before(async () => {
  site = await startSite({ 'misses.script': MISSES });
  native = runNative(nativeDir('engines'), MISSES).map((line) => JSON.parse(line));
});
after(() => {
  site?.server.close();
  removeTempDirs();
});

async function openFirefox() {
  const browser = await puppeteer.launch({ browser: 'firefox', executablePath: FIREFOX,
    headless: true, userDataDir: tempDir('firefox') });
  const page = await browser.newPage();
  await page.setViewport({ width: 1024, height: 768 });
  // Another tab in front hides this one.
  const hide = async () => {
    const other = await browser.newPage();
    await other.bringToFront();
    return () => page.bringToFront().then(() => other.close());
  };
  return { page, hide, close: () => browser.close() };
}

async function playsLikeTheDesktop(open) {
  const engine = await open();
  const { page } = engine;
  try {
    await load(page, site.url + 'index.html?trace&script=misses.script', { exit: true });
    assert.deepEqual(await trace(page), native);

    await load(page, site.url + 'index.html?trace');
    const hidden = [];
    const { results } = await playOneHit(page, {
      beforeEnd: async () => {
        if (!engine.hide) return;
        const show = await engine.hide();
        hidden.push(await waitFor(page, () => document.hidden && performance.now(), 3000));
        await sleep(1000);
        hidden.push(await page.evaluate(() => performance.now()));
        await show();
      },
    });
    assert.ok(results.newRecord && results.score > 0);
    await waitForEvent(page, (e) => e.event === 'highscore-write');
    if (engine.hide) {
      // A pass already under way when the page was hidden may end just after; a busy
      // machine can put that one past the moment hiding was seen.
      const passes = (await passTimes(page)).filter((t) => t > hidden[0] + 50 && t <= hidden[1]);
      const still = await standstill(page);
      assert.ok(passes.length === 0 && still >= 800, `${passes.length} passes while hidden, ` +
        `the game's clock stood still for ${still} ms of 1000`);
    }
    await load(page, site.url + 'index.html?trace');
    assert.equal(await storedRecord(page), recordText(results.score));
  } finally {
    await engine.close();
  }
}

test('Firefox plays the page as the desktop does', () => playsLikeTheDesktop(openFirefox));

test('WebKit plays the page as the desktop does', () => playsLikeTheDesktop(openWebKit));
