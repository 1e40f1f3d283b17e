#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: in the normal and in the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
jobs=$(nproc)
status=0
for variant in normal sanitize; do
  echo "=== $variant build"
  dir=$(scripts/build.sh "$variant")
  echo "=== $variant tests"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" || status=1
done
exit $status
