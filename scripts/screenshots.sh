#!/usr/bin/env bash
# Screenshots of the workspace screen on the simulated device lab, under a
# virtual X server, clicked through with xdotool as a user would:
#   <out>/empty-<size>-<theme>.png     the first window, no workspace
#   <out>/selected-<size>-<theme>.png  the demo workspace, a flow and an env file chosen
#   <out>/running-<size>-<theme>.png   a run in progress (the mirror panel shows the lab phone's screen)
#   <out>/hierarchy-<size>-<theme>.png a UI hierarchy fetch
#   <out>/viewer-<size>-<theme>.png    the flow viewer on login.yaml
#   <out>/network-<size>-<theme>.png   the run's traffic with a search typed
#   <out>/detail-popup-<size>-<theme>.png  the whole screen with the detail of a JSON response open
#   <out>/history-empty-<size>-<theme>.png  the History tab before any run
#   <out>/history-<size>-<theme>.png   a dozen runs (scripts/history-runs.sh), two selected
#   <out>/mirror-<state>-<size>-<theme>.png  the mirror panel's other bodies: the phone's
#       screen before a run (connected), cable pulled (unplugged), camera access refused
#       (permission), mirroring switched off (disabled), a simulator chosen (simulator)
# for 1280x800 and 800x500, light (the platform style) and dark (Fusion with a
# dark palette, `--dark`). Needs xvfb-run, xdotool, ImageMagick's import and
# a build in build/.
# Usage: [KESTRUNE_SHOTS=history|mirror] scripts/screenshots.sh [out-dir]
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
# window coordinates, "ctrl:x,y" (a click with Ctrl held), "key:<keys>"
# (xdotool key names, sent to the main window), "type:<text>",
# "wait:<seconds>", "grab:<file>" (the whole screen, popups included) or
# "screen" (the window's part of the X screen, sheets included, taken now
# as the shot's picture; the application is closed).
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
        app="$1"; delay="$2"; shotfile="$3"; shift 3
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
            if [[ "$c" == type:* ]]; then xdotool type --delay 40 "${c#type:}"; sleep 0.6; continue; fi
            if [[ "$c" == grab:* ]]; then import -window root "${c#grab:}"; continue; fi
            if [[ "$c" == screen ]]; then
                eval "$(xdotool getwindowgeometry --shell "$win")"
                import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shotfile"
                kill "$pid"
                break
            fi
            if [[ "$c" == ctrl:* ]]; then
                c="${c#ctrl:}"
                xdotool mousemove --window "$win" "${c%,*}" "${c#*,}" keydown ctrl click 1 keyup ctrl
                sleep 0.6
                continue
            fi
            xdotool mousemove --window "$win" "${c%,*}" "${c#*,}" click 1
            sleep 0.6
        done
        wait "$pid"
    ' _ "$app" "$delay" "$out/$name-$size-$theme.png" "${flags[@]}" -- "$@" -- ${workspace[@]+"${workspace[@]}"} || true
    [[ -s "$out/$name-$size-$theme.png" ]] && break
    sleep 1
    done
    echo "screenshots: $out/$name-$size-$theme.png" >&2
}

# KESTRUNE_SHOTS=history or =mirror takes only those pictures.
wanted() { [[ "${KESTRUNE_SHOTS:-all}" == all || "${KESTRUNE_SHOTS}" == "$1" ]]; }
for theme in light dark; do
    wanted workspace || break
    for size in 1280x800 800x500; do
        shot empty "$size" "$theme" 1500
        # Rows of the demo tree: env_uat.yaml is the fourth, login.yaml the fifth.
        shot selected "$size" "$theme" 6000 60,205 60,181
        shot running "$size" "$theme" 12000 60,205 60,181 wait:1 key:ctrl+r wait:4
        shot hierarchy "$size" "$theme" 12000 60,300 wait:1 key:ctrl+shift+h wait:5
        # The eye button of login.yaml opens the flow viewer.
        shot viewer "$size" "$theme" 30000 60,205 216,205 wait:1.5 screen
        # The shop app writes a Netfox log: pick it, run, open the network
        # page, search, then open the first row's detail on its response.
        # (The detail opens centred on the window; "response" is its tab there.)
        if [[ "$size" == 1280x800 ]]; then network=381,384 search=500,421 row=600,472 picker=800,146 response=521,296
        else network=331,318 search=320,355 row=500,406 picker=400,146 response=281,146; fi
        run_steps=("$picker" wait:2 type:com.lumenfold.pasar key:Return wait:1 key:ctrl+r)
        shot network "$size" "$theme" 22000 60,205 60,181 "${run_steps[@]}" wait:8 "$network" "$search" type:v2/c
        shot detail "$size" "$theme" 30000 60,205 60,181 "${run_steps[@]}" wait:12 "$network" "$search" type:v2/c \
            "$row" key:Return wait:1 "$response" wait:1 "grab:$out/detail-popup-$size-$theme.png"
    done
done

# The History tab, first empty, then over a dozen simulated runs, in a demo
# state of its own (the runs above do not count). The tab is the second one
# of the tab bar; rows are 30 px high under the header.
rm -rf "$XDG_DATA_HOME"
XDG_DATA_HOME="$(mktemp -d)"
kestrune_enter_demo "$root/build/tools/sim/kestrune-sim"
history_tab=140,45
for theme in light dark; do
    wanted history || break
    for size in 1280x800 800x500; do
        shot history-empty "$size" "$theme" 4000 "$history_tab"
    done
done
"$root/scripts/history-runs.sh" "$XDG_DATA_HOME/kestrune-demo/reports"
for theme in light dark; do
    wanted history || break
    for size in 1280x800 800x500; do
        shot history "$size" "$theme" 6000 "$history_tab" wait:1 400,194 ctrl:400,314
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
    wanted mirror || break
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
