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
# The service's threads meet the provider's in the event burst: once under ThreadSanitizer.
echo "=== thread sanitizer: the event burst"
dir=$(scripts/build.sh thread e2e_calls_test)
ctest --test-dir "$dir" --output-on-failure -R '^e2e_calls_test$' || status=1
# The fuzz targets of the protocol path, a minute each in a clang sanitizer build; a finding fails.
echo "=== fuzzing"
scripts/fuzz.sh 60 || status=1
exit $status
