#!/usr/bin/env bash
# Deinterlaces a YUV4MPEG2 file in segments run side by side with GNU parallel
# (one `wdeint --frames FIRST:COUNT` per segment), joins the pieces, and checks
# the joined file against one whole run of the same options.
#
#   scripts/segments.sh [--wdeint PATH] [--jobs N] [--segment FRAMES] IN.y4m OUT.y4m [wdeint options]
#
# Segments are SEGMENT frames long (default 250); N jobs run at once (default:
# the processor count). Exit status 0 when the joined output equals the whole run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wdeint="$here/../build/wdeint"
jobs=$(nproc)
segment=250
while [[ $# -gt 0 ]]; do
  case "$1" in
    --wdeint) wdeint=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --segment) segment=$2; shift 2 ;;
    *) break ;;
  esac
done
if [[ $# -lt 2 ]]; then
  sed -n '2,10p' "$0"
  exit 2
fi
in=$1
out=$2
shift 2
command -v parallel >/dev/null || { echo "segments.sh: needs GNU parallel (apt-get install parallel)"; exit 2; }

# The frame count from the file size: every frame line a plain "FRAME".
header=$(head -n 1 "$in")
w=$(tr ' ' '\n' <<<"$header" | sed -n 's/^W//p')
h=$(tr ' ' '\n' <<<"$header" | sed -n 's/^H//p')
frame_bytes=$((6 + w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2)))
frames=$((($(stat -c %s "$in") - ${#header} - 1) / frame_bytes))

parts=$(mktemp -d)
trap 'rm -rf "$parts"' EXIT
# Each piece is a complete stream; the file is read at its first frame directly.
seq 0 "$segment" $((frames > 0 ? frames - 1 : 0)) |
  parallel --will-cite --halt now,fail=1 -j "$jobs" \
    "$wdeint" --quiet --threads 1 "$@" --frames "{}:$segment" "$in" "$parts/{}.y4m"

# Joined: the first piece whole, the others without their header line.
first=1
for start in $(seq 0 "$segment" $((frames > 0 ? frames - 1 : 0))); do
  if ((first)); then
    cat "$parts/$start.y4m"
    first=0
  else
    tail -n +2 "$parts/$start.y4m"
  fi
done >"$out"

"$wdeint" --quiet "$@" "$in" "$parts/whole.y4m"
if cmp -s "$out" "$parts/whole.y4m"; then
  echo "segments.sh: $frames frames in $(((frames + segment - 1) / segment)) segments: joined output equals the whole run"
else
  echo "segments.sh: joined output DIFFERS from the whole run"
  exit 1
fi
