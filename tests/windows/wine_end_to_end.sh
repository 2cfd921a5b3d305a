#!/usr/bin/env bash
# Loads dist/win64/Glyra.8bf into a 64-bit Windows host program under Wine,
# named as Photoshop, After Effects and Premiere with Photoshop's habits, and
# as PhotoDemon with pspiHost's (getSize answers GlobalSize for handles it did
# not make, dispose frees them, parameters null at every run), runs the
# scenario set and compares every result with the native build's. The host
# program fails when any handle proc is given a handle the host did not make.
# Exits 77 (skipped) only when Wine cannot start at all.
#   wine_end_to_end.sh HOST_EXE PLUGIN NATIVE_SCENARIOS WORK_FOLDER
set -uo pipefail
host_exe=$1 plugin=$2 native=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver

if [ ! -x "$wine" ]; then
  echo "SKIPPED: $wine is not installed, so the Windows build cannot be run here"
  exit 77
fi
rm -rf "$work/run" && mkdir -p "$work/run"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  if ! "$wine" wineboot -i >"$work/wineboot.log" 2>&1; then
    echo "SKIPPED: Wine cannot start here (wineboot failed; see $work/wineboot.log)"
    exit 77
  fi
fi

status=0
for run in Photoshop.exe:photoshop AfterFX.exe:photoshop premiere.exe:photoshop PhotoDemon.exe:pspihost; do
  name=${run%%:*} profile=${run#*:}
  folder="$work/run/${name%.exe}"
  mkdir -p "$folder/windows" "$folder/native"
  cp "$host_exe" "$folder/$name"
  cp "$plugin" "$folder/Glyra.8bf"
  # Never pipe Wine's output: its background services would hold the pipe open.
  (cd "$folder" && "$wine" "./$name" --plugin Glyra.8bf --profile "$profile" windows >"$folder/wine.out" 2>"$folder/wine.err")
  windows_status=$?
  if [ ! -s "$folder/windows/summary.txt" ]; then
    echo "$name: the Windows host wrote no results"; cat "$folder/wine.err"; status=1; continue
  fi
  if [ $windows_status -ne 0 ]; then
    echo "$name ($profile): the Windows host failed"; cat "$folder/wine.err"; status=1
  fi
  "$native" --as "C:\\Hosts\\$name" --profile "$profile" "$folder/native" || { echo "$name: the native run failed"; status=1; continue; }
  echo "== as $name"
  /usr/bin/python3 "$here/compare_outputs.py" "$folder/native" "$folder/windows" || status=1
done
# Each host name changed what it should, and every run drew streaks.
runs="$work/run"
expect() { grep -q "$2" "$runs/$1/windows/summary.txt" || { echo "$1: expected '$2' in its summary"; status=1; }; }
expect Photoshop "whole-size .* wholeSize 1000x2000"
expect premiere "whole-size .* wholeSize 10x20"
if cmp -s "$runs/AfterFX/windows/proxy-80.raw" "$runs/Photoshop/windows/proxy-80.raw"; then
  echo "AfterFX.exe: a half-width frame was not rendered at half scale"; status=1
fi
for host in Photoshop PhotoDemon; do
  if grep -q " changed 0$" "$runs/$host/windows/summary.txt"; then
    echo "$host.exe: some runs changed nothing"; status=1
  fi
  expect "$host" "^foreign-handle-calls 0[[:space:]]*$"
done
"$wineserver" -k >/dev/null 2>&1 || true
exit $status
