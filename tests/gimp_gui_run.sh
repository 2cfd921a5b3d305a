#!/usr/bin/env bash
# GIMP 2.10 applies the GEGL module the way a user does: under a virtual
# display with a window manager, the action search opens the GEGL Operation
# tool, its list offers "Glyra Star Streaks (glyra:stars)", the dialog shows
# the on-canvas preview (kept as a screenshot), OK applies it and the image is
# exported. The export must equal the glyra command's output sample for sample.
#
#   tests/gimp_gui_run.sh MODULE GLYRA SAMPLE OUTDIR
#
# Run inside a display (xvfb-run). Exit 77 when GIMP, xdotool, openbox or
# ImageMagick are missing, so that ctest reports a skip instead of a failure.
set -uo pipefail
MODULE=$1 GLYRA=$2 SAMPLE=$3 OUT=$4

for tool in gimp-2.10 xdotool openbox import compare; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

WORK=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir -p "$OUT" "$WORK/home" "$WORK/data/gegl-0.4/plug-ins"
# Where a user drops a GEGL plug-in of their own; GIMP's GEGL looks there.
cp "$MODULE" "$WORK/data/gegl-0.4/plug-ins/"
cp "$SAMPLE" "$WORK/scene.png"
export HOME=$WORK/home XDG_DATA_HOME=$WORK/data XDG_CONFIG_HOME=$WORK/home/.config

fail() {
  echo "FAIL: $*"
  import -window root "$OUT/gimp-failure.png" 2>/dev/null && echo "screen at the failure: $OUT/gimp-failure.png"
  exit 1
}

# Waits up to $2 seconds for a window whose name matches $1; prints its id.
wait_window() {
  local id
  for _ in $(seq 1 $(($2 * 4))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.25
  done
  return 1
}

openbox >/dev/null 2>&1 &
sleep 1
gimp-2.10 --no-splash --no-fonts "$WORK/scene.png" >"$WORK/gimp.log" 2>&1 &

image=$(wait_window 'scene.*GIMP' 180) || fail "GIMP did not show the image"
xdotool windowactivate --sync "$image" 2>/dev/null
sleep 2
# The pointer over the canvas: keys go to the image window.
eval "$(xdotool getwindowgeometry --shell "$image")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))

xdotool key slash
wait_window 'Search Actions' 20 >/dev/null || fail "the action search did not open"
sleep 0.5
xdotool type --delay 40 "GEGL Operation"
sleep 1.5
xdotool key Return
dialog=$(wait_window '^GEGL Operation$' 30) || fail "the GEGL Operation tool did not open"
xdotool windowactivate --sync "$dialog" 2>/dev/null
sleep 1

# The operation list, the combo box under the dialog's header: a click opens
# it, the arrow keys step through it. Debian 12's GIMP lists glyra:stars as
# the tenth entry.
eval "$(xdotool getwindowgeometry --shell "$dialog")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + 62)) click 1
sleep 1
for _ in $(seq 1 10); do xdotool key Down; sleep 0.2; done
xdotool key Return
# The combo box opens its list again as the Return is let go; Escape closes
# it and keeps the choice.
sleep 2
xdotool key Escape
sleep 5  # the whole image is rendered once for the preview
wait_window '^GEGL Operation$' 1 >/dev/null || fail "Escape closed the dialog: the list had not opened again"
import -window root "$OUT/gimp-dialog.png"

# OK by its mnemonic (the focus stays on the combo box, where Return opens it).
xdotool key alt+o
sleep 3
wait_window '^GEGL Operation$' 1 >/dev/null && fail "the dialog did not close"

# File > Export As, into a new file.
xdotool windowactivate --sync "$image" 2>/dev/null
xdotool key ctrl+shift+e
wait_window 'Export Image' 20 >/dev/null || fail "the export dialog did not open"
sleep 1
xdotool key ctrl+a
xdotool type --delay 20 "$WORK/gimp.png"
xdotool key Return
wait_window 'Export Image as PNG' 20 >/dev/null || fail "the PNG options did not open"
sleep 0.5
xdotool key Return
for _ in $(seq 1 40); do [ -s "$WORK/gimp.png" ] && break; sleep 0.5; done
sleep 1
[ -s "$WORK/gimp.png" ] || fail "GIMP wrote no file"
cp "$WORK/gimp.png" "$OUT/gimp-result.png"

"$GLYRA" -q "$WORK/scene.png" "$WORK/glyra.png" || fail "the glyra command failed"
differing=$(compare -metric AE "$WORK/gimp.png" "$WORK/glyra.png" null: 2>&1)
echo "samples differing between GIMP's export and the glyra command's: $differing"
[ "$differing" = "0" ] || fail "GIMP's result differs from the plug-in's (is the tenth entry still glyra:stars? see $OUT/gimp-dialog.png)"
echo "GIMP applied glyra:stars; dialog with its preview: $OUT/gimp-dialog.png"
