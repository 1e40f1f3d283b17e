#!/usr/bin/env bash
# Configures and builds one variant: scripts/build.sh [normal|sanitize|thread] [targets...]; prints the
# build directory. Without targets everything is built.
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-normal}" in
  normal) dir=build; options=() ;;
  sanitize) dir=build-asan; options=(-DVELCORA_SANITIZE=ON) ;;
  thread) dir=build-tsan; options=(-DVELCORA_SANITIZE_THREAD=ON) ;;
  *) echo "usage: $0 [normal|sanitize|thread] [targets...]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -G Ninja "${options[@]}" >&2
ninja -C "$dir" "${@:2}" >&2
echo "$dir"
