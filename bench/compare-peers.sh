#!/usr/bin/env bash
# Throughput and quality of wdeint against ffmpeg's deinterlacers, side by side,
# on the same synthetic interlaced clips with their progressive ground truth.
#
#   bench/compare-peers.sh
#
# For 720x576 and 1920x1080 it writes a demo clip (wdeint --demo) with the
# progressive pictures it was woven from (interlaced frame n = top field of
# picture 2n + bottom field of picture 2n+1), then measures on that one input:
#   - ffmpeg yadif, bwdif and w3fdif in frame mode (one output frame per
#     input frame), with one thread and with ffmpeg's default threads;
#   - ffmpeg with the copy filter only: reading and passing frames, the floor;
#   - wdeint methods 1-6 with --threads 1 and --threads 2;
#   - wdeint --bgr24 (the host path with both colour conversions), method 4,
#     on a raw bottom-up BGR24 copy of the clip made once beforehand;
#   - field rate (one output frame per field): ffmpeg yadif=mode=1,
#     bwdif=mode=1 and w3fdif (field rate by default) with one thread, and
#     wdeint --rate field methods 2-6 with one thread (method 4 also two);
#   - wdeint --show-detection, method 4, one thread, against the plain run.
# Speed: every command runs on the whole clip and on its first SHORT frames,
# output to /dev/null or ffmpeg's null muxer; frames/s is the frame difference
# over the difference of the best wall times of RUNS rounds, so that start-up
# (large for ffmpeg) counts for nobody; "whole" is frames over the wall time
# of the whole command. The rounds go over all commands in turn so that a
# disturbance spreads over all of them. The ratios of the speed targets
# are printed at the end.
# Quality is luma PSNR against the progressive picture at the time of the
# field each method keeps (yadif/bwdif/w3fdif keep the top field of a
# top-field-first frame, wdeint the bottom field), over all rows and over the
# rebuilt rows only (bench/psnr.cpp); at field rate output frame k is compared
# with progressive picture k. frames/s counts input frames at both rates.
# Every wdeint output is also checked to be byte-identical with one and with
# two threads.
#
# Environment: WDI_BUILD_DIR (default build), RUNS (5), FRAMES_SD (400),
# FRAMES_HD (200), SHORT (10), SIZES ("720x576 1920x1080"), KEEP_WORK=1 keeps
# the clips.
# CONTENT (default demo): demo is wdeint's synthetic demo clip; still, slow,
# fast or zoom take clips made from a real photograph (bench/make-photo-clip.sh:
# a forest photograph of Debian's plasma-workspace-wallpapers, panned about 2
# or 9 pixels per picture, zoomed or still), on which the block search of
# methods 4 and 5 does its real work.
# BASELINE: another wdeint binary (bench/build-baseline.sh COMMIT builds one)
# measured in the same rounds, methods 4 and 6 at both rates: before and after.
# The machine should be otherwise idle: the load average is printed.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${WDI_BUILD_DIR:-build}
RUNS=${RUNS:-5}
FRAMES_SD=${FRAMES_SD:-400}
FRAMES_HD=${FRAMES_HD:-200}
SHORT=${SHORT:-10}
die() {
  echo "compare-peers: $*" >&2
  exit 1
}

SIZES=${SIZES:-"720x576 1920x1080"}
CONTENT=${CONTENT:-demo}
BASELINE=${BASELINE:-}
[[ -z $BASELINE || -x $BASELINE ]] || die "BASELINE=$BASELINE is not a program"


# --- tools -------------------------------------------------------------------
if ! command -v ffmpeg >/dev/null; then
  echo "compare-peers: installing ffmpeg" >&2
  [[ $(id -u) == 0 ]] || die "ffmpeg is missing; install it (apt-get install ffmpeg) or run as root"
  DEBIAN_FRONTEND=noninteractive apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ffmpeg >&2
fi
[[ -x /usr/bin/time ]] || die "/usr/bin/time is missing (apt-get install time)"
# Configured as scripts/build.sh does; only the two programs needed here are built.
if [[ ! -f $BUILD/build.ninja ]]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWDI_WERROR=ON >/dev/null
fi
cmake --build "$BUILD" --target wdeint wdi_psnr >&2
BUILD=$(cd "$BUILD" && pwd)
WDEINT=$BUILD/wdeint
PSNR=$BUILD/bench/wdi_psnr

