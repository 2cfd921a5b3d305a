// Keeps the page working offline after the first visit: the files of the
// page are kept in a cache and answered from it, the network asked only for
// what the cache does not hold (and never any other host).
const CACHE = 'glyra-v2';
const FILES = ['./', './index.html', './style.css', './app.mjs', './image_codecs.mjs', './file_bytes.mjs', './photo_metadata.mjs',
  './tiff_codec.mjs', './tiff_structure.mjs', './worker.mjs', './render.mjs',
  './glyra-render.mjs', './glyra-render.wasm', './manifest.webmanifest'];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});
self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys().then((keys) => Promise.all(keys.filter((k) => k !== CACHE).map((k) => caches.delete(k))))
    .then(() => self.clients.claim()));
});
self.addEventListener('fetch', (event) => {
  const url = new URL(event.request.url);
  if (url.origin !== self.location.origin) return;
  event.respondWith(caches.match(event.request).then((hit) => hit || fetch(event.request)));
});
