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

demo="${KESTRUNE_DEMO:-}"
args=()
for arg in "$@"; do
    if [[ "$arg" == "--demo" ]]; then demo=1; else args+=("$arg"); fi
done

"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
app="$root/build/src/app/kestrune"
[[ -x "$app" ]] || app="$root/build/src/app/kestrune.app/Contents/MacOS/kestrune"

if [[ -z "$demo" ]]; then
    runner_found=0
    if [[ -x "$HOME/.maestro-runner/bin/maestro-runner" ]] || command -v maestro-runner >/dev/null 2>&1; then
        runner_found=1
    fi
    if [[ -x /usr/bin/xcrun && $runner_found == 1 ]]; then demo=0; else demo=1; fi
fi

if [[ "$demo" == "1" ]]; then
    sim="$root/build/tools/sim/kestrune-sim"
    demo_dir="${XDG_DATA_HOME:-$HOME/.local/share}/kestrune-demo"
    settings="$demo_dir/settings.ini"
    mkdir -p "$demo_dir/lab" "$demo_dir/reports"
    if [[ ! -f "$settings" ]]; then
        cat > "$settings" <<INI
[General]
hasCompletedSetup=true
isMirroringEnabled=false
appleTeamID=K7QX2M9R4T
maestroRunnerPath=$sim
reportsOutputDirectory=$demo_dir/reports
INI
    else
        # Keep what the user changed in the demo, but always use this build's lab.
        sed -i.bak -e "s|^maestroRunnerPath=.*|maestroRunnerPath=$sim|" \
                   -e "s|^reportsOutputDirectory=.*|reportsOutputDirectory=$demo_dir/reports|" "$settings"
        rm -f "$settings.bak"
    fi
    export KESTRUNE_SETTINGS_FILE="$settings"
    export KESTRUNE_XCRUN="$sim"
    export KESTRUNE_XCODEBUILD="$sim"
    export KESTRUNE_SIM_HOME="$demo_dir/lab"
    export KESTRUNE_SIM_SPEED="${KESTRUNE_SIM_SPEED:-human}"
    echo "launch: starting on the simulated device lab (demo); open the workspace $root/demo/workspace" >&2
    echo "launch: demo settings, lab and reports live in $demo_dir" >&2
fi

exec "$app" ${args[@]+"${args[@]}"}
