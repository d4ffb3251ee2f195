#!/usr/bin/env bash
# Builds the 32-bit Windows module wdeinterlace.vft with mingw-w64, checks its
# exports and imports, and runs the test hosts under 32-bit Wine (headless,
# under Xvfb, since the module shows message boxes). The frames the module
# writes are compared with those of the native build.
set -euo pipefail
cd "$(dirname "$0")/.."

# Inside the X session: prepare the Wine prefix and run every test host.
if [[ "${1:-}" == "--wine-hosts" ]]; then
  out=$2
  export WINEPREFIX="$PWD/$out/wine/prefix" WINEARCH=win32 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    # A crash ends the run instead of waiting for someone to close a dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1
  fi
  for version in 7 5 6 0; do
    (cd "$out" && timeout 600 wine "wine_host_v$version.exe" wdeinterlace.vft native-frames) \
      >"$out/wine/host_v$version.log" 2>&1 || echo "wine_host_v$version exited with $?"
  done
  wineserver -k 2>/dev/null || true
  exit 0
fi

bash scripts/setup-debian.sh

out=build-win32
passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }

echo "-- cross build"
cmake -S . -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DWDI_WERROR=ON >/dev/null
cmake --build "$out"

echo "-- exports and imports"
objdump=i686-w64-mingw32-objdump
module="$out/wdeinterlace.vft"
headers=$("$objdump" -p "$module")
# The name table lists each name with its ordinal minus the base (1).
grep -q "Ordinal Base 1" <<<"$headers" && pass || fail "ordinal base is not 1"
ordinal=1
for name in vfAction vfExpress vfGetInfo; do
  if grep -Eq "^\s*\[\s*$((ordinal - 1))\] $name\$" <<<"$headers"; then pass; else fail "export $name @$ordinal"; fi
  ordinal=$((ordinal + 1))
done
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | grep -c '^\s\+\[')
[[ "$exports" == 3 ]] && pass || fail "module exports $exports names, not 3"
vft32=$(sed -n '/DLL Name: Vft32.dll/,/^$/p' <<<"$headers" | awk 'NF == 3 && $1 ~ /^[0-9a-f]+$/ {print $3}' | sort | tr '\n' ' ')
[[ "$vft32" == "IsSameOption MakeFilm vft32FindKey " ]] && pass || fail "Vft32.dll imports: $vft32"
system='^(kernel32|user32|gdi32|comdlg32|comctl32|version|msvcrt|advapi32|shell32|ole32)\.dll$'
for binary in "$module" "$out/Vft32.dll" "$out"/wine_host_v*.exe; do
  for dll in $("$objdump" -p "$binary" | awk '/DLL Name:/ {print $3}'); do
    [[ "$dll" == Vft32.dll && "$binary" != "$out/Vft32.dll" ]] && continue
    if grep -Eiq "$system" <<<"$dll"; then pass; else fail "$binary needs $dll"; fi
  done
done

echo "-- no SSE or AVX outside the kernel files"
# The module must load and run on a processor with MMX only: SSE and AVX instructions
# (xmm/ymm/zmm registers, the SSE fences, MXCSR and non-temporal stores) may appear only in
# the objects of *_sse2 and *_avx2 files, which run after the CPU check.
wide='%[xyz]mm[0-9]|\b(sfence|lfence|mfence|ldmxcsr|stmxcsr|movnti|prefetchnta|prefetcht[012]|clflush)\b'
objects=0
while IFS= read -r -d '' obj; do
  objects=$((objects + 1))
  case "$obj" in *_sse2.cpp.obj | *_avx2.cpp.obj) continue ;; esac
  hits=$("$objdump" -d --no-show-raw-insn "$obj" | grep -E "$wide" | head -3 || true)
  if [[ -n "$hits" ]]; then
    fail "$obj has SSE/AVX instructions:"$'\n'"$hits"
  fi
done < <(find "$out/src" -name '*.obj' -print0)
((objects > 20)) && pass || fail "only $objects objects found under $out/src"

echo "-- native frames for comparison"
# The release build of scripts/build.sh, unless another directory is named.
native=${WDI_NATIVE_BUILD:-build}
cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWDI_WERROR=ON >/dev/null
cmake --build "$native" --target native_frame_dump
rm -rf "$out/native-frames"
mkdir -p "$out/native-frames"
"$native/tests/host/win32/native_frame_dump" "$out/native-frames"

echo "-- test hosts under wine"
# One X session for the whole Wine run: Wine's desktop process outlives a
# single program and stays tied to the display it started on.
mkdir -p "$out/wine"
xvfb-run -a bash scripts/test-win32.sh --wine-hosts "$out" || true
for version in 7 5 6 0; do
  log="$out/wine/host_v$version.log"
  summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" 2>/dev/null | tail -1 || true)
  grep -E '^FAILED' "$log" 2>/dev/null || true
  if [[ -z "$summary" ]]; then
    fail "wine_host_v$version ended without a summary (see $log)"
    continue
  fi
  echo "wine_host_v$version: $summary"
  passed=$((passed + $(awk '{print $1}' <<<"$summary")))
  failed=$((failed + $(awk '{print $3}' <<<"$summary")))
done

echo "$passed passed, $failed failed"
((failed == 0))
