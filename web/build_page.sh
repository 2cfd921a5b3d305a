#!/usr/bin/env bash
# Builds the web page into OUT (default dist/web): the renderer's WebAssembly
# module and the page's own files, nothing fetched from anywhere at run time.
#   bash web/build_page.sh [OUT]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-dist/web}
bash web/build_render.sh "$out"
cp web/index.html web/style.css web/app.mjs web/image_codecs.mjs web/file_bytes.mjs web/photo_metadata.mjs \
   web/tiff_codec.mjs web/tiff_structure.mjs web/stored_resolution.mjs web/xmp_split.mjs web/worker.mjs web/sw.js web/manifest.webmanifest \
   web/serve.py "$out/"
echo "The page is in $out ($(du -sk "$out" | cut -f1) kB). Serve it with:"
echo "  python3 $out/serve.py $out 8000    then open http://127.0.0.1:8000/"
