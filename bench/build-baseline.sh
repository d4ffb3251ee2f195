#!/usr/bin/env bash
# Builds wdeint as it was at COMMIT, for compare-peers.sh's BASELINE (before and after in
# one run of the script).
#
#   bench/build-baseline.sh COMMIT [DIR]   -> prints DIR/build/wdeint (default DIR:
#                                             /tmp/wdeint-baseline-COMMIT)
set -euo pipefail
cd "$(dirname "$0")/.."
[[ $# -ge 1 ]] || {
  echo "usage: $0 COMMIT [DIR]" >&2
  exit 2
}
commit=$(git rev-parse --short "$1")
dir=${2:-${TMPDIR:-/tmp}/wdeint-baseline-$commit}
if [[ ! -d $dir/src ]]; then
  rm -rf "$dir"
  git worktree add --detach "$dir" "$commit" >&2
fi
cmake -S "$dir" -B "$dir/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir/build" --target wdeint >&2
echo "$dir/build/wdeint"
