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

fail() {
  echo "FAIL: $*"
  import -window root "$OUT/gimp-failure.png" 2>/dev/null && echo "screen at the failure: $OUT/gimp-failure.png"
  exit 1
}

. "$(dirname "$0")/gimp_driving.sh"
mkdir -p "$OUT"
gimp_workspace "$MODULE"
cp "$SAMPLE" "$WORK/scene.png"
start_gimp "$WORK/scene.png" scene
open_glyra_dialog
sleep 4  # the whole image is rendered once for the preview
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
