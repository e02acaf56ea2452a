// A small static file server for the site: `node serve_site.mjs DIR [PORT]` serves DIR on
// http://127.0.0.1:PORT/ (default 8000; 0 picks a free port). The browser tests start
// it on a free port through startServer. Every file carries validators (ETag and
// Last-Modified) so that a reload costs a 304 for what did not change, and is sent
// gzipped to a browser that takes it, except what is compressed already.
import { createHash } from 'node:crypto';
import { createServer } from 'node:http';
import { readFile, stat } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { gzipSync } from 'node:zlib';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
  '.txt': 'text/plain; charset=utf-8',
  '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
};
const PRECOMPRESSED = new Set(['.png']);

// path -> {mtimeMs, size, body, gzip, etag}: each file read and compressed once a change.
const cache = new Map();
async function load(file) {
  const info = await stat(file);
  const kept = cache.get(file);
  if (kept && kept.mtimeMs === info.mtimeMs && kept.size === info.size) return kept;
  const body = await readFile(file);
  const entry = {
    mtimeMs: info.mtimeMs,
    size: info.size,
    body,
    gzip: PRECOMPRESSED.has(path.extname(file)) ? null : gzipSync(body, { level: 9 }),
    etag: '"' + createHash('sha256').update(body).digest('base64url').slice(0, 22) + '"',
    modified: new Date(info.mtimeMs).toUTCString(),
  };
  cache.set(file, entry);
  return entry;
}

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
        res.writeHead(200, { 'Content-Type': TYPES[path.extname(name)] || TYPES['.txt'] });
        res.end(req.method === 'HEAD' ? undefined : files[name]);
        return;
      }
      const file = path.join(base, decodeURIComponent(pathname === '/' ? '/index.html' : pathname));
      if (!file.startsWith(base + path.sep)) throw new Error('outside the site');
      const entry = await load(file);
      const headers = {
        'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
        'Cache-Control': 'no-cache',
        ETag: entry.etag,
        'Last-Modified': entry.modified,
        Vary: 'Accept-Encoding',
      };
      const since = req.headers['if-modified-since'];
      const unchanged = req.headers['if-none-match'] !== undefined
        ? req.headers['if-none-match'].split(/\s*,\s*/).includes(entry.etag)
        : since !== undefined && Date.parse(since) >= Math.floor(entry.mtimeMs / 1000) * 1000;
      if (unchanged) {
        res.writeHead(304, headers).end();
        return;
      }
      let body = entry.body;
      if (entry.gzip && /\bgzip\b/.test(req.headers['accept-encoding'] || '')) {
        body = entry.gzip;
        headers['Content-Encoding'] = 'gzip';
      }
      headers['Content-Length'] = body.length;
      res.writeHead(200, headers);
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
    console.error('usage: node serve_site.mjs DIR [PORT]');
    process.exit(2);
  }
  const { url } = await startServer(root, port === undefined ? 8000 : Number(port));
  console.log(`Serving ${path.resolve(root)} at ${url} (Ctrl+C stops)`);
}
