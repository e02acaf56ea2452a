// Shared by the browser tests: the native headless program to compare with, the site on
// a local server, and Chromium driven by puppeteer-core; paths from ctest's environment.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before } from 'node:test';
import puppeteer from 'puppeteer-core';

import { startServer } from '../../tools/serve_site.mjs';

export const BIN = process.env.TONKALO_BIN || 'build/tonkalo';
export const DATA_DIR = process.env.TONKALO_DATA_DIR || 'build/data';
export const SITE_DIR = process.env.TONKALO_SITE_DIR || 'build-web';
const CHROMIUM = process.env.TONKALO_CHROMIUM || '/usr/bin/chromium';

const temporary = [];
export function tempDir(name) {
  temporary.push(fs.mkdtempSync(path.join(os.tmpdir(), `tonkalo-web-${name}-`)));
  return temporary.at(-1);
}
export function removeTempDirs() {
  for (const dir of temporary.splice(0)) fs.rmSync(dir, { recursive: true, force: true });
}

// A folder to run the native program in: the generated data, and no record yet.
export function nativeDir(name) {
  const dir = tempDir(name);
  for (const sub of ['BMP', 'WAV', 'MP3']) fs.symlinkSync(path.resolve(DATA_DIR, sub), path.join(dir, sub));
  return dir;
}

// Runs `tonkalo --headless` in `dir` with `args`; the trace as lines of text.
export function runProgram(dir, args) {
  fs.rmSync(path.join(dir, 'trace.jsonl'), { force: true });
  execFileSync(path.resolve(BIN), ['--headless', '--trace', 'trace.jsonl', ...args],
    { cwd: dir, stdio: ['ignore', 'ignore', 'pipe'] });
  return fs.readFileSync(path.join(dir, 'trace.jsonl'), 'utf8').split('\n').filter(Boolean);
}
export function runNative(dir, script, extraArgs = []) {
  fs.writeFileSync(path.join(dir, 'script.txt'), script);
  return runProgram(dir, ['--script', 'script.txt', ...extraArgs]);
}
export const events = (lines, name) =>
  lines.map((line) => JSON.parse(line)).filter((e) => e.event === name);

// The site on 127.0.0.1 with `files` (name to text) served beside the page.
export async function startSite(files = {}) {
  if (!fs.existsSync(path.join(SITE_DIR, 'index.html'))) {
    throw new Error(`no site in ${SITE_DIR}: run make web`);
  }
  return startServer(SITE_DIR, 0, files);
}

export const launchBrowser = () => puppeteer.launch({
  executablePath: CHROMIUM, headless: true, userDataDir: tempDir('profile'),
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--autoplay-policy=user-gesture-required'],
});

// The site (serving what `files()` gives) and Chromium for a file's tests, in the object
// returned once its `before` has run (and then `ready`); both stopped after the tests.
export function withSiteAndBrowser(files = () => ({}), ready = async () => {}) {
  const env = {};
  before(async () => {
    env.site = await startSite(await files());
    env.browser = await launchBrowser();
    await ready(env);
  });
  after(async () => {
    await env.browser?.close();
    env.site?.server.close();
    removeTempDirs();
  });
  return env;
}

// A page and the `problems` it meets: every error on its console, failed request and
// uncaught exception.
export async function openPage(browser, viewport = { width: 1024, height: 768 }) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  const problems = [];
  page.on('console', (m) => m.type() === 'error' && problems.push(`console: ${m.text()}`));
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('requestfailed', (request) => problems.push(`request failed: ${request.url()}`));
  page.on('response', (r) => r.status() >= 400 && problems.push(`HTTP ${r.status()}: ${r.url()}`));
  return { page, problems };
}

// Where the canvas first differs from an uncompressed 24-bit BMP (as the program's
// --shot writes it), as text; '' when they are the same.
export async function differenceFromShot(page, file) {
  const rgba = await page.evaluate(() => {
    const c = document.getElementById('screen');
    return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data);
  });
  const bmp = fs.readFileSync(file);
  const [offset, width, rawHeight] = [bmp.readUInt32LE(10), bmp.readInt32LE(18), bmp.readInt32LE(22)];
  const height = Math.abs(rawHeight);
  if (rgba.length !== 4 * width * height) return `sizes ${rgba.length / 4} and ${width * height}`;
  const stride = Math.ceil((width * 3) / 4) * 4;
  for (let i = 0; i < width * height; ++i) {
    const [x, y] = [i % width, Math.floor(i / width)];
    const p = offset + stride * (rawHeight > 0 ? height - 1 - y : y) + 3 * x;
    const [canvas, shot] = [rgba.slice(4 * i, 4 * i + 3), [bmp[p + 2], bmp[p + 1], bmp[p]]];
    if (canvas.join() !== shot.join()) return `(${x}, ${y}): ${canvas} against ${shot}`;
  }
  return '';
}
