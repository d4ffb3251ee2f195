#!/usr/bin/env bash
# Throughput of the wdeinterlace element in gst-launch-1.0 against GStreamer's
# own deinterlace element (method=linear and method=greedyh), and against
# wdeint on the same frames.
#
#   bench/gst-compare.sh
#
# Per size (720x576, 1920x1080) a demo clip (wdeint --demo) is decoded by
# y4mdec and deinterlaced into fakesink, all in one streaming thread; every
# element at one output frame per field (fields=all, GStreamer's default) and
# at one per frame (fields=top). frames/s counts input frames and leaves
# start-up out: (N - SHORT) frames over the difference of the best wall times
# on N and on the first SHORT frames (RUNS rounds). "wdeint" is wdeint
# --threads 1 on the same clip with the same output rate.
#
# BLOCKSIZE: filesrc's blocksize, in bytes or "frame" (one frame's bytes); unset, filesrc's
# default of 4096.
#
# Environment: WDI_BUILD_DIR (build), RUNS (5), FRAMES_SD (400), FRAMES_HD (150), SHORT (10),
# BLOCKSIZE.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${WDI_BUILD_DIR:-build}
RUNS=${RUNS:-5}
FRAMES_SD=${FRAMES_SD:-400}
FRAMES_HD=${FRAMES_HD:-150}
SHORT=${SHORT:-10}
BLOCKSIZE=${BLOCKSIZE:-}

# shellcheck source=bench/gst-common.sh
source bench/gst-common.sh
gst_bench_setup gst-compare

now_ns() { date +%s%N; }
declare -A BEST FPS
measure() { # measure KEY COMMAND...
  local key=$1 start end
  shift
  start=$(now_ns)
  "$@" >/dev/null 2>&1 || { echo "gst-compare: failed: $*" >&2; exit 1; }
  end=$(now_ns)
  if [[ -z ${BEST[$key]:-} ]] || ((end - start < BEST[$key])); then BEST[$key]=$((end - start)); fi
}

printf 'GStreamer %s; %s, %s logical CPUs; %s\n' "$(gst-launch-1.0 --version | sed -n 's/.*version //p' | head -1)" \
  "$(lscpu | sed -n 's/^Model name: *//p' | head -1)" "$(nproc)" "$(date -u '+%Y-%m-%d %H:%M UTC')"
for size in 720x576 1920x1080; do
  w=${size%x*} h=${size#*x}
  frames=$([[ $w -le 720 ]] && echo "$FRAMES_SD" || echo "$FRAMES_HD")
  rm -rf "$WORK/clip"
  "$BUILD/wdeint" -q --demo "$WORK/clip" --demo-size "$size" --demo-frames "$frames" --method 0
  frame_bytes=$((6 + w * h * 3 / 2))
  blocksize=$([[ $BLOCKSIZE == frame ]] && echo "$frame_bytes" || echo "$BLOCKSIZE")
  src="filesrc ${blocksize:+blocksize=$blocksize }location=@ ! y4mdec"
  head -c $(($(head -1 "$WORK/clip/input.y4m" | wc -c) + SHORT * frame_bytes)) \
    "$WORK/clip/input.y4m" >"$WORK/clip/short.y4m"
  declare -A CMD=()
  keys=()
  for fields in all top; do
    CMD[ours-$fields]="gst-launch-1.0 -q $src ! wdeinterlace fields=$fields method=4 ! fakesink"
    CMD[linear-$fields]="gst-launch-1.0 -q $src ! deinterlace fields=$fields method=linear ! fakesink"
    CMD[greedyh-$fields]="gst-launch-1.0 -q $src ! deinterlace fields=$fields method=greedyh ! fakesink"
    CMD[copy-$fields]="gst-launch-1.0 -q $src ! fakesink"
    rate=$([[ $fields == all ]] && echo field || echo frame)
    keep=$([[ $fields == all ]] && echo "" || echo "--keep-field top")
    CMD[wdeint-$fields]="$BUILD/wdeint -q --threads 1 --method 4 --rate $rate $keep @ /dev/null"
    keys+=("ours-$fields" "linear-$fields" "greedyh-$fields" "copy-$fields" "wdeint-$fields")
  done
  BEST=()
  for ((r = 0; r < RUNS; r++)); do
    for k in "${keys[@]}"; do
      for c in input short; do
        # shellcheck disable=SC2086
        measure "$k-$c" ${CMD[$k]//@/$WORK/clip/$c.y4m}
      done
    done
  done
  printf '\n%s, %s frames, best of %s rounds, one streaming thread, filesrc blocksize %s\n' \
    "$size" "$frames" "$RUNS" "${blocksize:-4096 (default)}"
  printf '%-44s %9s %9s %11s\n' "pipeline" "frames/s" "x greedyh" "ms/frame"
  for fields in all top; do
    for k in ours linear greedyh copy wdeint; do
      key=$k-$fields
      fps=$(awk -v n=$((frames - SHORT)) -v a="${BEST[$key-input]}" -v b="${BEST[$key-short]}" \
        'BEGIN { if (a > b) printf "%.1f", n * 1e9 / (a - b); else printf "-" }')
      FPS[$key]=$fps
    done
    for k in ours linear greedyh copy wdeint; do
      key=$k-$fields
      case $k in
        ours) label="wdeinterlace method=4 fields=$fields" ;;
        linear) label="deinterlace method=linear fields=$fields" ;;
        greedyh) label="deinterlace method=greedyh fields=$fields" ;;
        copy) label="y4mdec ! fakesink (floor)" ;;
        wdeint) label="wdeint --method 4 (same output rate)" ;;
      esac
      printf '%-44s %9s %9s %11s\n' "$label" "${FPS[$key]}" \
        "$(awk -v a="${FPS[$key]}" -v b="${FPS[greedyh-$fields]}" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else printf "-" }')" \
        "$(awk -v a="${FPS[$key]}" 'BEGIN { if (a + 0 > 0) printf "%.3f", 1000 / a; else printf "-" }')"
    done
    # The element's own cost: its pipeline less the decoding floor, against wdeint's.
    awk -v o="${FPS[ours-$fields]}" -v c="${FPS[copy-$fields]}" -v w="${FPS[wdeint-$fields]}" -v g="${FPS[greedyh-$fields]}" \
      'BEGIN { own = 1000 / o - 1000 / c; printf "fields=%s: element %.3f ms/frame beyond decoding, wdeint %.3f ms/frame (%+.0f%%); %.2fx greedyh\n", ARGV[1], own, 1000 / w, (own / (1000 / w) - 1) * 100, o / g }' "$fields"
  done
done
