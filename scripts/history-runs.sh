#!/usr/bin/env bash
# Fills a reports output directory with a dozen runs made on the simulated
# device lab: passed and failed flows through kestrune-cli, each run folder
# then renamed to spread the runs over the last days and the environments,
# and two runs whose report is missing (status unknown).
# Usage: scripts/history-runs.sh <reports-dir> (the demo environment of
# demo-env.sh entered, KESTRUNE_SIM_HOME and KESTRUNE_XCRUN set).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$1"
cli="$root/build/src/cli/kestrune-cli"
runner="${KESTRUNE_RUNNER:-${XDG_DATA_HOME:-$HOME/.local/share}/kestrune-demo/kestrune-sim-runner}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$out"
flows=(login.yaml checkout/payment.yaml checkout/cart_and_checkout.yaml smoke/search_repeat.yaml)
envs=(SIT UAT SIT PREPROD UAT SIT CUSTOM UAT SIT PREPROD)
newest="$(date -d 'today 09:12' +%s)"
i=0
for env in "${envs[@]}"; do
    flow="${flows[$((i % ${#flows[@]}))]}"
    KESTRUNE_SIM_SPEED=fast "$cli" run --workspace "$root/demo/workspace" --flow "$flow" --env env_uat.yaml \
        --device 00008130-001E39811A12001C --app com.lumenfold.pasar --runner "$runner" \
        --output-dir "$scratch/$i" >/dev/null 2>&1 || true
    made="$(find "$scratch/$i" -mindepth 1 -maxdepth 1 -type d | head -1)"
    # Runs a few hours apart, the newest this morning.
    stamp="$(date -d "@$((newest - i * (7 * 3600 + 13 * 60)))" +%Y%m%d_%H%M%S)"
    [[ -n "$made" ]] && mv "$made" "$out/${env}_${stamp}"
    i=$((i + 1))
done
# A run stopped before the runner wrote its report, and one whose report
# does not decode.
mkdir -p "$out/UAT_$(date -d "@$((newest - 2 * 3600 - 300))" +%Y%m%d_%H%M%S)/sandbox"
broken="$out/SIT_$(date -d "@$((newest - 50 * 3600))" +%Y%m%d_%H%M%S)"
mkdir -p "$broken/sandbox" "$broken/report"
printf '{"status":' > "$broken/report/report.json"
