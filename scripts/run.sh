#!/usr/bin/env bash
# Installs what is missing, builds, and starts the service program.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
dir=$(scripts/build.sh normal)
if [ ! -x "$dir/bin/VELCORA.EXE" ]; then
  echo "Built so far (the service program is not part of this build yet):"
  ls -1 "$dir/bin" "$dir/tests"
  exit 0
fi
exec "$dir/bin/VELCORA.EXE" "$@"
