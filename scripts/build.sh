#!/usr/bin/env bash
# Configures and builds one variant: scripts/build.sh [normal|sanitize]; prints the build directory.
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-normal}" in
  normal) dir=build; options=() ;;
  sanitize) dir=build-asan; options=(-DVELCORA_SANITIZE=ON) ;;
  *) echo "usage: $0 [normal|sanitize]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -G Ninja "${options[@]}" >&2
ninja -C "$dir" >&2
echo "$dir"
