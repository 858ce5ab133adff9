#!/usr/bin/env bash
# Sets up, builds and launches Kestrune.
#
# Without Apple's tools (/usr/bin/xcrun) or without maestro-runner, or when
# asked with --demo or KESTRUNE_DEMO=1, the application starts on the
# simulated device lab (kestrune-sim, test and demo equipment) with settings
# and reports of its own under ${XDG_DATA_HOME:-~/.local/share}/kestrune-demo,
# so trying the demo never changes a real setup. KESTRUNE_DEMO=0 forces the
# real tools.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=demo-env.sh
source "$root/scripts/demo-env.sh"

args=()
for arg in "$@"; do
    if [[ "$arg" == "--demo" ]]; then export KESTRUNE_DEMO=1; else args+=("$arg"); fi
done

"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
app="$root/build/src/app/kestrune"
[[ -x "$app" ]] || app="$root/build/src/app/Kestrune.app/Contents/MacOS/Kestrune"

if [[ "$(kestrune_choose_demo)" == "1" ]]; then
    kestrune_enter_demo "$root/build/tools/sim/kestrune-sim"
    echo "launch: starting on the simulated device lab (demo); open the workspace $root/demo/workspace" >&2
    echo "launch: demo settings, lab and reports live in $KESTRUNE_DEMO_DIR" >&2
fi

exec "$app" ${args[@]+"${args[@]}"}
