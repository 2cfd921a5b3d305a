#!/usr/bin/env bash
# Shows the real parameter dialog and About box of dist/win64/Glyra.8bf in a
# Windows host under Wine, drives them like a user (see dialog_host.cpp) and
# checks what the host received. Screenshots land in WORK_FOLDER/artifacts as
# PNG files. Exits 77 (skipped) only when Wine cannot start at all.
#   wine_dialog.sh DIALOG_HOST_EXE PLUGIN WORK_FOLDER
set -uo pipefail
host_exe=$1 plugin=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
if [ ! -x "$wine" ]; then
  echo "SKIPPED: $wine is not installed, so the Windows dialog cannot be shown here"
  exit 77
fi
# Code page 932 for the dialog's ANSI texts; the Japanese dialog font mapped to IPA P Gothic.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
japanese=ja_JP.UTF-8  # Wine takes code page 932 from it, generated locale or not
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$work"
  if ! LC_ALL=$japanese "$wine" wineboot -i >"$work/wineboot.log" 2>&1; then
    echo "SKIPPED: Wine cannot start here (wineboot failed; see $work/wineboot.log)"
    exit 77
  fi
  # Without a window manager Wine must not wait for one, and draws the caption itself.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  LC_ALL=C.UTF-8 "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f >/dev/null 2>&1
  "$wineserver" -w
fi
run="$work/run" artifacts="$work/artifacts"
rm -rf "$run" "$artifacts" && mkdir -p "$run" "$artifacts"
cp "$host_exe" "$run/Photoshop.exe"
cp "$plugin" "$run/Glyra.8bf"
for mode in ok cancel about; do
  # Never pipe Wine's output: its background services would hold the pipe open.
  (cd "$run" && LC_ALL=$japanese timeout 120 "$wine" ./Photoshop.exe $mode . >"$run/$mode.out" 2>"$run/$mode.err")
done
"$wineserver" -k >/dev/null 2>&1 || true
/usr/bin/python3 "$here/check_dialog_run.py" "$run" "$artifacts"