WORK=$(mktemp -d "${TMPDIR:-/tmp}/compare-peers.XXXXXX")
if [[ ${KEEP_WORK:-0} != 1 ]]; then trap 'rm -rf "$WORK"' EXIT; fi

FF=(ffmpeg -nostdin -hide_banner -v error)
FF1=(-threads 1 -filter_threads 1)

# --- one size ----------------------------------------------------------------
# Per size, by command key: best wall times, frames/s (steady, whole), PSNR (all, rebuilt), kept field.
declare -A FPS WHOLE BEST ALL REBUILT KEPT

now_ns() { date +%s%N; }

# measure KEY COMMAND...: runs the command once and keeps its best wall time (ns) in BEST[KEY].
measure() {
  local key=$1
  shift
  local start end
  start=$(now_ns)
  "$@" >/dev/null 2>"$WORK/err" || {
    cat "$WORK/err" >&2
    die "failed: $*"
  }
  end=$(now_ns)
  if [[ -z ${BEST[$key]:-} ]] || ((end - start < ${BEST[$key]})); then
    BEST[$key]=$((end - start))
  fi
}

# quality KEY KEEP OUTPUT.y4m: PSNR of OUTPUT against the clip's ground truth.
quality() {
  local key=$1 keep=$2 out=$3 line
  local args=()
  [[ $keep == auto ]] || args=(--keep "$keep")
  line=$("$PSNR" "${args[@]}" "$WORK/clip/input.y4m" "$out" "$WORK/clip/progressive.y4m")
  KEPT[$key]=$(sed -n 's/.*keep=\([^ ]*\).*/\1/p' <<<"$line")
  ALL[$key]=$(sed -n 's/.*all=\([^ ]*\).*/\1/p' <<<"$line")
  REBUILT[$key]=$(sed -n 's/.*rebuilt=\([^ ]*\).*/\1/p' <<<"$line")
}

