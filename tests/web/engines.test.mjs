// The page in Firefox (puppeteer-core over WebDriver BiDi) and WebKit (webdriver.mjs, on
// the display ctest gives it): a scripted game traces as natively, a real game's record
// survives a reload, and where the driver can hide the page its clock then stands still.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';

import puppeteer from 'puppeteer-core';

import {
  load, MISSES, playOneHit, recordText, standstill, storedRecord, trace, waitFor,
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
  return {
    page,
    close: () => browser.close(),
    // Another tab in front hides this one.
    hide: async () => {
      const other = await browser.newPage();
      await other.bringToFront();
      return () => page.bringToFront().then(() => other.close());
    },
  };
}

async function playsLikeTheDesktop(open) {
  const engine = await open();
  const { page } = engine;
  try {
    await load(page, site.url + 'index.html?trace&script=misses.script', { exit: true });
    assert.deepEqual(await trace(page), native);

    await load(page, site.url + 'index.html?trace');
    let hidden = false;
    const { results } = await playOneHit(page, {
      beforeEnd: async () => {
        if (!engine.hide) return;
        const show = await engine.hide();
        hidden = await waitFor(page, () => document.hidden, 3000).catch(() => false);
        await sleep(1000);
        await show();
      },
    });
    assert.ok(results.newRecord && results.score > 0);
    await waitForEvent(page, (e) => e.event === 'highscore-write');
    if (engine.hide) {
      assert.ok(hidden, 'the page was not hidden');
      const still = await standstill(page);
      assert.ok(still >= 800, `the game's clock stood still for ${still} ms of 1000`);
    }

    await load(page, site.url + 'index.html?trace');
    await sleep(300);
    assert.equal(await storedRecord(page), recordText(results.score));
  } finally {
    await engine.close();
  }
}

test('Firefox plays the page as the desktop does', () => playsLikeTheDesktop(openFirefox));

test('WebKit plays the page as the desktop does', () => playsLikeTheDesktop(openWebKit));
