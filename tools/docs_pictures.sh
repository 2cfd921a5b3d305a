#!/usr/bin/env bash
# Makes the README's pictures: the bundled night scene before and after, with
# a few parameter sets, rendered by the glyra command and shrunk with ffmpeg.
#   bash tools/docs_pictures.sh      (after bash build.sh build)
set -euo pipefail
cd "$(dirname "$0")/.."
glyra=build/native/glyra
sample=samples/night-harbour.png
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
render() {  # name, options...
  local name=$1; shift
  "$glyra" -q --force "$@" "$sample" "$work/$name.png"
  ffmpeg -hide_banner -loglevel error -y -i "$work/$name.png" -vf scale=480:-1:flags=area "docs/$name.png"
}
ffmpeg -hide_banner -loglevel error -y -i "$sample" -vf scale=480:-1:flags=area docs/before.png
render default
render eight-rays --line-type 4 --angle 15
render spectral --line-type 3 --angle 30 --sp-density 80 --sp-extent 40 --sp-amplitude 35 --sp-dephase 60
echo "docs/: before.png default.png eight-rays.png spectral.png"
