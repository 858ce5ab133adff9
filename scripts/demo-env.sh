#!/usr/bin/env bash
# Sourced by launch.sh (and its test): the choice between the real tools and
# the simulated device lab, and the demo environment.

# Prints 1 when the application should start on the simulated lab: asked
# with KESTRUNE_DEMO=1, or Apple's tools or maestro-runner are missing.
# KESTRUNE_DEMO=0 forces the real tools. (KESTRUNE_REAL_XCRUN names another
# xcrun to look for; the launch test uses it.)
kestrune_choose_demo() {
    if [[ -n "${KESTRUNE_DEMO:-}" ]]; then
        [[ "$KESTRUNE_DEMO" == "1" ]] && echo 1 || echo 0
        return
    fi
    local runner=0
    if [[ -x "$HOME/.maestro-runner/bin/maestro-runner" ]] || command -v maestro-runner >/dev/null 2>&1; then
        runner=1
    fi
    if [[ -x "${KESTRUNE_REAL_XCRUN:-/usr/bin/xcrun}" && $runner == 1 ]]; then echo 0; else echo 1; fi
}

# Writes (or updates) the demo's own settings file and exports what points
# the application at the lab: KESTRUNE_SETTINGS_FILE, KESTRUNE_XCRUN,
# KESTRUNE_XCODEBUILD, KESTRUNE_SIM_HOME, KESTRUNE_SIM_SPEED.
# Usage: kestrune_enter_demo <path to kestrune-sim>
kestrune_enter_demo() {
    local sim="$1"
    local demo_dir="${XDG_DATA_HOME:-$HOME/.local/share}/kestrune-demo"
    local settings="$demo_dir/settings.ini"
    local runner="$demo_dir/kestrune-sim-runner"
    mkdir -p "$demo_dir/lab" "$demo_dir/reports"
    # The application starts the runner through the user's login shell, whose
    # environment does not carry the variables set here, so the runner the
    # demo's settings name is a wrapper that points the lab at the demo's
    # state itself (the device tools get the same folder from the exports).
    cat > "$runner" <<SH
#!/bin/sh
# Demo runner: the simulated device lab (test and demo equipment).
KESTRUNE_SIM_HOME='$demo_dir/lab'
KESTRUNE_SIM_SPEED="\${KESTRUNE_SIM_SPEED:-${KESTRUNE_SIM_SPEED:-human}}"
export KESTRUNE_SIM_HOME KESTRUNE_SIM_SPEED
exec '$sim' "\$@"
SH
    chmod +x "$runner"
    if [[ ! -f "$settings" ]]; then
        cat > "$settings" <<INI
[General]
hasCompletedSetup=true
isMirroringEnabled=false
appleTeamID=K7QX2M9R4T
maestroRunnerPath=$runner
reportsOutputDirectory=$demo_dir/reports
INI
    else
        # Keep what the user changed in the demo, but always use this build's lab.
        sed -i.bak -e "s|^maestroRunnerPath=.*|maestroRunnerPath=$runner|" \
                   -e "s|^reportsOutputDirectory=.*|reportsOutputDirectory=$demo_dir/reports|" "$settings"
        rm -f "$settings.bak"
        grep -q '^maestroRunnerPath=' "$settings" || printf 'maestroRunnerPath=%s\n' "$runner" >> "$settings"
        grep -q '^reportsOutputDirectory=' "$settings" || printf 'reportsOutputDirectory=%s\n' "$demo_dir/reports" >> "$settings"
    fi
    export KESTRUNE_SETTINGS_FILE="$settings"
    export KESTRUNE_XCRUN="$sim"
    export KESTRUNE_XCODEBUILD="$sim"
    export KESTRUNE_SIM_HOME="$demo_dir/lab"
    export KESTRUNE_SIM_SPEED="${KESTRUNE_SIM_SPEED:-human}"
    KESTRUNE_DEMO_DIR="$demo_dir"
}
