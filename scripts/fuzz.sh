#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (build-fuzz/) and runs each for a bounded time.
#
#   scripts/fuzz.sh --smoke           about a minute per target (what CI runs)
#   scripts/fuzz.sh --minutes 10      the long run, per target
#   scripts/fuzz.sh --minutes 10 --jobs 2 region_file engine
#                                     named targets only, two at a time
#   scripts/fuzz.sh --build           build only
#
# Each run starts from the committed seeds (tests/fuzz/corpus/<target>/) and
# the regressions (tests/fuzz/regressions/<target>/), which are replayed
# first; new inputs go to build-fuzz/corpus/<target>/, never into the tree.
# A crash leaves its input in build-fuzz/artifacts/ and fails the script;
# copy it into tests/fuzz/regressions/<target>/ once it is fixed. Each
# target's last lines (inputs tried, coverage) are in build-fuzz/logs/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
jobs=1
build_only=0
targets=()
while (($#)); do
  case "$1" in
    --smoke) seconds=60 ;;
    --minutes) seconds=$(($2 * 60)); shift ;;
    --seconds) seconds=$2; shift ;;
    --jobs) jobs=$2; shift ;;
    --build) build_only=1 ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
all=(region_file y4m vf_action engine)
((${#targets[@]})) || targets=("${all[@]}")

build=build-fuzz
# Every library gets the sanitizers (WDI_SANITIZE) and the fuzzer's coverage
# instrumentation; only the targets link libFuzzer's main.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-O1 -g -fsanitize=fuzzer-no-link" \
  -DWDI_SANITIZE=ON -DWDI_FUZZ=ON -DWDI_TESTS=OFF -DWDI_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"
((build_only)) && exit 0

mkdir -p "$build/artifacts" "$build/logs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Runs one target for $seconds; its log keeps libFuzzer's statistics.
run() {
  local t=$1 corpus=$build/corpus/$1 log=$build/logs/$1.log
  local dirs=("$corpus" "tests/fuzz/corpus/$t")
  mkdir -p "$corpus"
  [[ -d tests/fuzz/regressions/$t ]] && dirs+=("tests/fuzz/regressions/$t")
  local extra=()
  [[ -f tests/fuzz/$t.options ]] && read -r -a extra <"tests/fuzz/$t.options"
  if "$build/fuzz/fuzz_$t" "${dirs[@]}" -max_total_time="$seconds" -timeout=25 \
       -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" \
       "${extra[@]}" >"$log" 2>&1; then
    local tried
    tried=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $t: ok, ${tried:-?} inputs in ${seconds} s"
  else
    echo "fuzz $t: FAILED (log: $log)"
    tail -n 40 "$log"
    return 1
  fi
}

status=0
pids=()
names=()
for t in "${targets[@]}"; do
  if ((jobs > 1)); then
    run "$t" &
    pids+=($!)
    names+=("$t")
    if ((${#pids[@]} >= jobs)); then
      wait "${pids[0]}" || status=1
      pids=("${pids[@]:1}")
    fi
  else
    run "$t" || status=1
  fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
exit $status
