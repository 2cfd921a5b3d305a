#!/usr/bin/env bash
# Compiles the renderer and its image operation to WebAssembly with SIMD
# (Debian's emscripten) as an ES module: OUT/glyra-render.mjs and .wasm.
# One thread: the page runs it in a worker of its own. The tests load it in
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
em++ -std=c++17 -O3 -msimd128 -fexceptions -ffp-contract=off -fno-trapping-math -Wall -Werror -I. -isystem /usr/include/eigen3 \
  "${sources[@]}" \
  -s MODULARIZE=1 -s EXPORT_ES6=1 -s EXPORT_NAME=GlyraRender -s ALLOW_MEMORY_GROWTH=1 -s MAXIMUM_MEMORY=4GB \
  -s ENVIRONMENT=web,worker -s 'EXPORTED_FUNCTIONS=["_malloc","_free"]' \
  -s 'EXPORTED_RUNTIME_METHODS=["UTF8ToString"]' \
  -o "$out/glyra-render.mjs"
cp web/render.mjs "$out/render.mjs"
echo "web/build_render.sh: $(du -k "$out/glyra-render.wasm" | cut -f1) kB of WebAssembly in $out"
