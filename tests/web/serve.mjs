// A small static file server for the site: `node serve.mjs DIR [PORT]` serves DIR on
// http://127.0.0.1:PORT/ (default 8000; 0 picks a free port). The browser tests start
// it on a free port through startServer.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
  '.txt': 'text/plain; charset=utf-8',
  '.png': 'image/png',
};

// Resolves with {server, url, requests}; `requests` lists every path asked for. `files`
// (name to text) are served beside the site's own files, as a test's scripts are.
export function startServer(root, port = 0, files = {}) {
  const base = path.resolve(root);
  const requests = [];
  const server = createServer(async (req, res) => {
    const { pathname } = new URL(req.url, 'http://127.0.0.1');
    requests.push(pathname);
    if (req.method !== 'GET' && req.method !== 'HEAD') {
      res.writeHead(405).end();
      return;
    }
    try {
      const name = decodeURIComponent(pathname.slice(1));
      if (Object.hasOwn(files, name)) {
        res.writeHead(200, { 'Content-Type': 'text/plain; charset=utf-8' });
        res.end(req.method === 'HEAD' ? undefined : files[name]);
        return;
      }
      const file = path.join(base, decodeURIComponent(pathname === '/' ? '/index.html' : pathname));
      if (!file.startsWith(base + path.sep)) throw new Error('outside the site');
      const body = await readFile(file);
      res.writeHead(200, {
        'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
        'Content-Length': body.length,
        'Cache-Control': 'no-cache',
      });
      res.end(req.method === 'HEAD' ? undefined : body);
    } catch {
      res.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
    }
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => {
      resolve({ server, url: `http://127.0.0.1:${server.address().port}/`, requests });
    });
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const [root, port] = process.argv.slice(2);
  if (!root) {
    console.error('usage: node serve.mjs DIR [PORT]');
    process.exit(2);
  }
  const { url } = await startServer(root, port === undefined ? 8000 : Number(port));
  console.log(`Serving ${path.resolve(root)} at ${url} (Ctrl+C stops)`);
}
