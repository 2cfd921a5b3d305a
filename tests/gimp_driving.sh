# Drives GIMP 2.10 under a virtual display with a window manager, as a user
# would: opens an image and applies glyra:stars through the GEGL Operation
# tool. Sourced by the GIMP test and the preview benchmark; `fail` is theirs.

# A GIMP profile of its own in a new folder WORK, removed on exit, with the
# module $1 where a user drops a GEGL plug-in of their own (GIMP's GEGL looks
# there).
gimp_workspace() {
  WORK=$(mktemp -d)
  trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$WORK"' EXIT
  mkdir -p "$WORK/home" "$WORK/data/gegl-0.4/plug-ins"
  cp "$1" "$WORK/data/gegl-0.4/plug-ins/"
  export HOME=$WORK/home XDG_DATA_HOME=$WORK/data XDG_CONFIG_HOME=$WORK/home/.config
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

# Starts a window manager and GIMP on image $1 (whose file name is $2 without
# its extension); sets `image` to the image window.
start_gimp() {
  openbox >/dev/null 2>&1 &
  sleep 1
  gimp-2.10 --no-splash --no-fonts "$1" >"$WORK/gimp.log" 2>&1 &
  image=$(wait_window "$2.*GIMP" 180) || fail "GIMP did not show the image"
  xdotool windowactivate --sync "$image" 2>/dev/null
  sleep 2
  # The pointer over the canvas: keys go to the image window.
  eval "$(xdotool getwindowgeometry --shell "$image")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
}

# Opens the GEGL Operation tool by the action search and picks glyra:stars;
# sets `dialog` to the tool's dialog. The focus is left on the operation list.
open_glyra_dialog() {
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
  sleep 1
  wait_window '^GEGL Operation$' 1 >/dev/null || fail "Escape closed the dialog: the list had not opened again"
}
