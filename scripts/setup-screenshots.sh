#!/usr/bin/env bash
# Screenshots of the setup screens on the simulated device lab, under a
# virtual X server, clicked through with xdotool as a user would:
#   <out>/onboarding-welcome|prerequisites|final-<size>-<theme>.png
#       first launch (a new settings file): the runner is missing, Xcode found
#   <out>/settings-invalid-team-<size>-<theme>.png  the Settings tab, a Team ID typed in lower case
#   <out>/environment-check-<size>-<theme>.png      the check sheet with the signing row
#   <out>/environment-check-no-certificate-...      the same with an empty keychain
# for 1280x800 and 800x500, light and dark. Needs xvfb-run, xdotool and a
# build in build/. Usage: scripts/setup-screenshots.sh [out-dir]
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
demo_settings="$KESTRUNE_SETTINGS_FILE"

# shot <file> <WxH> <theme> <delay ms> <settings file> [steps...]: a step is
# "x,y" (a click in the main window), "sheet:x,y" (a click in the sheet on
# top), "key:<keys>" or "type:<text>" (to the focused widget) or "wait:<s>".
shot() {
    local name="$1" size="$2" theme="$3" delay="$4" settings="$5"
    shift 5
    local flags=(--size "$size" --screenshot "$out/$name-$size-$theme.png")
    [[ "$theme" == dark ]] && flags+=(--dark)
    local attempt
    for attempt in 1 2 3; do
    rm -f "$out/$name-$size-$theme.png"
    KESTRUNE_SETTINGS_FILE="$settings" xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
        app="$1"; delay="$2"; shift 2
        flags=(); while [[ "$1" != "--" ]]; do flags+=("$1"); shift; done; shift
        KESTRUNE_SCREENSHOT_DELAY_MS="$delay" "$app" "${flags[@]}" &
        pid=$!
        win=""
        for _ in $(seq 50); do win=$(xdotool search --name "^Kestrune$" 2>/dev/null | head -1) && [[ -n "$win" ]] && break; sleep 0.1; done
        sleep 1.5
        for c in "$@"; do
            case "$c" in
                wait:*) sleep "${c#wait:}" ;;
                key:*) xdotool key --clearmodifiers "${c#key:}"; sleep 0.6 ;;
                type:*) xdotool type --delay 40 "${c#type:}"; sleep 0.6 ;;
                sheet:*) s=$(xdotool search --name "^Set Up Kestrune$" | tail -1); p="${c#sheet:}"
                    xdotool mousemove --window "$s" "${p%,*}" "${p#*,}" click 1; sleep 0.6 ;;
                *) xdotool mousemove --window "$win" "${c%,*}" "${c#*,}" click 1; sleep 0.6 ;;
            esac
        done
        wait "$pid"
    ' _ "$app" "$delay" "${flags[@]}" -- "$@" || true
    [[ -s "$out/$name-$size-$theme.png" ]] && break
    sleep 1
    done
    echo "screenshots: $out/$name-$size-$theme.png" >&2
}

for theme in ${THEMES:-light dark}; do
    for size in ${SIZES:-1280x800 800x500}; do
        fresh="$XDG_DATA_HOME/first-launch-$theme-$size.ini"
        [[ -n "${ONLY_SETTINGS:-}" ]] && continue_onboarding=0 || continue_onboarding=1
        if [[ $continue_onboarding == 1 ]]; then
        rm -f "$fresh"; shot onboarding-welcome "$size" "$theme" 2500 "$fresh"
        rm -f "$fresh"; shot onboarding-prerequisites "$size" "$theme" 4000 "$fresh" key:Return wait:1
        rm -f "$fresh"; shot onboarding-final "$size" "$theme" 9000 "$fresh" key:Return key:Return \
            "type:~/Documents/Kestrune Reports" sheet:385,238 type:K7QX2M9R4T
        fi
        # The Settings tab is the third; the Team ID field and the Check
        # Prerequisites button sit at the right end of their rows.
        width=${size%x*}
        shot settings-invalid-team "$size" "$theme" 6000 "$demo_settings" 245,41 \
            "$((width / 2)),236" key:ctrl+a type:k7qx2m9r4
        shot environment-check "$size" "$theme" 6000 "$demo_settings" 245,41 "$((width - 108)),341" wait:1.5
        KESTRUNE_SIM_SIGNING=none shot environment-check-no-certificate "$size" "$theme" 6000 "$demo_settings" \
            245,41 "$((width - 108)),341" wait:1.5
    done
done
