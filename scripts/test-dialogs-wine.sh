#!/usr/bin/env bash
# The settings, add-rectangle and note dialogs of the real module under Wine:
# cross-builds wdeinterlace.vft, our Vft32.dll and dialog_host.exe, runs the
# host under Xvfb (it plays the user through every command of the dialogs)
# and turns its screenshots of the three dialogs into PNG files.
# Usage: scripts/test-dialogs-wine.sh [BUILD_DIR]   (default build-dialogs-win32)
# Prints "N passed, N failed"; the PNGs land in BUILD_DIR/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-build-dialogs-win32}
cmake -S . -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DWDI_WERROR=ON >/dev/null
cmake --build "$out" --target wdeinterlace vft32_standin dialog_host

export WINEPREFIX="$PWD/$out/wine/prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  # A crash ends the run instead of waiting for someone to close a dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # There is no window manager under Xvfb: Wine draws the frames itself and
  # does not wait for one when a window is hidden.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w || true
fi
# The caption buttons are drawn with Marlett.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [[ -f /usr/share/wine/fonts/marlett.ttf && ! -f "$fonts/marlett.ttf" ]]; then
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
fi

shots="$out/screenshots"
rm -rf "$shots"
mkdir -p "$shots"
log="$out/dialog_host.log"
status=0
(cd "$out" && timeout 600 xvfb-run -a -s "-screen 0 1280x1024x24" \
  wine dialog_host.exe wdeinterlace.vft screenshots) >"$log" 2>&1 || status=$?
wineserver -k 2>/dev/null || true

grep -E '^FAILED|^  ' "$log" || true
summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -1 || true)
if [[ -z "$summary" ]]; then
  echo "dialog_host exited with $status and no summary (see $log)"
  exit 1
fi
if command -v convert >/dev/null; then
  for bmp in "$shots"/*.bmp; do
    [[ -f "$bmp" ]] && convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
  done
fi
echo "$summary"
exit "$status"
