#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: in the normal, the sanitizer and the thread
# sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
jobs=$(nproc)
status=0
for variant in normal sanitize thread; do
  echo "=== $variant build"
  dir=$(scripts/build.sh "$variant")
  echo "=== $variant tests"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" || status=1
done
# The fuzz targets of the protocol path, a minute each in a clang sanitizer build; a finding fails.
echo "=== fuzzing"
scripts/fuzz.sh 60 || status=1
exit $status
