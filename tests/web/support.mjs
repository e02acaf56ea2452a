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
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), `tonkalo-web-${name}-`));
  temporary.push(dir);
  return dir;
}
export function removeTempDirs() {
  for (const dir of temporary.splice(0)) fs.rmSync(dir, { recursive: true, force: true });
}

// A folder to run the native program in: the generated data, and no record yet.
export function nativeDir(name) {
  const dir = tempDir(name);
  for (const sub of ['BMP', 'WAV', 'MP3']) {
    fs.symlinkSync(path.resolve(DATA_DIR, sub), path.join(dir, sub));
  }
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

export function events(lines, name) {
  return lines.map((line) => JSON.parse(line)).filter((e) => e.event === name);
}

// The site on 127.0.0.1 with `files` (name to text) served beside the page.
export async function startSite(files = {}) {
  if (!fs.existsSync(path.join(SITE_DIR, 'index.html'))) {
    throw new Error(`no site in ${SITE_DIR}: run make web`);
  }
  return startServer(SITE_DIR, 0, files);
}

export async function launchBrowser() {
  const profile = tempDir('profile');
  return puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--autoplay-policy=user-gesture-required'],
  });
}

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

// A page that keeps what it writes on the console: `trace` holds the log lines (the
// trace is the only thing the game logs), `problems` every error, failed request and
// uncaught exception.
export async function openPage(browser, viewport = { width: 1024, height: 768 }) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  const record = { page, trace: [], problems: [] };
  page.on('console', (message) => {
    if (message.type() === 'log') record.trace.push(message.text());
    if (message.type() === 'error') record.problems.push(`console: ${message.text()}`);
  });
  page.on('pageerror', (error) => record.problems.push(`page error: ${error.message}`));
  page.on('requestfailed', (request) => record.problems.push(`request failed: ${request.url()}`));
  page.on('response', (response) => {
    if (response.status() >= 400) record.problems.push(`HTTP ${response.status()}: ${response.url()}`);
  });
  return record;
}

// Loads the page at `query` and waits until the game has ended; its exit status.
export async function runToExit(record, url, query, timeout = 240000) {
  record.trace.length = 0;
  await record.page.goto(url + 'index.html' + query);
  await record.page.waitForFunction(() => document.body.dataset.exit !== undefined,
    { timeout, polling: 250 });
  return record.page.evaluate(() => Number(document.body.dataset.exit));
}

// The canvas as 0x00RRGGBB numbers, row by row.
export async function canvasPixels(page) {
  const rgba = await page.evaluate(() => {
    const c = document.getElementById('screen');
    return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data);
  });
  return Uint32Array.from({ length: rgba.length / 4 },
    (_, i) => (rgba[4 * i] << 16) | (rgba[4 * i + 1] << 8) | rgba[4 * i + 2]);
}

// An uncompressed 24-bit BMP (as the program's --shot writes it) as 0x00RRGGBB numbers,
// top row first.
export function bmpPixels(file) {
  const bytes = fs.readFileSync(file);
  const [offset, width, rawHeight] = [bytes.readUInt32LE(10), bytes.readInt32LE(18),
    bytes.readInt32LE(22)];
  const height = Math.abs(rawHeight);
  const stride = Math.ceil((width * 3) / 4) * 4;
  const pixels = Uint32Array.from({ length: width * height }, (_, i) => {
    const y = Math.floor(i / width);
    const p = offset + stride * (rawHeight > 0 ? height - 1 - y : y) + 3 * (i % width);
    return (bytes[p + 2] << 16) | (bytes[p + 1] << 8) | bytes[p];
  });
  return { width, height, pixels };
}

// The first pixel where two pictures differ, as text, or '' when they are the same.
export function firstDifference(a, b, width) {
  if (a.length !== b.length) return `sizes ${a.length} and ${b.length}`;
  for (let i = 0; i < a.length; ++i) {
    if (a[i] !== b[i]) {
      const hex = (v) => v.toString(16).padStart(6, '0');
      return `(${i % width}, ${Math.floor(i / width)}): ${hex(a[i])} against ${hex(b[i])}`;
    }
  }
  return '';
}
