#!/usr/bin/env bash
# Runs every command of the README's Recipes section, as it stands there, on
# interlaced clips with audio made by ffmpeg, and checks what each promises.
# Usage: recipes_test.sh REPO BUILD_DIR WORK_DIR
set -uo pipefail
repo=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$3
command -v ffmpeg >/dev/null || { echo "no ffmpeg"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
ln -s "$build" build
# The source tree too, for the build recipe.
for f in scripts CMakeLists.txt cmake src include tests bench; do ln -s "$repo/$f" "$f"; done
export WDEINT=$build/wdeint
if [[ -n ${WDI_SANITIZER_PRELOAD:-} ]]; then
  # Uninstrumented hosts (ffmpeg, melt, gst-launch-1.0) loading sanitizer-built plug-ins.
  export ASAN_OPTIONS=detect_leaks=0
  host_env=(env "LD_PRELOAD=$WDI_SANITIZER_PRELOAD")
else
  host_env=()
fi

passed=0
failed=0
check() {
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

# The clips: 720x576, 25 interlaced frames/s (top field first), 2 s, a tone.
ff=(ffmpeg -nostdin -v error -y)
"${ff[@]}" -f lavfi -i testsrc2=size=720x576:rate=50 -f lavfi -i sine=frequency=440:sample_rate=48000 \
  -t 2 -vf "tinterlace=interleave_top,setfield=tff" -c:v libx264 -flags +ildct+ilme \
  -pix_fmt yuv420p -c:a aac -shortest in.mkv
# A .ts whose video starts 0.5 s after its audio, as a cut broadcast does.
"${ff[@]}" -itsoffset 0.5 -i in.mkv -i in.mkv -map 0:v -map 1:a -c copy -f mpegts in.ts
# A width that is no multiple of 16 and an odd height (4:4:4, lossless).
"${ff[@]}" -i in.mkv -vf "format=yuv444p,crop=706:575:0:0" -c:v ffv1 -pix_fmt yuv444p -c:a copy in-odd.mkv

# The clip as YUV4MPEG2, for wdeint's own runs.
"${ff[@]}" -i in.mkv -fps_mode passthrough -f yuv4mpegpipe in.y4m

# The commands of a recipe, from the README.
recipe() {
  awk -v name="$1" '
    $0 == "<!-- recipe " name " -->" { on = 1; next }
    on && /^    / { sub(/^    /, ""); print; seen = 1; next }
    on && seen { exit }' "$repo/README.md"
}
run_recipe() {
  local name=$1 text
  text=$(recipe "$name")
  [[ -n $text ]] || { echo "no recipe $name in the README"; return 1; }
  rm -f out.mkv
  local status=0
  "${host_env[@]}" bash -e -c "$text" >"$name.log" 2>&1 || status=$?
  if ((status != 0)); then
    # The status too: a pipeline cut by a signal leaves no message of its own.
    echo "recipe $name exited with status $status"
    cat "$name.log"
    return 1
  fi
}

stream() { ffprobe -v error -select_streams "$2" -show_entries "stream=$3" -of csv=p=0 "$1" | head -1; }
frames() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"; }
plays() { ffmpeg -nostdin -v error -i "$1" -f null - 2>&1 | grep -q . && return 1 || return 0; }
start() { ffprobe -v error -select_streams "$2" -show_entries packet=pts_time -of csv=p=0 "$1" | head -1; }
# The video's start relative to the audio's, in the output against the input, within one
# frame of the input.
in_sync() {
  local in=$1 out=$2 rate
  rate=$(stream "$in" v:0 r_frame_rate)
  awk -v vi="$(start "$in" v:0)" -v ai="$(start "$in" a:0)" -v vo="$(start "$out" v:0)" \
    -v ao="$(start "$out" a:0)" -v r="$rate" 'BEGIN { split(r, q, "/"); d = (vo - ao) - (vi - ai);
      if (d < 0) d = -d; exit !(d <= q[2] / q[1]) }'
}
promises() { # promises NAME INPUT FRAMES RATE PIXFMT
  local name=$1 in=$2
  check "$name: plays to the end" plays out.mkv
  check "$name: $3 frames" test "$(frames out.mkv)" = "$3"
  check "$name: $4 frames/s" test "$(stream out.mkv v:0 r_frame_rate)" = "$4"
  check "$name: progressive" test "$(stream out.mkv v:0 field_order)" = progressive
  check "$name: $5" test "$(stream out.mkv v:0 pix_fmt)" = "$5"
  check "$name: audio" test "$(stream out.mkv a:0 codec_type)" = audio
  check "$name: audio in sync" in_sync "$in" out.mkv
}

check "cli-build" run_recipe cli-build
check "cli-build: wdeint built" test -x build-cli/wdeint

# Lossless, so that the frames can be compared with wdeint's own.
CRF=0 run_recipe pipe-field && {
  promises pipe-field in.mkv 100 50/1 yuv420p
  "$WDEINT" --quiet --rate field in.y4m wd.y4m
  "${ff[@]}" -i wd.y4m -fps_mode passthrough -f rawvideo wd.yuv
  "${ff[@]}" -i out.mkv -fps_mode passthrough -f rawvideo out.yuv
  check "pipe-field: wdeint's bytes" cmp -s wd.yuv out.yuv
} || check "pipe-field runs" false
run_recipe pipe-ts && promises pipe-ts in.ts 50 25/1 yuv420p || check "pipe-ts runs" false

# ffmpeg's YUV4MPEG2 muxer may repeat the first frame of a clip whose video starts late.
run_recipe pipe-video && {
  check "pipe-video: plays" plays out.mkv
  check "pipe-video: 50 frames/s" test "$(stream out.mkv v:0 r_frame_rate)" = 50/1
  check "pipe-video: progressive" test "$(stream out.mkv v:0 field_order)" = progressive
} || check "pipe-video runs" false
rm -f view.y4m view.png
run_recipe show-detection && check "show-detection: a picture" test -s view.png ||
  check "show-detection runs" false

run_recipe frei0r && promises frei0r in.mkv 50 25/1 yuv420p || check "frei0r runs" false
run_recipe frei0r-pad && {
  promises frei0r-pad in-odd.mkv 50 25/1 yuv444p
  check "frei0r-pad: size kept ($(stream out.mkv v:0 width)x$(stream out.mkv v:0 height))" test "$(stream out.mkv v:0 width),$(stream out.mkv v:0 height)" = 706,575
} || check "frei0r-pad runs" false
# The warning of the plug-in for such widths, once.
"${host_env[@]}" env FREI0R_PATH=build/frei0r ffmpeg -nostdin -v error -i in-odd.mkv -t 0.2 \
  -vf format=bgra,frei0r=wdeinterlace -f null - 2>warn.log
check "frei0r: one warning for a width that is no multiple of 16" \
  test "$(grep -c 'not a multiple of 16' warn.log)" = 1

if command -v melt >/dev/null; then
  # melt writes one frame past the out point of the clip.
  run_recipe melt && {
    promises melt in.mkv 51 25/1 yuv420p
  } || check "melt runs" false
fi
if command -v gst-launch-1.0 >/dev/null && [[ -d build/gstreamer ]]; then
  run_recipe gstreamer && promises gstreamer in.mkv 100 50/1 yuv420p || check "gstreamer runs" false
fi

echo "$passed passed, $failed failed"
((failed == 0))
