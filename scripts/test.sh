#!/usr/bin/env bash
# Sets up, builds and runs every test: the native build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, warnings as errors throughout.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
jobs=$(nproc)

echo "== format check"
bash scripts/format.sh --check

echo "== native build and tests"
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== sanitizer build and tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWDI_WERROR=ON -DWDI_SANITIZE=ON \
  -DWDI_BENCH=OFF -DCMAKE_CXX_FLAGS=-O1 >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz smoke"
bash scripts/fuzz.sh --smoke

echo "== win32 module under wine"
bash scripts/test-win32.sh

echo "== region files against the platform's profile functions under wine"
bash scripts/test-region-wine.sh build-win32

echo "== dialogs of the real module under wine"
bash scripts/test-dialogs-wine.sh
