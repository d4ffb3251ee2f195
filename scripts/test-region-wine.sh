#!/usr/bin/env bash
# Region files against the platform's own private-profile functions: builds
# tests/region/win32/region_wine_test.exe with mingw-w64 (32-bit, with the
# region and platform sources it needs) and runs it under Wine. Prints the
# program's "N passed, N failed" and fails when anything failed.
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-build-region-wine}
mkdir -p "$out"
exe="$out/region_wine_test.exe"
i686-w64-mingw32-g++ -std=c++17 -O2 -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion \
  -Werror -Isrc -static -static-libgcc -static-libstdc++ -o "$exe" \
  tests/region/win32/region_wine_test.cpp src/region/profile.cpp src/region/region_file.cpp \
  src/region/rect_list.cpp src/platform/file_replace_win32.cpp \
  src/platform/global_memory_win32.cpp

export WINEPREFIX="${WINEPREFIX:-$PWD/$out/prefix}" WINEDEBUG=-all DISPLAY=
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
fi
log="$out/region_wine_test.log"
status=0
timeout 600 wine "$exe" >"$log" 2>&1 || status=$?
grep -E '^FAILED' "$log" || true
summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -1 || true)
if [[ -z "$summary" ]]; then
  echo "region_wine_test exited with $status and no summary (see $log)"
  exit 1
fi
echo "$summary"
exit "$status"
