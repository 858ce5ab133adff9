#!/usr/bin/env bash
# Screenshots of the workspace screen on the simulated device lab, under a
# virtual X server, clicked through with xdotool as a user would:
#   <out>/empty-<size>-<theme>.png     the first window, no workspace
#   <out>/selected-<size>-<theme>.png  the demo workspace, a flow and an env file chosen
#   <out>/running-<size>-<theme>.png   a run in progress (the mirror panel shows the lab phone's screen)
#   <out>/mirror-<state>-<size>-<theme>.png  the mirror panel's other bodies: the phone's
#       screen before a run (connected), cable pulled (unplugged), camera access refused
#       (permission), mirroring switched off (disabled), a simulator chosen (simulator)
# for 1280x800 and 800x500, light (the platform style) and dark (Fusion with a
# dark palette, `--dark`). Needs xvfb-run and xdotool and a build in build/.
# Usage: scripts/screenshots.sh [out-dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/screenshots}"
mkdir -p "$out"
app="$root/build/src/app/kestrune"
export XDG_DATA_HOME
XDG_DATA_HOME="$(mktemp -d)"
trap 'rm -rf "$XDG_DATA_HOME"' EXIT
# shellcheck source=demo-env.sh
source "$root/scripts/demo-env.sh"
kestrune_enter_demo "$root/build/tools/sim/kestrune-sim"
export KESTRUNE_SIM_SPEED=human

# shot <name> <WxH> <theme> <delay ms> [clicks...]: each click is "x,y" in
# window coordinates, "key:<keys>" (xdotool key names) or "wait:<seconds>".
shot() {
    local name="$1" size="$2" theme="$3" delay="$4"
    shift 4
    local flags=(--size "$size" --screenshot "$out/$name-$size-$theme.png")
    [[ "$theme" == dark ]] && flags+=(--dark)
    local workspace=()
    [[ "$name" != empty ]] && workspace=("$root/demo/workspace")
    # Another X server may take the display number first: try again.
    local attempt
    for attempt in 1 2 3; do
    rm -f "$out/$name-$size-$theme.png"
    xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
        app="$1"; delay="$2"; shift 2
        flags=(); while [[ "$1" != "--" ]]; do flags+=("$1"); shift; done; shift
        clicks=(); while [[ "$1" != "--" ]]; do clicks+=("$1"); shift; done; shift
        KESTRUNE_SCREENSHOT_DELAY_MS="$delay" "$app" "$@" "${flags[@]}" &
        pid=$!
        win=""
        for _ in $(seq 50); do win=$(xdotool search --name "^Kestrune$" 2>/dev/null | head -1) && [[ -n "$win" ]] && break; sleep 0.1; done
        sleep 1.5
        for c in ${clicks[@]+"${clicks[@]}"}; do
            if [[ "$c" == wait:* ]]; then sleep "${c#wait:}"; continue; fi
            if [[ "$c" == key:* ]]; then xdotool key --window "$win" "${c#key:}"; sleep 0.6; continue; fi
            xdotool mousemove --window "$win" "${c%,*}" "${c#*,}" click 1
            sleep 0.6
        done
        wait "$pid"
    ' _ "$app" "$delay" "${flags[@]}" -- "$@" -- ${workspace[@]+"${workspace[@]}"} || true
    [[ -s "$out/$name-$size-$theme.png" ]] && break
    sleep 1
    done
    echo "screenshots: $out/$name-$size-$theme.png" >&2
}

# KESTRUNE_SHOTS=mirror takes only the mirror panel's pictures.
for theme in light dark; do
    [[ "${KESTRUNE_SHOTS:-all}" == mirror ]] && break
    for size in 1280x800 800x500; do
        shot empty "$size" "$theme" 1500
        # Rows of the demo tree: env_uat.yaml is the fourth, login.yaml the fifth.
        shot selected "$size" "$theme" 6000 60,205 60,181
        shot running "$size" "$theme" 12000 60,205 60,181 wait:1 key:ctrl+r wait:4
    done
done

# The mirror panel's states, set up on the lab's USB side and in the settings.
sim="$root/build/tools/sim/kestrune-sim"
phone=00008130-001E39811A12001C
settings="$KESTRUNE_SETTINGS_FILE"
set_mirroring() {
    local line out=()
    while IFS= read -r line; do
        [[ "$line" == isMirroringEnabled=* ]] && line="isMirroringEnabled=$1"
        out+=("$line")
    done < "$settings"
    printf '%s\n' "${out[@]}" > "$settings"
}
for theme in light dark; do
    for size in 1280x800 800x500; do
        # A narrow window starts without the panel: its toggle at the tab
        # bar's end shows it. The device list's place in the header, and
        # the simulator at its end.
        picker=675,110
        show=()
        if [[ "$size" == 800x500 ]]; then picker=420,110; show=(776,40); fi
        shot mirror-connected "$size" "$theme" 4000 ${show[@]+"${show[@]}"}
        "$sim" usb detach "$phone"
        shot mirror-unplugged "$size" "$theme" 4000 ${show[@]+"${show[@]}"}
        "$sim" usb attach "$phone"
        "$sim" usb access denied
        shot mirror-permission "$size" "$theme" 4000 ${show[@]+"${show[@]}"}
        "$sim" usb access authorized
        set_mirroring false
        shot mirror-disabled "$size" "$theme" 4000 ${show[@]+"${show[@]}"}
        set_mirroring true
        shot mirror-simulator "$size" "$theme" 7000 ${show[@]+"${show[@]}"} "$picker" key:End key:Return
    done
done
