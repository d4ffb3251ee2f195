#!/usr/bin/env bash
# Region files against the platform's own private-profile functions: cross
# builds tests/region/win32/region_wine_test.exe with mingw-w64 and runs it
# under Wine. Usage: test-region-wine.sh [cross build directory], by default
# build-region-win32 (build-win32 shares the Windows module's build and Wine
# prefix). Prints the program's "N passed, N failed"; fails when any failed.
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-build-region-win32}
cmake -S . -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DWDI_WERROR=ON \
  >/dev/null
cmake --build "$out" --target region_wine_test

export WINEPREFIX="${WINEPREFIX:-$PWD/$out/wine/prefix}" WINEDEBUG=-all DISPLAY=
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
fi
mkdir -p "$out/wine"
log="$out/wine/region_wine_test.log"
status=0
timeout 600 wine "$out/tests/region/win32/region_wine_test.exe" >"$log" 2>&1 || status=$?
grep -E '^FAILED' "$log" || true
summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -1 || true)
if [[ -z "$summary" ]]; then
  echo "region_wine_test exited with $status and no summary (see $log)"
  exit 1
fi
echo "region_wine_test: $summary"
exit "$status"
