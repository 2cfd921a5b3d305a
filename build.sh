#!/usr/bin/env bash
# Builds Glyra on Debian 12 and runs its main job or its tests.
#
#   bash build.sh demo    build everything, then render the bundled samples through the plug-in
#   bash build.sh test    build everything, then run every test
#   bash build.sh build   build everything only
#
# Installs the Debian packages it needs when they are missing (needs root or sudo).
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)

PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libpng-dev libtiff-dev libexiv2-dev libjpeg-dev libimage-exiftool-perl libvips-dev libgegl-dev gegl frei0r-plugins-dev ffmpeg melt libtomlplusplus-dev libcli11-dev libeigen3-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  g++-multilib qemu-user clang libclang-rt-14-dev dpkg-dev
  python3 python3-pefile lintian zsh
  wine64 xvfb xauth fonts-ipafont-gothic fonts-wqy-microhei
  gimp openbox xdotool imagemagick
  emscripten chromium
)

install_missing() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build_preset() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

# Each step's title with the minutes and seconds since the start.
step() {
  printf '== %s (at %dm%02ds)\n' "$1" $((SECONDS / 60)) $((SECONDS % 60))
}

build_all() {
  install_missing "${PACKAGES[@]}"
  for preset in win32 win64 native; do
    step "building $preset"
    build_preset "$preset"
  done
  step "building the web page"
  bash web/build_page.sh dist/web
}

run_tests() {
  step "building asan"
  build_preset asan
  step "building the fuzzers"
  build_preset fuzz
  step "building native32"
  build_preset native32
  step "building tsan"
  build_preset tsan
  step "native tests"
  ctest --test-dir build/native --output-on-failure -j2
  step "tests under AddressSanitizer and UBSan"
  ctest --test-dir build/asan --output-on-failure -j2
  step "the plug-in's tests as a 32-bit program under qemu-i386"
  ctest --test-dir build/native32 --output-on-failure -j2
  step "the render's threads and the command's batches under ThreadSanitizer"
  TSAN_OPTIONS="halt_on_error=1" build/tsan/glyra_tests --gtest_filter='ParallelWork*:FastRender*:ImageOperation*'
  bash tests/tsan_batch.sh build/tsan/glyra samples/night-harbour.png
  step "the renderer compiled to WebAssembly, against the command"
  node web/tests/render_equals_command.mjs build/native/glyra dist/web samples/night-harbour.png
  node web/tests/metadata_equals_command.mjs build/native/glyra tests/photos build/web-test-artifacts/metadata
  timeout 600 node web/tests/damaged_files.mjs build/native/glyra tests/photos build/web-test-artifacts/damaged
  step "the web page in Chromium"
  npm ci --prefix web --no-audit --no-fund
  node web/tests/page_test.mjs build/native/glyra dist/web samples/night-harbour.png build/web-test-artifacts
  step "the fuzzers' corpus and regression inputs"
  bash fuzz/replay.sh build/fuzz
}

case "${1:-}" in
  build) build_all ;;
  test) build_all; run_tests ;;
  demo) build_all; bash "$ROOT/tools/demo.sh" ;;
  *) echo "usage: bash build.sh demo|test|build" >&2; exit 2 ;;
esac
