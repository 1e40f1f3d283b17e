#!/usr/bin/env bash
# Formats the tree's C++ sources and headers with clang-format: scripts/format.sh [--check]. With --check
# nothing is changed; each file that differs from its formatted form is reported and the exit is non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
  "") mode=(-i) ;;
  --check) mode=(--dry-run --Werror) ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac
scripts/deps.sh clang-format
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format "${mode[@]}"
