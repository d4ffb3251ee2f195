#!/usr/bin/env bash
# The wdeinterlace element's per-frame cost in instructions, against wdeint's
# on the same frames: counts that do not scatter from run to run as times do
# on a shared machine.
#
#   bench/gst-instructions.sh
#
# Per size (720x576, 1920x1080) and output rate (fields=all, fields=top), a
# demo clip of LONG and of SHORT frames is run under valgrind's cachegrind
# through `filesrc ! y4mdec ! wdeinterlace method=4 ! fakesink`, through the
# same pipeline without the element (the decoding floor) and through wdeint
# --threads 1 --method 4; per frame is (LONG run - SHORT run) / (LONG - SHORT),
# which leaves start-up out. The element's cost is its pipeline less the
# floor. Cachegrind also simulates a last-level cache of LL_BYTES (16 MiB) and
# counts its data misses per frame: how much of each frame's work went past
# the cache. Neither the kernel's copies (file reads) nor time are counted.
#
# Environment: WDI_BUILD_DIR (build), LONG (30), SHORT (10), LL_BYTES (16777216).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${WDI_BUILD_DIR:-build}
LONG=${LONG:-30}
SHORT=${SHORT:-10}
LL_BYTES=${LL_BYTES:-16777216}

# shellcheck source=bench/gst-common.sh
source bench/gst-common.sh
gst_bench_setup gst-instructions valgrind
gst-inspect-1.0 wdeinterlace >/dev/null # the registry is built before any count

# counts CLIP COMMAND...: "instructions LL-data-misses" of one run (@ = the clip)
counts() {
  local clip=$1
  shift
  valgrind --tool=cachegrind --cache-sim=yes --LL="$LL_BYTES,16,64" --cachegrind-out-file=/dev/null \
    "${@//@/$clip}" 2>&1 >/dev/null | awk '
      /I +refs:/ { gsub(",", "", $4); i = $4 }
      /LLd misses:/ { gsub(",", "", $4); m = $4 }
      END { if (i == "" || m == "") exit 1; print i, m }'
}
# perFrame COMMAND...: "instructions misses" per frame, SHORT..LONG
perFrame() {
  local a b
  a=$(counts "$WORK/long.y4m" "$@") && b=$(counts "$WORK/short.y4m" "$@") || {
    echo "gst-instructions: failed: $*" >&2
    exit 1
  }
  awk -v a="$a" -v b="$b" -v n=$((LONG - SHORT)) \
    'BEGIN { split(a, x, " "); split(b, y, " "); printf "%.0f %.0f\n", (x[1] - y[1]) / n, (x[2] - y[2]) / n }'
}

printf 'valgrind %s; %s; simulated last-level cache %s MiB; %s\n' "$(valgrind --version)" \
  "$(lscpu | sed -n 's/^Model name: *//p' | head -1)" $((LL_BYTES >> 20)) "$(date -u '+%Y-%m-%d %H:%M UTC')"
printf '%-10s %-6s %14s %14s %8s %16s %16s\n' size fields "element Mi/fr" "wdeint Mi/fr" "diff" \
  "element MB miss" "wdeint MB miss"
for size in 720x576 1920x1080; do
  w=${size%x*} h=${size#*x}
  rm -rf "$WORK/clip"
  "$BUILD/wdeint" -q --demo "$WORK/clip" --demo-size "$size" --demo-frames "$LONG" --method 0
  mv "$WORK/clip/input.y4m" "$WORK/long.y4m"
  frame_bytes=$((6 + w * h * 3 / 2))
  head -c $(($(head -1 "$WORK/long.y4m" | wc -c) + SHORT * frame_bytes)) "$WORK/long.y4m" >"$WORK/short.y4m"
  read -r floor_i floor_m < <(perFrame gst-launch-1.0 -q filesrc location=@ ! y4mdec ! fakesink)
  for fields in all top; do
    rate=$([[ $fields == all ]] && echo field || echo frame)
    keep=()
    [[ $fields == all ]] || keep=(--keep-field top)
    read -r el_i el_m < <(perFrame gst-launch-1.0 -q filesrc location=@ ! y4mdec ! wdeinterlace \
      fields=$fields method=4 ! fakesink)
    read -r wd_i wd_m < <(perFrame "$BUILD/wdeint" -q --threads 1 --method 4 --rate $rate "${keep[@]}" @ /dev/null)
    awk -v s="$size" -v f="$fields" -v ei=$((el_i - floor_i)) -v wi="$wd_i" -v em="$el_m" -v wm="$wd_m" 'BEGIN {
      printf "%-10s %-6s %14.2f %14.2f %+7.0f%% %16.1f %16.1f\n", s, f, ei / 1e6, wi / 1e6, (ei / wi - 1) * 100,
        (em > 0 ? em : 0) * 64 / 1e6, (wm > 0 ? wm : 0) * 64 / 1e6 }'
  done
done
