#!/usr/bin/env bash
# Smoke test with MLT, the framework behind Kdenlive and Shotcut: melt loads
# wdeinterlace.so through FREI0R_PATH, and its frames must equal what wdeint
# --bgr24 makes of the frames melt renders without the filter. MLT passes
# the numbers it is given, so raw values and [0, 1] shares must agree.
# Usage: melt_test.sh WDEINT PLUGIN_DIR WORK_DIR. Exit 77: no melt here.
set -euo pipefail

wdeint=$1
plugin_dir=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
raw_frames=("${PYTHON:-python3}" "$here/raw_frames.py")

command -v melt >/dev/null || { echo "SKIP: no melt (Debian package melt)"; exit 77; }
[[ -f "$plugin_dir/wdeinterlace.so" ]] || { echo "FAIL: no $plugin_dir/wdeinterlace.so"; exit 1; }
rm -rf "$work"
mkdir -p "$work"
melt_env=("FREI0R_PATH=$plugin_dir")
# A plug-in built with the sanitizers needs their runtime loaded first into
# the uninstrumented melt, whose own leaks are not ours.
if [[ -n ${WDI_SANITIZER_PRELOAD:-} ]]; then
  melt_env+=("LD_PRELOAD=$WDI_SANITIZER_PRELOAD" "ASAN_OPTIONS=detect_leaks=0")
fi

w=176
h=144
"$wdeint" -q --demo "$work/demo" --demo-size "${w}x$h" --demo-frames 3 >/dev/null
clip=$work/demo/input.y4m
cat >"$work/region.rect" <<'RECT'
[[(0,0)-(87,71)]]
present=0
RECT

# melt OUTPUT [FILTER ARGS...]: the clip rendered to raw BGRA. melt 7.12
# (seen with and without sanitizers, never with an error) now and then ends
# with status 0 and no frames written, or does not end with its raw muxer or
# with real_time other than -1: NUT, real_time=-1 and up to three tries.
render() {
  local out=$1 try status
  shift
  for try in 1 2 3; do
    rm -f "$out.nut"
    status=0
    timeout 120 env "${melt_env[@]}" melt -silent "$clip" "$@" \
      -consumer "avformat:$out.nut" vcodec=rawvideo pix_fmt=bgra real_time=-1 \
      terminate_on_pause=1 </dev/null >"$work/melt.log" 2>&1 || status=$?
    if ((status == 124)); then continue; fi
    ((status == 0)) || { cat "$work/melt.log"; return 1; }
    [[ -s $out.nut ]] && break
  done
  [[ -s $out.nut ]] || { echo "FAIL: melt wrote no frames"; cat "$work/melt.log"; return 1; }
  ffmpeg -hide_banner -loglevel error -nostdin -y -i "$out.nut" -f rawvideo -pix_fmt bgra "$out"
}

filters=$(env "${melt_env[@]}" melt -query filters 2>/dev/null || true)
grep -q 'frei0r\.wdeinterlace' <<<"$filters" ||
  { echo "FAIL: melt does not list frei0r.wdeinterlace"; exit 1; }
render "$work/plain.bgra"
"${raw_frames[@]}" to-host "$w" "$h" "$work/plain.bgra" "$work/plain.bgr24"

failures=0
# check NAME WDEINT_OPTIONS -- FILTER_PROPERTIES...
check() {
  local name=$1 opts=()
  shift
  while [[ $1 != -- ]]; do opts+=("$1"); shift; done
  shift
  render "$work/$name.bgra" -filter frei0r.wdeinterlace "$@"
  "$wdeint" -q --bgr24 "${w}x$h" "${opts[@]}" "$work/plain.bgr24" "$work/$name.bgr24"
  "${raw_frames[@]}" from-host "$w" "$h" "$work/$name.bgr24" "$work/plain.bgra" "$work/$name.want"
  if cmp -s "$work/$name.bgra" "$work/$name.want"; then
    echo "ok   $name ($*)"
  else
    echo "FAIL $name ($*): melt's frames differ from wdeint --bgr24's"
    failures=$((failures + 1))
  fi
}

check defaults --method 4 --
check raw --method 2 -- 0=2
check shares --method 5 --search-area 16 -- 0=0.95 1=0.25
check region --region "$work/region.rect" -- "7=$work/region.rect"
cmp -s "$work/defaults.bgra" "$work/region.bgra" &&
  { echo "FAIL the region file made no difference"; failures=$((failures + 1)); }
((failures == 0))
