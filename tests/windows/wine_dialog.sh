#!/usr/bin/env bash
# Shows the real parameter dialog, the About box and an alert of
# dist/win64/Glyra.8bf in a Windows host under Wine, as users around the world
# see them: English (code page 1252), German (1252), Russian (1251),
# Simplified Chinese (936) and Japanese (932), at 96 DPI, and again at 144
# and 192 DPI. The host drives them like a user and reads every text back
# through the wide calls (see dialog_host.cpp); check_dialog_run.py checks
# what it saw. Screenshots land in WORK_FOLDER/artifacts/LOCALE-DPI/ as PNG
# files. Exits 77 (skipped) only when Wine cannot start at all.
#   wine_dialog.sh DIALOG_HOST_EXE PLUGIN WORK_FOLDER
set -uo pipefail
host_exe=$1 plugin=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
if [ ! -x "$wine" ]; then
  echo "SKIPPED: $wine is not installed, so the Windows dialog cannot be shown here"
  exit 77
fi
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$work"
  if ! LC_ALL=C.UTF-8 "$wine" wineboot -i >"$work/wineboot.log" 2>&1; then
    echo "SKIPPED: Wine cannot start here (wineboot failed; see $work/wineboot.log)"
    exit 77
  fi
  # Without a window manager Wine must not wait for one, and draws the caption itself.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  # The fonts Windows has for each script, played by free ones: the Japanese
  # dialog font by IPA P Gothic, the Chinese UI fonts by WenQuanYi Micro Hei.
  for face in 'ＭＳ Ｐゴシック' 'MS UI Gothic'; do
    LC_ALL=C.UTF-8 "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null 2>&1
  done
  for face in 'Microsoft YaHei UI' 'Microsoft YaHei' SimSun; do
    LC_ALL=C.UTF-8 "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
  done
  "$wineserver" -w
fi
set_dpi() {
  "$wineserver" -k >/dev/null 2>&1
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  "$wineserver" -w
}
rm -rf "$work/runs" "$work/artifacts"
status=0
# locale, expected language, DPI, what to run
runs=(
  "en_US.UTF-8 English 96 ok cancel about alert"
  "de_DE.UTF-8 German 96 ok about alert"
  "ru_RU.UTF-8 English 96 ok alert"
  "zh_CN.UTF-8 Chinese 96 ok about alert"
  "ja_JP.UTF-8 Japanese 96 ok cancel about alert"
  "en_US.UTF-8 English 144 ok"
  "de_DE.UTF-8 German 144 ok"
  "zh_CN.UTF-8 Chinese 144 ok"
  "ja_JP.UTF-8 Japanese 144 ok"
  "de_DE.UTF-8 German 192 ok"
  "ja_JP.UTF-8 Japanese 192 ok"
)
dpi_now=""
for line in "${runs[@]}"; do
  read -r locale language dpi modes <<<"$line"
  [ "$dpi" != "$dpi_now" ] && set_dpi "$dpi" && dpi_now=$dpi
  name="${locale%%.*}-$dpi"
  run="$work/runs/$name"
  mkdir -p "$run"
  cp "$host_exe" "$run/Photoshop.exe"
  cp "$plugin" "$run/Glyra.8bf"
  for mode in $modes; do
    # Never pipe Wine's output: its background services would hold the pipe open.
    (cd "$run" && LC_ALL=$locale LANG=$locale timeout 120 "$wine" ./Photoshop.exe "$mode" . >"$run/$mode.out" 2>"$run/$mode.err")
  done
  /usr/bin/python3 "$here/check_dialog_run.py" "$run" "$work/artifacts/$name" "$language" $modes || status=1
done
set_dpi 96
"$wineserver" -k >/dev/null 2>&1 || true
exit $status
