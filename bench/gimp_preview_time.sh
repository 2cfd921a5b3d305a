#!/usr/bin/env bash
# The time from a parameter change in GIMP's GEGL Operation dialog to the
# updated on-canvas preview, on a 12-megapixel image: GIMP 2.10 under a
# virtual display applies glyra:stars, then the Angle slider is clicked at
# four places; each time the canvas is captured until it stops changing. The
# time of the last change counts (GIMP may draw the preview in parts). The
# captures take about 0.17 s each, which bounds the resolution.
#
#   xvfb-run -a -s "-screen 0 1600x1000x24" bench/gimp_preview_time.sh build/native/gegl/glyra-stars.so
#
# Needs gimp, xdotool, openbox and ImageMagick (installed by build.sh).
set -uo pipefail
MODULE=$(realpath "$1")
SAMPLE=$(realpath "$(dirname "$0")/../samples/night-harbour.png")

fail() {
  echo "FAIL: $*"
  exit 1
}

. "$(dirname "$0")/../tests/gimp_driving.sh"
gimp_workspace "$MODULE"
# 4608x2592 (11.9 MP), each pixel of the sample repeated, so its lights stay at full scale.
convert "$SAMPLE" -filter point -resize '4608x2592!' "$WORK/twelve.png"
start_gimp "$WORK/twelve.png" twelve
open_glyra_dialog

canvas() {
  eval "$(xdotool getwindowgeometry --shell "$image")"
  import -window root -crop 360x560+$((X + 40))+$((Y + 140)) rgb:- 2>/dev/null | md5sum
}

# Waits until the canvas has shown the same picture for three captures in a
# row; prints the seconds from $1 to the last change.
settle() {
  local start=$1 last now previous same=0 changed
  previous=$(canvas)
  changed=$(date +%s.%N)
  while [ $same -lt 3 ]; do
    now=$(canvas)
    if [ "$now" = "$previous" ]; then
      same=$((same + 1))
    else
      same=0
      changed=$(date +%s.%N)
      previous=$now
    fi
    awk -v now="$(date +%s.%N)" -v start="$start" 'BEGIN { exit !(now - start > 30) }' && break
  done
  awk -v changed="$changed" -v start="$start" 'BEGIN { print changed - start }'
}

settle "$(date +%s.%N)" >/dev/null  # the first render, when the operation was picked
eval "$(xdotool getwindowgeometry --shell "$dialog")"
times=()
for place in 100 300 200 400; do
  # The Angle slider's row, 262 pixels under the top of the dialog's client area.
  start=$(date +%s.%N)
  xdotool mousemove $((X + place)) $((Y + 262)) click 1
  seconds=$(settle "$start")
  times+=("$seconds")
  printf 'angle slider clicked at %d px: preview updated after %.2f s\n' "$place" "$seconds"
done
printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "median %.2f s over %d changes (12 MP, GIMP 2.10)\n", (a[int((NR + 1) / 2)] + a[int(NR / 2) + 1]) / 2, NR }'