run_size() {
  local size=$1 w=${1%x*} h=${1#*x} frames
  frames=$([[ $w -le 720 ]] && echo "$FRAMES_SD" || echo "$FRAMES_HD")
  rm -rf "$WORK/clip"
  if [[ $CONTENT == demo ]]; then
    "$WDEINT" -q --demo "$WORK/clip" --demo-progressive --demo-size "$size" \
      --demo-frames "$frames" --method 0 --threads 1
  else
    bash bench/make-photo-clip.sh "$CONTENT" "$size" "$frames" "$WORK/clip"
  fi
  local in=$WORK/clip/input.y4m

  # The host path takes sizes that are multiples of 16 only (others are copied
  # unchanged), so the raw image is padded at the bottom to the next multiple.
  local ph=$(((h + 15) / 16 * 16))
  "${FF[@]}" -i "$in" -vf "pad=$w:$ph,vflip" -pix_fmt bgr24 -f rawvideo -y "$WORK/clip/input.bgr"

  # The first SHORT frames of both, to take each command's start-up time out.
  local frameBytes=$((w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2)))
  head -c $(($(head -1 "$in" | wc -c) + SHORT * (6 + frameBytes))) "$in" >"$WORK/clip/short.y4m"
  head -c $((SHORT * w * ph * 3)) "$WORK/clip/input.bgr" >"$WORK/clip/short.bgr"

  # Commands with @ for the clip's path without its extension.
  local -a keys=()
  local -A cmd
  local f
  for f in yadif bwdif w3fdif; do
    local vf="$f=mode=0"
    [[ $f == w3fdif ]] && vf="w3fdif=mode=frame"
    cmd[ff-$f-1]="${FF[*]} ${FF1[*]} -i @.y4m -vf $vf -f null -"
    cmd[ff-$f-d]="${FF[*]} -i @.y4m -vf $vf -f null -"
    keys+=("ff-$f-1" "ff-$f-d")
  done
  cmd[ff-copy-1]="${FF[*]} ${FF1[*]} -i @.y4m -vf copy -f null -"
  keys+=(ff-copy-1)
  local m t
  for m in 1 2 3 4 5 6; do
    for t in 1 2; do
      cmd[wd-$m-$t]="$WDEINT -q --method $m --threads $t @.y4m /dev/null"
      keys+=("wd-$m-$t")
    done
  done
  cmd[wd-bgr-1]="$WDEINT -q --bgr24 ${w}x$ph --method 4 @.bgr /dev/null"
  keys+=(wd-bgr-1)
  # Field rate.
  cmd[ff-yadif1-1]="${FF[*]} ${FF1[*]} -i @.y4m -vf yadif=mode=1 -f null -"
  cmd[ff-bwdif1-1]="${FF[*]} ${FF1[*]} -i @.y4m -vf bwdif=mode=1 -f null -"
  cmd[ff-w3fdiff-1]="${FF[*]} ${FF1[*]} -i @.y4m -vf w3fdif -f null -"
  keys+=(ff-yadif1-1 ff-bwdif1-1 ff-w3fdiff-1)
  for m in 2 3 4 5 6; do
    cmd[wd-f$m-1]="$WDEINT -q --rate field --method $m --threads 1 @.y4m /dev/null"
    keys+=("wd-f$m-1")
  done
  cmd[wd-f4-2]="$WDEINT -q --rate field --method 4 --threads 2 @.y4m /dev/null"
  cmd[wd-sd-1]="$WDEINT -q --show-detection --method 4 --threads 1 @.y4m /dev/null"
  keys+=(wd-f4-2 wd-sd-1)
  if [[ -n $BASELINE ]]; then
    for m in 4 6; do
      cmd[bl-$m-1]="$BASELINE -q --method $m --threads 1 @.y4m /dev/null"
      cmd[bl-f$m-1]="$BASELINE -q --rate field --method $m --threads 1 @.y4m /dev/null"
      keys+=("bl-$m-1" "bl-f$m-1")
    done
  fi

  BEST=()
  local r k c
  for ((r = 0; r < RUNS; r++)); do
    for k in "${keys[@]}"; do
      for c in input short; do
        # shellcheck disable=SC2086
        measure "$k-$c" ${cmd[$k]//@/$WORK/clip/$c}
      done
    done
  done
  FPS=() WHOLE=()
  for k in "${keys[@]}"; do
    FPS[$k]=$(awk -v n=$((frames - SHORT)) -v a="${BEST[$k-input]}" -v b="${BEST[$k-short]}" \
      'BEGIN { if (a > b) printf "%.1f", n * 1e9 / (a - b); else printf "-" }')
    WHOLE[$k]=$(awk -v n="$frames" -v ns="${BEST[$k-input]}" 'BEGIN { printf "%.1f", n * 1e9 / ns }')
  done

  # Quality, from one more run of each that writes its output.
  local out=$WORK/out.y4m out2=$WORK/out2.y4m
  for f in yadif bwdif w3fdif; do
    local vf="$f=mode=0"
    [[ $f == w3fdif ]] && vf="w3fdif=mode=frame"
    "${FF[@]}" -i "$in" -vf "$vf" -f yuv4mpegpipe -y "$out"
    quality "ff-$f-1" auto "$out"
    KEPT[ff-$f-d]=${KEPT[ff-$f-1]} ALL[ff-$f-d]=${ALL[ff-$f-1]}
    REBUILT[ff-$f-d]=${REBUILT[ff-$f-1]}
  done
  quality ff-copy-1 bottom "$in"
  for m in 1 2 3 4 5 6; do
    "$WDEINT" -v --method "$m" --threads 1 "$in" "$out" 2>"$WORK/verbose"
    LEVEL=$(grep -o 'avx2\|sse2\|scalar' "$WORK/verbose" | sed -n 1p)
    "$WDEINT" -q --method "$m" --threads 2 "$in" "$out2"
    cmp -s "$out" "$out2" || die "method $m: --threads 2 output differs from --threads 1"
    quality "wd-$m-1" auto "$out"
    KEPT[wd-$m-2]=${KEPT[wd-$m-1]} ALL[wd-$m-2]=${ALL[wd-$m-1]} REBUILT[wd-$m-2]=${REBUILT[wd-$m-1]}
  done
  # The host path's output, cropped and converted back to 4:2:0 for the comparison.
  "$WDEINT" -q --bgr24 "${w}x$ph" --method 4 "$WORK/clip/input.bgr" "$WORK/out.bgr"
  "${FF[@]}" -f rawvideo -pix_fmt bgr24 -s "${w}x$ph" -i "$WORK/out.bgr" \
    -vf "vflip,crop=$w:$h:0:0" -pix_fmt yuv420p -f yuv4mpegpipe -y "$out"
  quality wd-bgr-1 bottom "$out"
  # Field rate: output frame k against picture k.
  "${FF[@]}" -i "$in" -vf yadif=mode=1 -f yuv4mpegpipe -y "$out"
  quality ff-yadif1-1 field "$out"
  "${FF[@]}" -i "$in" -vf bwdif=mode=1 -f yuv4mpegpipe -y "$out"
  quality ff-bwdif1-1 field "$out"
  "${FF[@]}" -i "$in" -vf w3fdif -f yuv4mpegpipe -y "$out"
  quality ff-w3fdiff-1 field "$out"
  for m in 2 3 4 5 6; do
    "$WDEINT" -q --rate field --method "$m" --threads 1 "$in" "$out"
    "$WDEINT" -q --rate field --method "$m" --threads 2 "$in" "$out2"
    cmp -s "$out" "$out2" || die "field rate, method $m: --threads 2 output differs"
    quality "wd-f$m-1" field "$out"
  done
  KEPT[wd-f4-2]=${KEPT[wd-f4-1]} ALL[wd-f4-2]=${ALL[wd-f4-1]} REBUILT[wd-f4-2]=${REBUILT[wd-f4-1]}
  KEPT[wd-sd-1]=- ALL[wd-sd-1]=- REBUILT[wd-sd-1]=-
  if [[ -n $BASELINE ]]; then
    # Same bytes as the build measured, or the comparison means nothing.
    for m in 4 6; do
      "$BASELINE" -q --method $m --threads 1 "$in" "$out2"
      "$WDEINT" -q --method $m --threads 1 "$in" "$out"
      cmp -s "$out" "$out2" || die "the baseline's method $m output differs from this build's"
      KEPT[bl-$m-1]=${KEPT[wd-$m-1]} ALL[bl-$m-1]=${ALL[wd-$m-1]} REBUILT[bl-$m-1]=${REBUILT[wd-$m-1]}
      KEPT[bl-f$m-1]=${KEPT[wd-f$m-1]} ALL[bl-f$m-1]=${ALL[wd-f$m-1]}
      REBUILT[bl-f$m-1]=${REBUILT[wd-f$m-1]}
    done
  fi
  rm -f "$out" "$out2" "$WORK/out.bgr"

  # Memory of a stream at this size, one and two workers.
  for t in 1 2; do
    /usr/bin/time -f %M -o "$WORK/rss" "$WDEINT" -q --threads "$t" "$in" /dev/null
    RSS[$size-$t]=$(awk '{ printf "%.1f", $1 / 1024 }' "$WORK/rss")
  done

  print_size "$size" "$ph"
}

declare -A RSS
declare -A RESULT # size|key -> fps, for the target summary

label() {
  case $1 in
    ff-yadif-*) echo "ffmpeg yadif=mode=0" ;;
    ff-bwdif-*) echo "ffmpeg bwdif=mode=0" ;;
    ff-w3fdif-*) echo "ffmpeg w3fdif=mode=frame" ;;
    ff-copy-*) echo "ffmpeg -vf copy (floor; PSNR: input)" ;;
    ff-yadif1-*) echo "ffmpeg yadif=mode=1" ;;
    ff-bwdif1-*) echo "ffmpeg bwdif=mode=1" ;;
    ff-w3fdiff-*) echo "ffmpeg w3fdif (field rate)" ;;
    wd-bgr-*) echo "wdeint --bgr24 --method 4" ;;
    wd-sd-*) echo "wdeint --show-detection --method 4" ;;
    bl-f*) echo "baseline --rate field --method ${1:4:1}" ;;
    bl-*) echo "baseline wdeint --method ${1:3:1}" ;;
    wd-f*) echo "wdeint --rate field --method ${1:4:1}" ;;
    wd-*) echo "wdeint --method ${1:3:1}" ;;
  esac
}

