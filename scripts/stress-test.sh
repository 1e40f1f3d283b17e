#!/usr/bin/env bash
# Runs the whole suite again and again while other processes keep every core busy, to show that no
# verdict depends on timing: scripts/stress-test.sh [runs, default 5] [ctest options...].
# Each run is `ctest -j16` in the normal, the sanitizer and the thread sanitizer build; the first
# failure ends it.
# Not part of CI: it takes a while and loads the machine on purpose.
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-5}"
shift || true
scripts/deps.sh
dirs=()
for variant in normal sanitize thread; do dirs+=("$(scripts/build.sh "$variant")"); done

# Eight busy loops, one per core on the machines we build on, niced like nothing: they compete as equals.
load=()
for _ in $(seq 8); do
  (while :; do :; done) &
  load+=($!)
done
trap 'kill "${load[@]}" 2>/dev/null || true' EXIT
echo "Load: ${#load[@]} busy processes on $(nproc) cores"

for run in $(seq "$runs"); do
  for dir in "${dirs[@]}"; do
    echo "=== run $run of $runs: $dir"
    start=$SECONDS
    if ! ctest --test-dir "$dir" --output-on-failure -j16 "$@"; then
      echo "!! run $run failed in $dir"
      exit 1
    fi
    echo "=== run $run: $dir passed in $((SECONDS - start)) s"
  done
done
echo "All $runs runs passed in every build under load."
