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

# Prints its argument as one single-quoted /bin/sh word: every apostrophe
# becomes '\'' and nothing else is special inside the quotes.
kestrune_sh_quote() {
    local quoted=${1//\'/\'\\\'\'}
    printf "'%s'" "$quoted"
}

# Prints its argument as one quoted settings (INI) value: a backslash, a
# comma (a list otherwise), a semicolon or a quotation mark in a home path
# then reads back as written.
kestrune_ini_quote() {
    local quoted=${1//\\/\\\\}
    quoted=${quoted//\"/\\\"}
    printf '"%s"' "$quoted"
}

# Writes (or updates) the demo's own settings file and exports what points
# the application at the lab: KESTRUNE_SETTINGS_FILE, KESTRUNE_XCRUN,
# KESTRUNE_XCODEBUILD, KESTRUNE_SECURITY, KESTRUNE_SIM_HOME, KESTRUNE_SIM_SPEED.
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
    # Every value goes into the wrapper single-quoted, so a path holding an
    # apostrophe, "$(...)" or a backquote stays a path.
    {
        printf '#!/bin/sh\n'
        printf '# Demo runner: the simulated device lab (test and demo equipment).\n'
        printf 'KESTRUNE_SIM_HOME=%s\n' "$(kestrune_sh_quote "$demo_dir/lab")"
        printf 'KESTRUNE_SIM_SPEED="${KESTRUNE_SIM_SPEED:-}"\n'
        printf '[ -n "$KESTRUNE_SIM_SPEED" ] || KESTRUNE_SIM_SPEED=%s\n' "$(kestrune_sh_quote "${KESTRUNE_SIM_SPEED:-human}")"
        printf 'export KESTRUNE_SIM_HOME KESTRUNE_SIM_SPEED\n'
        printf 'exec %s "$@"\n' "$(kestrune_sh_quote "$sim")"
    } > "$runner"
    chmod +x "$runner"
    if [[ ! -f "$settings" ]]; then
        printf '[General]\nhasCompletedSetup=true\nisMirroringEnabled=true\nappleTeamID=K7QX2M9R4T\n' > "$settings"
        printf 'maestroRunnerPath=%s\nreportsOutputDirectory=%s\n' "$(kestrune_ini_quote "$runner")" \
            "$(kestrune_ini_quote "$demo_dir/reports")" >> "$settings"
    else
        # Keep what the user changed in the demo, but always use this build's
        # lab. The lines are rewritten as text: no editor's replacement syntax
        # sees the paths (an "&" or "|" in a home folder stays as it is).
        local line seen_runner=0 seen_reports=0
        {
            while IFS= read -r line || [[ -n "$line" ]]; do
                case "$line" in
                    maestroRunnerPath=*) printf 'maestroRunnerPath=%s\n' "$(kestrune_ini_quote "$runner")"; seen_runner=1 ;;
                    reportsOutputDirectory=*) printf 'reportsOutputDirectory=%s\n' "$(kestrune_ini_quote "$demo_dir/reports")"; seen_reports=1 ;;
                    *) printf '%s\n' "$line" ;;
                esac
            done < "$settings"
            [[ $seen_runner == 1 ]] || printf 'maestroRunnerPath=%s\n' "$(kestrune_ini_quote "$runner")"
            [[ $seen_reports == 1 ]] || printf 'reportsOutputDirectory=%s\n' "$(kestrune_ini_quote "$demo_dir/reports")"
        } > "$settings.new" && mv -f "$settings.new" "$settings"
    fi
    export KESTRUNE_SETTINGS_FILE="$settings"
    export KESTRUNE_XCRUN="$sim"
    export KESTRUNE_XCODEBUILD="$sim"
    export KESTRUNE_SECURITY="$sim"
    export KESTRUNE_SIM_HOME="$demo_dir/lab"
    export KESTRUNE_SIM_SPEED="${KESTRUNE_SIM_SPEED:-human}"
    KESTRUNE_DEMO_DIR="$demo_dir"
}