threads_of() {
  case $1 in
    *-d) echo "default" ;;
    *-1) echo "1" ;;
    *-2) echo "2" ;;
  esac
}

print_size() {
  local size=$1 ph=$2 k frames
  local yadif=${FPS[ff-yadif-1]}
  frames=$([[ ${size%x*} -le 720 ]] && echo "$FRAMES_SD" || echo "$FRAMES_HD")
  printf '\n%s, %s frames of the %s clip, best of %s runs\n' "$size" "$frames" "$CONTENT" "$RUNS"
  printf '%-36s %-7s %9s %7s %9s %8s %8s %6s\n' "command" "threads" "frames/s" "x yadif" \
    "whole" "PSNR all" "rebuilt" "kept"
  for k in ff-yadif-1 ff-yadif-d ff-bwdif-1 ff-bwdif-d ff-w3fdif-1 ff-w3fdif-d ff-copy-1 \
    wd-1-1 wd-1-2 wd-2-1 wd-2-2 wd-3-1 wd-3-2 wd-4-1 wd-4-2 wd-5-1 wd-5-2 wd-6-1 wd-6-2 wd-bgr-1 \
    ${BASELINE:+bl-4-1 bl-6-1}; do
    printf '%-36s %-7s %9s %7s %9s %8s %8s %6s\n' "$(label "$k")" "$(threads_of "$k")" \
      "${FPS[$k]}" "$(ratio "${FPS[$k]}" "$yadif")" \
      "${WHOLE[$k]}" "${ALL[$k]}" "${REBUILT[$k]}" "${KEPT[$k]}"
    RESULT[$size\|$k]=${FPS[$k]}
  done
  printf 'frames/s: (%s - %s frames) / (wall time on %s frames - wall time on the first %s),\n' \
    "$frames" "$SHORT" "$frames" "$SHORT"
  printf '  start-up excluded; whole: %s frames / wall time of the whole command.\n' "$frames"
  printf 'PSNR (dB, luma) against the progressive picture at the time of the kept field, over all\n'
  printf '  rows and over the rebuilt rows; kept: the field passed through (~: not byte-exact).\n'
  if [[ $ph != "${size#*x}" ]]; then
    printf '(--bgr24 ran on %sx%s images, the picture padded at the bottom: the host path takes\n' \
      "${size%x*}" "$ph"
    printf ' multiples of 16 only; its PSNR includes both colour conversions and the 4:2:0 round trip)\n'
  else
    printf '(--bgr24: its PSNR includes both colour conversions and the 4:2:0 round trip)\n'
  fi
  local y1=${FPS[ff-yadif1-1]}
  printf '\n%s at field rate (two output frames per input frame; frames/s of input frames)\n' \
    "$size"
  printf '%-36s %-7s %9s %7s %9s %8s %8s %6s\n' "command" "threads" "frames/s" "x yadif" \
    "whole" "PSNR all" "rebuilt" "kept"
  for k in ff-yadif1-1 ff-bwdif1-1 ff-w3fdiff-1 wd-f2-1 wd-f3-1 wd-f4-1 wd-f4-2 wd-f5-1 wd-f6-1 \
    wd-sd-1 \
    ${BASELINE:+bl-f4-1 bl-f6-1}; do
    printf '%-36s %-7s %9s %7s %9s %8s %8s %6s\n' "$(label "$k")" "$(threads_of "$k")" \
      "${FPS[$k]}" "$(ratio "${FPS[$k]}" "$y1")" \
      "${WHOLE[$k]}" "${ALL[$k]}" "${REBUILT[$k]}" "${KEPT[$k]}"
    RESULT[$size\|$k]=${FPS[$k]}
  done
  printf '(x yadif: against yadif=mode=1; the --show-detection row is at frame rate)\n'
  printf 'wdeint kernel level: %s\n' "$LEVEL"
  printf 'Maximum resident memory of wdeint at %s: %s MiB with 1 worker, %s MiB with 2\n' \
    "$size" "${RSS[$size-1]}" "${RSS[$size-2]}"
}

