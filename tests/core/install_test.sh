#!/usr/bin/env bash
# Installs the build into a temporary prefix, builds a C89 program against the
# installed library with pkg-config and the C compiler, and checks that it
# writes wdeint's bytes for the same clip and options (both kept fields, with
# and without a region). Usage: install_test.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1
work=$2
src=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name wdeinterlace.pc -print -quit)")/..
for f in bin/wdeint include/wdeinterlace.h; do
  [[ -e "$prefix/$f" ]] || { echo "not installed: $f"; exit 1; }
done
[[ -e "$libdir/frei0r-1/wdeinterlace.so" ]] || { echo "not installed: frei0r plug-in"; exit 1; }
soname=$(objdump -p "$libdir/libwdeinterlace.so.1" | awk '/SONAME/ {print $2}')
[[ "$soname" == "libwdeinterlace.so.1" ]] || { echo "SONAME is '$soname'"; exit 1; }
# Only the C API leaves the library.
others=$(nm -D --defined-only "$libdir/libwdeinterlace.so.1" | awk '{print $3}' | grep -v '^wdi_' || true)
[[ -z "$others" ]] || { echo "exported beyond the API: $others"; exit 1; }

export PKG_CONFIG_PATH="$libdir/pkgconfig"
# Programs on the installed library; a sanitizer build's library needs its
# runtime loaded first.
on_library() { LD_PRELOAD="${WDI_SANITIZER_PRELOAD:-}" LD_LIBRARY_PATH="$libdir" "$@"; }
# shellcheck disable=SC2046
cc -std=c89 -pedantic -Wall -Wextra -Werror -o "$work/c_client" "$src/c_client.c" \
  $(pkg-config --cflags --libs wdeinterlace)
# A C++ compiler takes the header too.
printf '#include <wdeinterlace.h>\nint main() { return wdi_version()[0] == 0; }\n' >"$work/cxx.cpp"
c++ -Wall -Werror -o "$work/cxx" "$work/cxx.cpp" $(pkg-config --cflags --libs wdeinterlace)
on_library "$work/cxx"

wdeint="$prefix/bin/wdeint"
"$wdeint" --quiet --demo "$work/demo" --demo-size 200x116 --demo-frames 6
clip="$work/demo/input.y4m"
printf '[[(0,0)-(99,63)]]\r\npresent=0\r\n[[(40,16)-(71,47)]]\r\npresent=1\r\n' >"$work/region.rect"

# The frame payloads of a YUV4MPEG2 file: header and FRAME lines dropped.
payload() {
  python3 - "$1" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read()
head, rest = data.split(b'\n', 1)
out = bytearray()
tags = dict((t[:1], t[1:]) for t in head.split()[1:])
w, h = int(tags[b'W']), int(tags[b'H'])
size = w * h + 2 * ((w + 1) // 2) * ((h + 1) // 2)
while rest:
    line, rest = rest.split(b'\n', 1)
    out += rest[:size]
    rest = rest[size:]
sys.stdout.buffer.write(out)
EOF
}

failed=0
for field in bottom top; do
  for method in 4 5 6; do
    for region in none file; do
      args=(--keep-field "$field" --method "$method")
      client=("$field" "$method")
      if [[ $region == file ]]; then
        args+=(--region "$work/region.rect" --rect -0,100,15,115)
        client+=("$work/region.rect" -0,100,15,115)
      fi
      "$wdeint" --quiet "${args[@]}" "$clip" "$work/wdeint.y4m"
      on_library "$work/c_client" "$clip" "$work/client.raw" "${client[@]}"
      payload "$work/wdeint.y4m" >"$work/wdeint.raw"
      if cmp -s "$work/wdeint.raw" "$work/client.raw"; then
        echo "ok: $field field, method $method, region $region"
      else
        echo "FAILED: $field field, method $method, region $region"
        failed=1
      fi
    done
  done
done
exit $failed
