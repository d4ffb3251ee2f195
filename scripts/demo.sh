#!/usr/bin/env bash
# Sets up, builds and runs the main job on the built-in sample clip.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
mkdir -p demo
./build/wdeint --verbose --demo demo
echo "demo: see demo/input.y4m, demo/output.y4m and demo/before-after.png"