# --- targets -----------------------------------------------------------------
verdict() { awk -v a="$1" -v b="$2" 'BEGIN { print (a != "-" && a >= b) ? "met" : "NOT MET" }'; }
# "-" when a figure is missing (a run on the short clip as slow as on the whole one).
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else printf "-" }'; }

# target SIZE LABEL FIGURE UNIT WANT [at-most]: one line; the figure must reach
# WANT (with at-most: stay at or below it).
target() {
  local v
  if [[ ${6:-} == at-most ]]; then v=$(verdict "$5" "$3"); else v=$(verdict "$3" "$5"); fi
  printf '  %-9s %-52s %s%s  %s\n' "$1" "$2:" "$3" "$4" "$v"
}
# ratio_target SIZE LABEL KEY BASE-KEY WANT [at-most]: the ratio of two results.
ratio_target() {
  local size=$1
  target "$size" "$2" "$(ratio "${RESULT[$size|$3]}" "${RESULT[$size|$4]}")" x "$5" "${6:-}"
}

print_targets() {
  local size m
  printf '\nTargets\n'
  for size in $SIZES; do
    ratio_target "$size" "method 4, 1 thread >= 1.2x yadif" wd-4-1 ff-yadif-1 1.2
    ratio_target "$size" "method 4, 2 threads >= 1.8x 1 thread" wd-4-2 wd-4-1 1.8
    for m in 1 2 3; do
      ratio_target "$size" "method $m, 1 thread >= w3fdif (1 thread)" "wd-$m-1" ff-w3fdif-1 1
    done
    if [[ $size == 720x576 ]]; then
      target "$size" "method 5, 1 thread >= 60 frames/s" "${RESULT[$size|wd-5-1]}" "" 60
    fi
    ratio_target "$size" "--bgr24 method 4 >= 0.8x yadif" wd-bgr-1 ff-yadif-1 0.8
    ratio_target "$size" "field rate method 4, 1 thread >= 2x yadif=mode=1" wd-f4-1 ff-yadif1-1 2
    ratio_target "$size" "field rate method 4, 1 thread >= 1.3x bwdif=mode=1" wd-f4-1 \
      ff-bwdif1-1 1.3
    if [[ $CONTENT != demo ]]; then
      local want=$([[ $size == 720x576 ]] && echo 3 || echo 1.5)
      ratio_target "$size" "$CONTENT clip: method 4, 1 thread >= ${want}x yadif" wd-4-1 \
        ff-yadif-1 "$want"
    fi
    if [[ -n $BASELINE ]]; then
      ratio_target "$size" "method 4, 1 thread >= 1.5x the baseline" wd-4-1 bl-4-1 1.5
      printf '  %-9s method 6, 1 thread, against the baseline: %sx, at field rate %sx\n' "$size" \
        "$(ratio "${RESULT[$size|wd-6-1]}" "${RESULT[$size|bl-6-1]}")" \
        "$(ratio "${RESULT[$size|wd-f6-1]}" "${RESULT[$size|bl-f6-1]}")"
    fi
    ratio_target "$size" "method 6, 1 thread >= 1.5x bwdif (1 thread)" wd-6-1 ff-bwdif-1 1.5
    ratio_target "$size" "field rate method 6 >= 1.5x bwdif=mode=1" wd-f6-1 ff-bwdif1-1 1.5
    ratio_target "$size" "--show-detection costs <= 1.5x a plain run" wd-4-1 wd-sd-1 1.5 at-most
  done
  if [[ -n ${RSS[1920x1080-1]:-} ]]; then
    local per
    per=$(awk -v a="${RSS[1920x1080-2]}" 'BEGIN { printf "%.1f", a / 2 }')
    printf '  1920x1080 resident memory < 64 MiB per worker: %s MiB (1 worker), %s MiB each (2)  %s\n' \
      "${RSS[1920x1080-1]}" "$per" "$(verdict 64 "${RSS[1920x1080-1]}")"
  fi
}

printf 'wdeint against ffmpeg %s\n' "$(ffmpeg -version | sed -n '1s/ffmpeg version \([^ ]*\).*/\1/p')"
printf 'Machine: %s, %s logical CPUs; %s\n' \
  "$(lscpu | sed -n 's/^Model name: *//p' | head -1)" "$(nproc)" "$(date -u '+%Y-%m-%d %H:%M UTC')"
printf 'wdeint: commit %s\n' "$(git rev-parse --short HEAD 2>/dev/null || echo '?')"
[[ -z $BASELINE ]] || printf 'baseline: %s\n' "$BASELINE"
printf 'Load average before: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
if awk '{ exit !($1 > 0.5) }' /proc/loadavg; then
  echo "compare-peers: warning: the machine is busy; the figures will scatter" >&2
fi
for s in $SIZES; do run_size "$s"; done
print_targets
printf '\nLoad average after: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
