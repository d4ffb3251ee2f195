#!/usr/bin/env bash
# Native build into build/ (release, warnings as errors): produces build/wdeint.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DWDI_WERROR=ON >/dev/null
cmake --build build
