#!/usr/bin/env bash
# Interlaced clips made from a real photograph, with their progressive ground truth.
#
#   bench/make-photo-clip.sh MOTION SIZE FRAMES OUTDIR [PHOTO]
#
# MOTION: still, slow (a pan of about 2 pixels per picture), fast (about 9 pixels per
# picture) or zoom (slowly closing in). The progressive pictures are windows of the photograph
# (1.25 times the output size, so that a window moves by sub-pixel steps) scaled down to SIZE,
# at twice the frame rate; interlaced frame n is the top field of picture 2n woven with the
# bottom field of picture 2n+1 (ffmpeg's tinterlace=interleave_top, no filtering), tagged
# top field first. Writes OUTDIR/input.y4m (FRAMES frames, 25 frames/s) and
# OUTDIR/progressive.y4m (2 * FRAMES pictures), the layout of wdeint --demo-progressive.
#
# PHOTO defaults to the forest photograph "Path" of Debian's plasma-workspace-wallpapers,
# installed when missing (as root).
set -euo pipefail

[[ $# -ge 4 ]] || {
  echo "usage: $0 still|slow|fast|zoom WIDTHxHEIGHT FRAMES OUTDIR [PHOTO]" >&2
  exit 2
}
motion=$1 size=$2 frames=$3 out=$4
photo=${5:-/usr/share/wallpapers/Path/contents/images/2560x1600.jpg}
w=${size%x*} h=${size#*x}

if [[ ! -f $photo && $# -lt 5 ]]; then
  echo "make-photo-clip: installing plasma-workspace-wallpapers" >&2
  [[ $(id -u) == 0 ]] || {
    echo "make-photo-clip: $photo is missing (apt-get install plasma-workspace-wallpapers)" >&2
    exit 1
  }
  DEBIAN_FRONTEND=noninteractive apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    plasma-workspace-wallpapers >&2
fi
[[ -f $photo ]] || {
  echo "make-photo-clip: no photograph at $photo" >&2
  exit 1
}

# The window, in pixels of the photograph scaled so that its height is 2 * (1.25 * h): room to
# move in both directions at every size.
cw=$((w * 5 / 4)) ch=$((h * 5 / 4))
sh=$((2 * ch))
n=$((2 * frames))
# Positions are triangle waves (the camera pans back at the edge), in source pixels per
# picture: 2.5 (slow) and 11 (fast) horizontally, a fifth of that vertically.
tri() { echo "(($2) - abs(mod($1, 2 * ($2)) - ($2)))"; }
case $motion in
  still) crop="crop=$cw:$ch:(iw-$cw)/2:(ih-$ch)/2" ;;
  slow | fast)
    v=$([[ $motion == slow ]] && echo 2.5 || echo 11)
    crop="crop=$cw:$ch:'$(tri "n*$v" "iw-$cw")':'$(tri "n*$v/5" "ih-$ch")'"
    ;;
  zoom)
    # crop sets its size once, so the photograph is scaled up by 0.25% per
    # picture instead and a window of fixed size taken from its middle.
    crop="scale=w='trunc(iw*pow(1.0025,n)/2)*2':h=-2:eval=frame:flags=lanczos,crop=$cw:$ch:(iw-$cw)/2:(ih-$ch)/2"
    ;;
  *)
    echo "make-photo-clip: unknown motion '$motion'" >&2
    exit 2
    ;;
esac

mkdir -p "$out"
ff=(ffmpeg -nostdin -hide_banner -v error -y)
"${ff[@]}" -loop 1 -framerate 50 -i "$photo" \
  -vf "scale=-2:$sh:flags=lanczos,$crop,scale=$w:$h:flags=lanczos,format=yuv420p" \
  -frames:v "$n" -f yuv4mpegpipe "$out/progressive.y4m"
"${ff[@]}" -i "$out/progressive.y4m" -vf "tinterlace=interleave_top,setfield=tff" \
  -f yuv4mpegpipe "$out/input.y4m"
