# Sourced by the GStreamer benchmarks. gst_bench_setup NAME [TOOL...]: checks
# that gst-launch-1.0 and the TOOLs are there, builds wdeint and the element in
# $BUILD (configured when new; BUILD becomes absolute), and points GStreamer at
# the element and at a registry of its own in WORK, a folder removed on exit.
gst_bench_setup() {
  local name=$1 tool
  shift
  for tool in gst-launch-1.0 "$@"; do
    command -v "$tool" >/dev/null || { echo "$name: $tool is missing" >&2; exit 1; }
  done
  if [[ ! -f $BUILD/build.ninja ]]; then
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWDI_WERROR=ON >/dev/null
  fi
  cmake --build "$BUILD" --target wdeint gstwdeinterlace >&2
  BUILD=$(cd "$BUILD" && pwd)
  export GST_PLUGIN_PATH=$BUILD/gstreamer
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/$name.XXXXXX")
  trap 'rm -rf "$WORK"' EXIT
  export GST_REGISTRY=$WORK/registry.bin
}
