#!/usr/bin/env bash
# Installs what is missing, builds, and starts the service program with the simulated provider as an
# ordinary program (its log on the console). Arguments are handed on to VELCORA.EXE.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
# Only what a session needs: the service, the simulated provider and the two setup stand-ins.
dir=$(scripts/build.sh normal VELCORA.EXE simtsp svcctl tspctl)
# The simulated provider is entered in the machine's provider list once, as a provider's setup would.
"$dir/bin/tspctl" add SIMTSP.TSP
# The settings file is written back at shutdown; the bundled one stays as it is.
settings="$dir/VELCORA.INI"
[ -f "$settings" ] || cp conf/VELCORA.INI "$settings"
export VELCORA_SHOW_STATE="${VELCORA_SHOW_STATE:-1}"
# Outside parties reach the simulated phone system through its control socket.
export SIMTSP_CONTROL="${SIMTSP_CONTROL:-$PWD/$dir/simtsp.sock}"
# The rolling log file goes to the working directory.
cd "$dir"
exec bin/VELCORA.EXE -c "$OLDPWD/$settings" -l "$OLDPWD/conf/log4cxx.xml" "$@"
