// The site's offline copy. Each version of the site has its own worker:
// web/build.sh writes the version (a digest of the site's files) and their
// list below. A new worker keeps the whole new site, takes over once no tab
// of the old one is left (the next visit) and drops the old copy.
'use strict';
const version = '@VERSION@';
const files = ['./', @FILES@];
const prefix = 'spumex ' + self.registration.scope + ' ';  // this site's copies, wherever it is hosted
const kept = prefix + version;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(kept).then((cache) =>
    cache.addAll(files.map((f) => new Request(f, { cache: 'reload' })))));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith(prefix) && n !== kept).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

// The kept file when there is one (an address's query does not matter:
// ?width=333 is the same page), else the network's.
self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(kept)
    .then((cache) => cache.match(event.request, { ignoreSearch: true }))
    .then((found) => found || fetch(event.request)));
});
