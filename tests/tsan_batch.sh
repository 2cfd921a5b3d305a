#!/usr/bin/env bash
# The command built with ThreadSanitizer on a batch of frames, four files at
# once, into every output format and through both ways the render takes its
# planes (one at a time for the plain threshold, all at once otherwise). Any
# report fails the run. The image libraries are not built with the
# sanitizer; what their code does is left out of its view
# (ignore_noninstrumented_modules), so every report is about our code.
# Usage: tsan_batch.sh GLYRA SAMPLE.png
set -euo pipefail
glyra=$1
sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"
for i in 1 2 3 4 5 6; do cp "$sample" "$work/in/frame$i.png"; done
export TSAN_OPTIONS="ignore_noninstrumented_modules=1 halt_on_error=1 exitcode=66 report_signal_unsafe=0"
mkdir "$work/png" "$work/jpeg" "$work/tiff" "$work/webp"
run() {
  local status=0
  "$glyra" -q -j 4 "$@" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "tsan_batch: glyra $* ended with $status (66: ThreadSanitizer reported)" >&2
    exit 1
  fi
}
run -o "$work/png/" "$work"/in/*.png
run --threshold-type average --format jpeg -o "$work/jpeg/" "$work"/in/*.png
run --threshold-type weighted --format tiff -o "$work/tiff/" "$work"/in/*.png
run --format webp --threads 2 -o "$work/webp/" "$work"/in/*.png
for folder in png jpeg tiff webp; do
  count=$(ls "$work/$folder" | grep -vc '^\.' || true)
  [ "$count" -eq 6 ] || { echo "tsan_batch: $folder holds $count files, not 6" >&2; exit 1; }
done
echo "tsan_batch: 4 batches of 6 files, four at a time: no report"
