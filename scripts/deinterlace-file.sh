#!/usr/bin/env bash
# An interlaced file with audio to a finished H.264 file, through wdeint:
#
#   scripts/deinterlace-file.sh IN OUT [wdeint options]
#
# ffmpeg decodes the video into a YUV4MPEG2 pipe (4:2:0, 4:2:2, 4:4:4 and
# 4:1:1 as they are; other formats converted field by field to 4:2:2), wdeint
# deinterlaces it, and a second ffmpeg encodes it (libx264, CRF $CRF, default
# 18) with every audio stream of IN copied. The pipe carries no timestamps, so
# the video's start relative to the file's start (a .ts cut anywhere starts
# late) is put back with -itsoffset: audio stays in sync. Environment: WDEINT
# (default build/wdeint), CRF.
set -euo pipefail
if [[ $# -lt 2 ]]; then
  sed -n '2,12p' "$0"
  exit 2
fi
in=$1
out=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
wdeint=${WDEINT:-$here/../build/wdeint}

# sed, not head: a .ts lists its streams once more under its programs, and ffprobe killed by
# SIGPIPE when head leaves early would end the script (pipefail).
probe() { ffprobe -v error -select_streams v:0 -show_entries "$1" -of csv=p=0 "$in" | sed -n 1p; }
pix_fmt=$(probe stream=pix_fmt)
video_start=$(probe stream=start_time)
file_start=$(ffprobe -v error -show_entries format=start_time -of csv=p=0 "$in")
offset=$(awk -v v="${video_start:-0}" -v f="${file_start:-0}" \
  'BEGIN { d = v - f; if (d < 0 || v == "N/A" || f == "N/A") d = 0; printf "%.6f", d }')
case $pix_fmt in
  yuv420p | yuvj420p | yuv422p | yuvj422p | yuv444p | yuvj444p | yuv411p) convert=() ;;
  *) convert=(-vf "scale=interl=1,format=yuv422p") ;;
esac

ffmpeg -nostdin -v error -i "$in" -map 0:v:0 "${convert[@]}" -fps_mode passthrough -f yuv4mpegpipe -strict -1 - |
  "$wdeint" --quiet "$@" - - |
  ffmpeg -v error -y -itsoffset "$offset" -f yuv4mpegpipe -i - -i "$in" \
    -map 0:v -map '1:a?' -fps_mode passthrough -c:v libx264 -crf "${CRF:-18}" -pix_fmt yuv420p -c:a copy "$out"
