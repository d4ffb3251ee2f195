#!/usr/bin/env bash
# ffmpeg loads wdeinterlace.so through FREI0R_PATH and filters an interlaced
# clip; every frame must equal what wdeint --bgr24 (the module's stream
# driven as the video editor drives it) makes of the same BGRA frames,
# flipped into bottom-up BGR24. Every method, a region file, and sizes that
# are not multiples of 16 (padded for wdeint here, cropped after).
# Usage: ffmpeg_test.sh WDEINT PLUGIN_DIR WORK_DIR. Exit 77: no frei0r in ffmpeg.
set -euo pipefail

wdeint=$1
plugin_dir=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
raw_frames=("${PYTHON:-python3}" "$here/raw_frames.py")

command -v ffmpeg >/dev/null || { echo "SKIP: no ffmpeg"; exit 77; }
filters=$(ffmpeg -hide_banner -filters 2>/dev/null || true)
grep -Eq '^ *[.A-Z|]+ +frei0r ' <<<"$filters" ||
  { echo "SKIP: this ffmpeg has no frei0r filter"; exit 77; }
[[ -f "$plugin_dir/wdeinterlace.so" ]] || { echo "FAIL: no $plugin_dir/wdeinterlace.so"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)
ffmpeg_env=("FREI0R_PATH=$plugin_dir")
# A plug-in built with the sanitizers needs their runtime loaded first into
# the uninstrumented ffmpeg, whose own leaks are not ours.
if [[ -n ${WDI_SANITIZER_PRELOAD:-} ]]; then
  ffmpeg_env+=("LD_PRELOAD=$WDI_SANITIZER_PRELOAD" "ASAN_OPTIONS=detect_leaks=0")
fi

# Interlaced material: wdeint's demo clip (fine moving detail, top field first).
"$wdeint" -q --demo "$work/demo" --demo-size 176x144 --demo-frames 4 >/dev/null
clip=$work/demo/input.y4m
# The same clip with an odd height, padded by the plug-in (BGRA in NUT: 4:2:0
# has no odd sizes). ffmpeg 5.1 hands frei0r its frames without their row
# stride, which it pads to 64 bytes: widths that are no multiple of 16 come
# out sheared for every plug-in, so padded widths are left to the adapter
# tests, which load the plug-in themselves.
"${ff[@]}" -i "$clip" -vf format=bgra,crop=176:117:0:3 -c:v rawvideo "$work/odd.nut"

cat >"$work/region.rect" <<'RECT'
[[(0,0)-(119,95)]]
present=1
[[(32,16)-(71,55)]]
present=0
RECT

failures=0
cases=0

# case NAME INPUT W H FILTER_PARAMS WDEINT_OPTIONS...
case_() {
  local name=$1 input=$2 w=$3 h=$4 params=$5
  shift 5
  local d=$work/$name pw=$(((w + 15) / 16 * 16)) ph=$(((h + 15) / 16 * 16))
  mkdir -p "$d"
  cases=$((cases + 1))
  # The frames the filter is given: ffmpeg's own conversion to BGRA.
  "${ff[@]}" -i "$input" -vf format=bgra -f rawvideo "$d/in.bgra"
  env "${ffmpeg_env[@]}" "${ff[@]}" -i "$input" \
    -vf "format=bgra,frei0r=filter_name=wdeinterlace:filter_params=$params" \
    -pix_fmt bgra -f rawvideo "$d/ffmpeg.bgra"
  "${raw_frames[@]}" to-host "$w" "$h" "$d/in.bgra" "$d/in.bgr24"
  "$wdeint" -q --bgr24 "${pw}x${ph}" "$@" "$d/in.bgr24" "$d/out.bgr24"
  "${raw_frames[@]}" from-host "$w" "$h" "$d/out.bgr24" "$d/in.bgra" "$d/wdeint.bgra"
  if cmp -s "$d/ffmpeg.bgra" "$d/wdeint.bgra"; then
    echo "ok   $name ($params)"
  else
    echo "FAIL $name ($params): ffmpeg's frames differ from wdeint --bgr24's"
    cmp "$d/ffmpeg.bgra" "$d/wdeint.bgra" | head -1 || true
    failures=$((failures + 1))
  fi
}

for m in 0 1 2 3 4 5; do
  case_ "method$m" "$clip" 176 144 "$m" --method "$m"
done
case_ method5-replacing "$clip" 176 144 "5|8|40|65536|24|y|y" \
  --method 5 --search-area 8 --detection-threshold 40 --block-distance-threshold 65536 \
  --replacement-threshold 24 --replace-only-interlaced --search-on-interpolated
case_ slider-fractions "$clip" 176 144 "0.6|0.25|0.5" --method 3 --search-area 16 \
  --detection-threshold 128
case_ region "$clip" 176 144 "4|16|48|8192|0|n|n|$work/region.rect" --region "$work/region.rect"
for m in 2 4 5; do
  case_ "odd-size-method$m" "$work/odd.nut" 176 117 "$m" --method "$m"
done

# Method 0 hands the frames back: the comparison above saw the filter's own input.
cmp -s "$work/method0/in.bgra" "$work/method0/ffmpeg.bgra" ||
  { echo "FAIL method 0 changed the frames"; failures=$((failures + 1)); }
# The region keeps parts of the frame unprocessed.
cmp -s "$work/method4/ffmpeg.bgra" "$work/region/ffmpeg.bgra" &&
  { echo "FAIL the region file made no difference"; failures=$((failures + 1)); }
# The default method must change the combed clip.
if cmp -s "$work/method4/in.bgra" "$work/method4/ffmpeg.bgra"; then
  echo "FAIL method 4 left the interlaced clip unchanged"
  failures=$((failures + 1))
fi

echo "$cases cases, $failures failures"
((failures == 0))
