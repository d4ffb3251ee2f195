#!/usr/bin/env bash
# Picture quality of wdeint's methods 2-6 against ffmpeg's yadif, bwdif and
# w3fdif on clips with their progressive ground truth: luma PSNR and SSIM of
# the rebuilt rows (bench/psnr.cpp), at frame rate and at field rate.
#
#   bench/quality-table.sh
#
# Clips: still, slow, fast and zoom are made from a real photograph
# (bench/make-photo-clip.sh), demo is wdeint's synthetic demo clip. At frame
# rate every filter keeps the top field (wdeint --keep-field top, as ffmpeg's
# filters keep the first field of a top-field-first frame), so all are
# compared with the same pictures; at field rate output frame k is compared
# with picture k. The targets of method 6 are checked at the end.
#
# Environment: SIZE (720x576), FRAMES (50), CONTENTS ("still slow fast zoom
# demo"), WDI_BUILD_DIR (build).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${WDI_BUILD_DIR:-build}
SIZE=${SIZE:-720x576}
FRAMES=${FRAMES:-50}
CONTENTS=${CONTENTS:-"still slow fast zoom demo"}
die() {
  echo "quality-table: $*" >&2
  exit 1
}

if ! command -v ffmpeg >/dev/null; then
  [[ $(id -u) == 0 ]] || die "ffmpeg is missing; install it (apt-get install ffmpeg) or run as root"
  DEBIAN_FRONTEND=noninteractive apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ffmpeg >&2
fi
if [[ ! -f $BUILD/build.ninja ]]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWDI_WERROR=ON >/dev/null
fi
cmake --build "$BUILD" --target wdeint wdi_psnr >&2
WDEINT=$BUILD/wdeint
PSNR=$BUILD/bench/wdi_psnr
WORK=$(mktemp -d "${TMPDIR:-/tmp}/quality-table.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
FF=(ffmpeg -nostdin -hide_banner -v error -y)

declare -A Q # clip|rate|filter -> "psnr ssim"
FILTERS="yadif bwdif w3fdif m2 m3 m4 m5 m6"

measure() { # measure CLIPDIR RATE FILTER
  local dir=$1 rate=$2 f=$3 out=$WORK/out.y4m keep line vf
  if [[ $f == m* ]]; then
    if [[ $rate == frame ]]; then
      "$WDEINT" -q --keep-field top --method "${f#m}" "$dir/input.y4m" "$out"
    else
      "$WDEINT" -q --rate field --method "${f#m}" "$dir/input.y4m" "$out"
    fi
  else
    case $f-$rate in
      w3fdif-frame) vf=w3fdif=mode=frame ;;
      w3fdif-field) vf=w3fdif ;;
      *-frame) vf=$f=mode=0 ;;
      *-field) vf=$f=mode=1 ;;
    esac
    "${FF[@]}" -i "$dir/input.y4m" -vf "$vf" -f yuv4mpegpipe "$out"
  fi
  keep=$([[ $rate == frame ]] && echo top || echo field)
  line=$("$PSNR" --keep "$keep" "$dir/input.y4m" "$out" "$dir/progressive.y4m")
  Q[$(basename "$dir")|$rate|$f]="$(sed -n 's/.*rebuilt=\([^ ]*\).*/\1/p' <<<"$line") $(
    sed -n 's/.*ssim=\([^ ]*\).*/\1/p' <<<"$line")"
}

for c in $CONTENTS; do
  if [[ $c == demo ]]; then
    "$WDEINT" -q --demo "$WORK/demo" --demo-progressive --demo-size "$SIZE" \
      --demo-frames "$FRAMES" --method 0 --threads 1
  else
    bash bench/make-photo-clip.sh "$c" "$SIZE" "$FRAMES" "$WORK/$c"
  fi
  for rate in frame field; do
    for f in $FILTERS; do measure "$WORK/$c" "$rate" "$f"; done
  done
  rm -rf "${WORK:?}/$c"
done

label() {
  case $1 in
    m*) echo "wdeint --method ${1#m}" ;;
    *) echo "ffmpeg $1" ;;
  esac
}
printf 'Quality of the rebuilt rows (luma PSNR dB / SSIM), %s, %s frames per clip\n' "$SIZE" "$FRAMES"
printf 'Machine: %s; %s; ffmpeg %s; wdeint commit %s\n' \
  "$(lscpu | sed -n 's/^Model name: *//p' | head -1)" "$(date -u '+%Y-%m-%d %H:%M UTC')" \
  "$(ffmpeg -version | sed -n '1s/ffmpeg version \([^ ]*\).*/\1/p')" \
  "$(git rev-parse --short HEAD 2>/dev/null || echo '?')"
for rate in frame field; do
  printf '\n| %s rate |' "$rate"
  for c in $CONTENTS; do printf ' %s |' "$c"; done
  printf '\n|---|'
  for c in $CONTENTS; do printf -- '---|'; done
  printf '\n'
  for f in $FILTERS; do
    printf '| %s |' "$(label "$f")"
    for c in $CONTENTS; do
      read -r p s <<<"${Q[$c|$rate|$f]}"
      printf ' %s / %s |' "$p" "$s"
    done
    printf '\n'
  done
done

# Targets: >= bwdif on every clip, >= bwdif + 0.3 dB on the average of the
# moving clips, >= 60 dB on the still one (inf counts as met).
printf '\nTargets of method 6\n'
for rate in frame field; do
  sum6=0 sumb=0 moving=0
  for c in $CONTENTS; do
    read -r p6 _ <<<"${Q[$c|$rate|m6]}"
    read -r pb _ <<<"${Q[$c|$rate|bwdif]}"
    printf '  %-5s %-6s method 6 %s dB >= bwdif %s dB: %s\n' "$rate" "$c" "$p6" "$pb" \
      "$(awk -v a="$p6" -v b="$pb" 'BEGIN { print (a == "inf" || a + 0 >= b + 0) ? "met" : "NOT MET" }')"
    if [[ $c == still ]]; then
      printf '  %-5s still  method 6 %s dB >= 60 dB: %s\n' "$rate" "$p6" \
        "$(awk -v a="$p6" 'BEGIN { print (a == "inf" || a + 0 >= 60) ? "met" : "NOT MET" }')"
    else
      sum6=$(awk -v s="$sum6" -v a="$p6" 'BEGIN { print s + a }')
      sumb=$(awk -v s="$sumb" -v a="$pb" 'BEGIN { print s + a }')
      moving=$((moving + 1))
    fi
  done
  if ((moving > 0)); then
    awk -v a="$sum6" -v b="$sumb" -v n="$moving" -v r="$rate" 'BEGIN {
      d = (a - b) / n
      printf "  %-5s moving clips: method 6 - bwdif = %+.2f dB on average (>= +0.30): %s\n", r, d,
        (d >= 0.3) ? "met" : "NOT MET" }'
  fi
done
