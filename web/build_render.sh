#!/usr/bin/env bash
# Compiles the renderer and its image operation to WebAssembly with SIMD
# (Debian's emscripten) as ES modules: OUT/glyra-render.mjs and .wasm on one
# thread, OUT/glyra-render-threads.* on as many as the computer has (for
# pages that are cross-origin isolated). The page runs it in workers of its own. The tests load it in
# Node with the binary handed over (as a page or worker would fetch it).
# Exceptions are caught, as everywhere: a worker thread that cannot be had
# leaves the work to the calling thread, and memory that runs out is a status.
#   bash web/build_render.sh [OUT]      (default dist/web)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-dist/web}
mkdir -p "$out"
sources=(core/allocation.cpp core/parallel_work.cpp core/parameter_names.cpp core/parameter_table.cpp
         render/*.cpp web/render_module.cpp)
# Emscripten's optimiser needs acorn, which Debian keeps where only Debian's node looks.
export NODE_PATH=/usr/share/nodejs
common=(-std=c++17 -O3 -msimd128 -fexceptions -ffp-contract=off -fno-trapping-math -Wall -Werror -I. -isystem /usr/include/eigen3
        -s MODULARIZE=1 -s EXPORT_ES6=1 -s EXPORT_NAME=GlyraRender -s ALLOW_MEMORY_GROWTH=1 -s MAXIMUM_MEMORY=4GB
        -s ENVIRONMENT=web,worker -s 'EXPORTED_FUNCTIONS=["_malloc","_free"]' -s 'EXPORTED_RUNTIME_METHODS=["UTF8ToString"]')
# One thread, for pages that are not cross-origin isolated (and for Node).
em++ "${common[@]}" "${sources[@]}" -o "$out/glyra-render.mjs"
# Threads (a pool started with the module, so that the render's threads
# start at once) where the page is isolated and may share memory. Memory that
# grows is slower for JavaScript to look at, not for the render.
em++ "${common[@]}" -pthread -Wno-pthreads-mem-growth -s 'PTHREAD_POOL_SIZE=Math.min(navigator.hardwareConcurrency||4,16)' \
  "${sources[@]}" -o "$out/glyra-render-threads.mjs"
cp web/render.mjs "$out/render.mjs"
echo "web/build_render.sh: $(du -k "$out/glyra-render.wasm" | cut -f1) kB of WebAssembly (and as much again for threads) in $out"
