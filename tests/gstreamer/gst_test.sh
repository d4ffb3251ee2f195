#!/usr/bin/env bash
# The wdeinterlace element in the real gst-launch-1.0 and gst-inspect-1.0:
# its description, its bytes against wdeint's for the same frames and options,
# mixed streams, a strided buffer, a bad region file, a decode-and-encode
# pipeline from a container, and the leaks tracer.
# Usage: gst_test.sh WDEINT PLUGIN_DIR WORK_DIR
set -uo pipefail
wdeint=$1
export GST_PLUGIN_PATH=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
export GST_REGISTRY="$work/registry.bin"
# Uninstrumented gst-launch-1.0 loading a sanitizer build of the plug-in.
if [[ -n ${WDI_SANITIZER_PRELOAD:-} ]]; then
  export LD_PRELOAD=$WDI_SANITIZER_PRELOAD ASAN_OPTIONS=detect_leaks=0
fi
command -v gst-launch-1.0 >/dev/null || { echo "gst-launch-1.0 missing"; exit 77; }

passed=0
failed=0
check() { # check NAME COMMAND...: passes when the command succeeds
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
  fi
}
launch() { timeout 120 gst-launch-1.0 -q "$@" >"$work/launch.log" 2>&1; }

# The frame payloads of a YUV4MPEG2 file: header and FRAME lines dropped.
payload() {
  python3 - "$1" "$2" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read()
head, rest = data.split(b'\n', 1)
tags = dict((t[:1], t[1:]) for t in head.split()[1:])
w, h = int(tags[b'W']), int(tags[b'H'])
size = w * h + 2 * ((w + 1) // 2) * ((h + 1) // 2)
out = bytearray()
while rest:
    line, rest = rest.split(b'\n', 1)
    out += rest[:size]
    rest = rest[size:]
open(sys.argv[2], 'wb').write(out)
EOF
}

# --- the element and its properties ------------------------------------------
gst-inspect-1.0 wdeinterlace >"$work/inspect.txt" 2>&1
check "gst-inspect lists the element" grep -q "Filter/Effect/Video/Deinterlace" "$work/inspect.txt"
for p in mode fields tff method search-area detection-threshold block-distance-threshold \
  replacement-threshold replace-only-interlaced search-on-interpolated region-file; do
  check "property $p" grep -q "^  $p *:" "$work/inspect.txt"
done

# --- bytes against wdeint -------------------------------------------------------
# 200x116: not a multiple of 16, and GStreamer's I420 strides are the widths.
"$wdeint" --quiet --demo "$work/demo" --demo-size 200x116 --demo-frames 6 --method 0
clip=$work/demo/input.y4m
payload "$clip" "$work/in.raw"
printf '[[(0,0)-(99,63)]]\r\npresent=0\r\n' >"$work/region.rect"
raw() { # raw TFF(true|false) ELEMENT-OPTIONS...: the element on the raw clip
  local tff=$1
  shift
  launch filesrc location="$work/in.raw" ! \
    rawvideoparse format=i420 width=200 height=116 framerate=25/1 interlaced=true \
    top-field-first="$tff" ! wdeinterlace "$@" ! filesink location="$work/gst.raw"
}
same() { # same WDEINT-OPTIONS...: gst.raw equals wdeint's bytes
  "$wdeint" --quiet "$@" "$clip" "$work/wd.y4m" && payload "$work/wd.y4m" "$work/wd.raw" &&
    cmp -s "$work/gst.raw" "$work/wd.raw"
}
for order in tff bff; do
  tff=$([[ $order == tff ]] && echo true || echo false)
  for method in 2 4 5 6; do
    raw "$tff" fields=all method=$method replacement-threshold=9
    check "fields=all $order method $method" same --rate field --field-order "$order" \
      --method $method --replacement-threshold 9
  done
  raw "$tff" fields=top
  check "fields=top $order" same --keep-field top
  # Method 6 holds a frame back and reads both neighbours; the last one goes out at EOS.
  raw "$tff" fields=top method=6
  check "fields=top $order method 6" same --keep-field top --field-order "$order" --method 6
  raw "$tff" fields=bottom region-file="$work/region.rect"
  check "fields=bottom with a region, $order" same --region "$work/region.rect"
done
# tff forced against the buffers' own order.
raw false fields=all tff=tff
check "tff=tff forced" same --rate field --field-order tff

# A strided buffer: rows 256 and 128 bytes apart, chroma planes at offsets of their own.
python3 - "$work/in.raw" "$work/strided.raw" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read()
w, h, cw, ch = 200, 116, 100, 58
frame = w * h + 2 * cw * ch
out = bytearray()
for f in range(len(data) // frame):
    p = data[f * frame:(f + 1) * frame]
    for y in range(h): out += p[y * w:(y + 1) * w] + b'\x10' * 56
    for c in range(2):
        base = w * h + c * cw * ch
        for y in range(ch): out += p[base + y * cw:base + (y + 1) * cw] + b'\x80' * 28
open(sys.argv[2], 'wb').write(out)
EOF
launch filesrc location="$work/strided.raw" ! \
  rawvideoparse format=i420 width=200 height=116 framerate=25/1 interlaced=true \
  top-field-first=true plane-strides="<256,128,128>" plane-offsets="<0,29696,37120>" \
  frame-size=44544 ! wdeinterlace fields=all ! videoconvert ! \
  video/x-raw,format=I420 ! filesink location="$work/gst.raw"
check "strided input buffers" same --rate field

# A flushing seek back to an earlier frame while the stream plays: what comes
# out after it is wdeint's segment from that frame (method 6 reads the frame
# before it as the stream gives it again), and nothing kept from before the
# seek. A clip of 16 frames, so that the element is well past the target.
"$wdeint" --quiet --demo "$work/demo16" --demo-size 200x116 --demo-frames 16 --method 0
payload "$work/demo16/input.y4m" "$work/in16.raw"
if cc -std=c99 -Wall -Wextra -Werror -o "$work/seek_client" "$(dirname "$0")/seek_client.c" \
  $(pkg-config --cflags --libs gstreamer-1.0 gstreamer-app-1.0) 2>"$work/cc.log"; then
  for first in 3 5; do
    for props in "method=6 fields=all" "method=4 fields=top"; do
      timeout 120 "$work/seek_client" "$work/in16.raw" 200 116 "$first" "$work/gst.raw" "$props" \
        >"$work/seek.log" 2>&1
      opts=(--frames "$first" --method "${props:7:1}")
      [[ $props == *all ]] && opts+=(--rate field) || opts+=(--keep-field top)
      clip=$work/demo16/input.y4m check "flushing seek back to frame $first, $props" same "${opts[@]}"
    done
  done
else
  check "seek client builds" false
  cat "$work/cc.log"
fi

# Timestamps: fields=all doubles the frame rate and halves the durations.
timeout 120 gst-launch-1.0 -v filesrc location="$clip" ! y4mdec ! wdeinterlace fields=all ! fakesink \
  >"$work/caps.log" 2>&1
check "fields=all doubles the frame rate" grep -q "progressive.*framerate=(fraction)50/1" \
  "$work/caps.log"

# --- mixed streams: the progressive buffers pass unchanged ------------------------
# 2:3 pulldown of 24p: of every five frames three are progressive, two interlaced.
launch videotestsrc num-buffers=24 pattern=ball ! video/x-raw,format=I420,width=320,height=240,framerate=24/1 ! \
  interlace field-pattern=2:3 ! tee name=t \
  t. ! queue ! filesink location="$work/mixed-in.raw" \
  t. ! queue ! wdeinterlace fields=top method=2 ! filesink location="$work/mixed-out.raw"
mixed_same=$(python3 - "$work/mixed-in.raw" "$work/mixed-out.raw" <<'EOF'
import sys
a, b = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read()
f = 320 * 240 * 3 // 2
n = len(a) // f
same = sum(a[i * f:(i + 1) * f] == b[i * f:(i + 1) * f] for i in range(n))
print(f"{same} {n} {len(a) == len(b)}")
EOF
)
read -r same_frames all_frames equal_length <<<"$mixed_same"
check "mixed: progressive buffers byte-identical, interlaced ones processed" \
  test "$equal_length" = True -a "$same_frames" -eq $((all_frames * 3 / 5)) -a "$all_frames" -gt 0
launch videotestsrc num-buffers=4 ! video/x-raw,format=I420,width=64,height=48 ! \
  wdeinterlace method=2 ! filesink location="$work/prog-out.raw"
launch videotestsrc num-buffers=4 ! video/x-raw,format=I420,width=64,height=48 ! \
  filesink location="$work/prog-in.raw"
check "progressive input passes through" cmp -s "$work/prog-in.raw" "$work/prog-out.raw"

# --- a bad region file: an element error, no crash ------------------------------
printf '[[(5,5)-(1,1)]]\r\npresent=1\r\n' >"$work/bad.rect"
timeout 120 gst-launch-1.0 filesrc location="$clip" ! y4mdec ! wdeinterlace region-file="$work/bad.rect" ! \
  fakesink >"$work/bad.log" 2>&1
status=$?
check "bad region file: error exit" test "$status" -ne 0
check "bad region file: clear message" grep -q "is not a region file this filter takes" \
  "$work/bad.log"

# --- decode and encode a real container file --------------------------------------
if command -v ffmpeg >/dev/null && gst-inspect-1.0 avdec_h264 >/dev/null 2>&1 &&
  gst-inspect-1.0 x264enc >/dev/null 2>&1; then
  ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=720x576:rate=50 -t 1 \
    -vf "tinterlace=interleave_top,setfield=tff" -c:v libx264 -flags +ildct+ilme \
    -pix_fmt yuv420p -y "$work/interlaced.mkv"
  launch filesrc location="$work/interlaced.mkv" ! matroskademux ! h264parse ! avdec_h264 ! \
    videoconvert ! wdeinterlace fields=all ! videoconvert ! x264enc ! matroskamux ! \
    filesink location="$work/out.mkv"
  check "decode, deinterlace and encode an .mkv to EOS" test -s "$work/out.mkv"
  frames=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames \
    -of csv=p=0 "$work/out.mkv")
  check "one output frame per field (got $frames)" test "$frames" -eq 50
fi

# --- no leaks ------------------------------------------------------------------------
GST_TRACERS=leaks GST_DEBUG=GST_TRACER:7 timeout 120 gst-launch-1.0 -q filesrc location="$clip" ! y4mdec ! \
  wdeinterlace fields=all method=6 ! fakesink >"$work/leaks.log" 2>&1
check "leaks tracer: nothing alive at the end" bash -c "! grep -qE 'object-alive, type-name=\\(string\\)[^%]' '$work/leaks.log'"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
