// Keeps the page working offline after the first visit: the files of the
// page are kept in a cache and answered from it, the network asked only for
// what the cache does not hold (and never any other host). Its answers carry
// the cross-origin isolation headers, so that on a static host that cannot
// send them the page still renders on several threads from its second visit.
const CACHE = 'glyra-v3';
const FILES = ['./', './index.html', './style.css', './app.mjs', './image_codecs.mjs', './file_bytes.mjs', './photo_metadata.mjs',
  './tiff_codec.mjs', './tiff_structure.mjs', './stored_resolution.mjs', './xmp_split.mjs', './worker.mjs', './render.mjs',
  './glyra-render.mjs', './glyra-render.wasm', './glyra-render-threads.mjs', './glyra-render-threads.wasm',
  './glyra-render-threads.worker.js', './manifest.webmanifest'];

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
  event.respondWith(caches.match(event.request).then((hit) => hit || fetch(event.request)).then(isolated));
});

function isolated(response) {
  if (!response || response.status === 0 || response.type === 'opaque') return response;
  const headers = new Headers(response.headers);
  headers.set('Cross-Origin-Opener-Policy', 'same-origin');
  headers.set('Cross-Origin-Embedder-Policy', 'require-corp');
  return new Response(response.body, { status: response.status, statusText: response.statusText, headers });
}
