#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and the extra ones named, when any of them
# is missing: scripts/deps.sh [extra packages...].
set -euo pipefail

# netcat-openbsd: the README's sessions speak to the service and to the simulated provider with nc.
packages=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev liblog4cxx-dev netcat-openbsd "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y "${missing[@]}"
