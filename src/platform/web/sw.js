// The site kept for offline play: every file of this build is fetched into a cache named
// after the build when the service worker installs, and answered from there. A new
// build changes this file (the version below is a digest of the site's files), so the
// browser installs its worker beside the old one, which takes over as soon as it holds
// the whole build and deletes the old build's cache; the page then loads the new build
// or offers to (index.html). Anything else (a test's script) goes to the network.
'use strict';

const VERSION = '@TONKALO_SITE_VERSION@';
const CACHE = 'tonkalo-' + VERSION;
const FILES = [@TONKALO_SITE_FILES@];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES))
      .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys().then((names) => Promise.all(names
      .filter((name) => name.startsWith('tonkalo-') && name !== CACHE)
      .map((name) => caches.delete(name)))).then(() => self.clients.claim()));
});

// The page's own address with its query (?trace, ?script=...) is still index.html.
self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  const url = new URL(event.request.url);
  if (url.origin !== self.location.origin) return;
  const scope = new URL(self.registration.scope);
  let name = url.pathname.slice(scope.pathname.length);
  if (name === '') name = 'index.html';
  if (!FILES.includes(name)) return;
  event.respondWith(caches.open(CACHE).then((cache) => cache.match(name)).then(
      (kept) => kept || fetch(event.request)));
});
