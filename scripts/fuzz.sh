#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time on a copy of its corpus:
# scripts/fuzz.sh [seconds per target, default 60]. Exits non-zero on any crash, hang, leak or
# sanitizer report; the finding and the run's log stay in build-fuzz/run/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
targets=(line_fuzzer struct_text_fuzzer)

# clang and its libFuzzer runtime (libclang-rt-dev, only recommended by clang).
scripts/deps.sh clang libclang-rt-dev

cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVELCORA_FUZZ=ON >/dev/null
ninja -C build-fuzz "${targets[@]}"

failed=()
for target in "${targets[@]}"; do
  run="build-fuzz/run/$target"
  rm -rf "$run"
  mkdir -p "$run/corpus"
  cp fuzz/corpus/"$target"/* "$run/corpus/"
  echo "== $target: $seconds s"
  status=0
  # A hang of 10 s is a finding; log4cxx and the time scale are not taken from the shell.
  env LOG4CXX_CONFIGURATION= VELCORA_TIME_SCALE= "build-fuzz/bin/$target" -max_total_time="$seconds" \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$run/" "$run/corpus" >"$run/log" 2>&1 || status=$?
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$run/log" || true
  if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:' "$run/log"; then
    echo "!! $target failed (exit $status); log and finding in $run/"
    grep -E 'ERROR:|runtime error:|SUMMARY:|Test unit written' "$run/log" | head -20 || true
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Findings in: ${failed[*]}"
  exit 1
fi
echo "No findings."
