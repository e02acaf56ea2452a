// WebKit for the browser tests: Debian's WebKitWebDriver (WebDriver classic) starting its
// MiniBrowser on a display (run under xvfb-run), spoken to with fetch(). It offers the
// few page calls the shared flows use (flows.mjs), named as puppeteer names them.
import { spawn } from 'node:child_process';
import net from 'node:net';
import { setTimeout as sleep } from 'node:timers/promises';

const DRIVER = process.env.TONKALO_WEBKIT_DRIVER || '/usr/bin/WebKitWebDriver';
const MINIBROWSER = process.env.TONKALO_MINIBROWSER ||
  '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

const freePort = () => new Promise((resolve, reject) => {
  const server = net.createServer().once('error', reject);
  server.listen(0, '127.0.0.1', () => {
    const { port } = server.address();
    server.close(() => resolve(port));
  });
});

async function request(base, method, path, body) {
  const response = await fetch(base + path, { method,
    headers: { 'Content-Type': 'application/json' },
    body: body === undefined ? undefined : JSON.stringify(body) });
  const answer = await response.json();
  if (!response.ok) throw new Error(`WebDriver ${path}: ${JSON.stringify(answer.value)}`);
  return answer.value;
}

// One MiniBrowser window: {page, close}. `page` has goto, evaluate (a function and its
// arguments, as puppeteer takes them) and mouse.click.
export async function openWebKit() {
  const port = await freePort();
  const driver = spawn(DRIVER, [`--port=${port}`], { stdio: 'ignore' });
  const base = `http://127.0.0.1:${port}`;
  const options = { 'webkitgtk:browserOptions': { binary: MINIBROWSER, args: ['--automation'] } };
  let session;
  for (let tries = 0; !session; ++tries) {
    try {
      session = await request(base, 'POST', '/session', { capabilities: { alwaysMatch: options } });
    } catch (error) {
      if (tries > 50) driver.kill();
      if (tries > 50) throw error;
      await sleep(100);
    }
  }
  const call = (method, path, body) =>
    request(base, method, `/session/${session.sessionId}${path}`, body);
  const click = (x, y) => call('POST', '/actions', { actions: [{ type: 'pointer', id: 'mouse',
    parameters: { pointerType: 'mouse' }, actions: [{ type: 'pointerMove', x: Math.round(x),
      y: Math.round(y), origin: 'viewport', duration: 0 }, { type: 'pointerDown', button: 0 },
    { type: 'pointerUp', button: 0 }] }] });
  const page = {
    goto: (url) => call('POST', '/url', { url }),
    evaluate: (fn, ...args) => call('POST', '/execute/sync', {
      script: `return (${fn}).apply(null, arguments)`, args }),
    mouse: { click },
  };
  const close = async () => {
    await call('DELETE', '').catch(() => {});
    driver.kill();
  };
  return { page, close };
}
