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
# The service's threads meet the provider's in the event burst, and threads meet in the window and
# socket layer's message waits: once under ThreadSanitizer.
echo "=== thread sanitizer: the event burst and the message waits"
threaded='e2e_calls_test plat_winsock_test plat_window_test'
dir=$(scripts/build.sh thread $threaded)
ctest --test-dir "$dir" --output-on-failure -R "^(${threaded// /|})\$" || status=1
# The fuzz targets of the protocol path, a minute each in a clang sanitizer build; a finding fails.
echo "=== fuzzing"
scripts/fuzz.sh 60 || status=1
exit $status
