#!/usr/bin/env bash
# Installs what is missing, builds the service with the benchmark and its echo floor, runs it and writes
# bench/RESULTS.md.
# scripts/bench.sh [--build-dir DIR] [--profile] [velcora_bench options...]
#   --build-dir DIR  build there instead of the normal build directory (build/)
#   --profile        afterwards, record the service under perf during the round trip and the burst (WARN)
#                    and write the flat profiles per thread to DIR/bench-profile/
set -euo pipefail
cd "$(dirname "$0")/.."

dir=""
profile=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) dir=$2; shift 2 ;;
    --profile) profile=1; shift ;;
    *) break ;;
  esac
done

scripts/deps.sh
if [ -z "$dir" ]; then
  dir=$(scripts/build.sh normal velcora_bench velcora_echo_floor)
else
  cmake -S . -B "$dir" -G Ninja >&2
  ninja -C "$dir" velcora_bench velcora_echo_floor >&2
fi
"$dir/bin/velcora_bench" --results bench/RESULTS.md "$@"
echo "Written: bench/RESULTS.md"

[ $profile -eq 1 ] || exit 0
scripts/deps.sh linux-perf
out="$dir/bench-profile"
mkdir -p "$out"
for part in roundtrip burst; do
  # perf follows the bench's child, the service; its samples are told apart by the program name.
  perf record -q -g -F 2000 -o "$out/$part.data" -- \
    "$dir/bin/velcora_bench" --levels WARN --only "$part" "$@" >"$out/$part.table"
  perf report -i "$out/$part.data" --comm VELCORA.EXE --percentage relative --no-children -g none --percent-limit 0.5 --stdio \
    --sort pid,dso,symbol >"$out/$part.txt" 2>/dev/null
  echo "Profile of the $part: $out/$part.txt"
done
