#!/usr/bin/env bash
# How well `wdeint --threads 2` uses two cores, against the machine's own
# limit: two independent one-thread processes started together.
#
#   bench/thread-scaling.sh [SIZE [FRAMES [ROUNDS [wdeint options...]]]]
#   bench/thread-scaling.sh 1920x1080 300 6 --method 4
#
# Writes a demo clip of SIZE (default 1920x1080, FRAMES 300), then alternates,
# ROUNDS times (6), one thread, two threads and two concurrent one-thread
# processes on it, and prints the best wall time of each and the two
# throughput ratios against one thread. The machine should be idle.
set -euo pipefail
cd "$(dirname "$0")/.."

SIZE=${1:-1920x1080}
FRAMES=${2:-300}
ROUNDS=${3:-6}
shift $(($# < 3 ? $# : 3))
BUILD=${WDI_BUILD_DIR:-build}
if [[ ! -f $BUILD/build.ninja ]]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWDI_WERROR=ON >/dev/null
fi
cmake --build "$BUILD" --target wdeint >&2
WDEINT=$(cd "$BUILD" && pwd)/wdeint

WORK=$(mktemp -d "${TMPDIR:-/tmp}/thread-scaling.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
"$WDEINT" --quiet --demo "$WORK" --demo-size "$SIZE" --demo-frames "$FRAMES" --method 0 --threads 1
CLIP=$WORK/input.y4m

declare -A BEST
run() {
  "$WDEINT" --quiet "$@" --threads 1 "$CLIP" /dev/null
}
for ((r = 0; r < ROUNDS; r++)); do
  for mode in one two procs; do
    start=$(date +%s%N)
    case $mode in
      one) "$WDEINT" --quiet "$@" --threads 1 "$CLIP" /dev/null ;;
      two) "$WDEINT" --quiet "$@" --threads 2 "$CLIP" /dev/null ;;
      procs)
        run "$@" &
        run "$@"
        wait
        ;;
    esac
    ns=$(($(date +%s%N) - start))
    if [[ -z ${BEST[$mode]:-} || $ns -lt ${BEST[$mode]} ]]; then BEST[$mode]=$ns; fi
  done
done

printf '%s, %s frames, wdeint %s, best of %s rounds (load before: %s)\n' "$SIZE" "$FRAMES" \
  "${*:---method 4}" "$ROUNDS" "$(cut -d' ' -f1-3 /proc/loadavg)"
awk -v one="${BEST[one]}" -v two="${BEST[two]}" -v procs="${BEST[procs]}" 'BEGIN {
  printf "  one thread                 %8.1f ms\n", one / 1e6
  printf "  --threads 2                %8.1f ms   %.2fx one thread\n", two / 1e6, one / two
  printf "  two one-thread processes   %8.1f ms   %.2fx one thread (the machine'"'"'s limit)\n",
    procs / 1e6, 2 * one / procs
}'
