#!/usr/bin/env bash
# Configures and builds one build folder. Usage: build.sh <folder> [cmake options...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
jobs="${KESTRUNE_JOBS:-$( (nproc || sysctl -n hw.ncpu) 2>/dev/null || echo 2)}"
prefix=()
if [[ "$(uname -s)" == "Darwin" ]] && command -v brew >/dev/null 2>&1; then
    prefix=(-DCMAKE_PREFIX_PATH="$(brew --prefix qt)")
fi
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE="${KESTRUNE_BUILD_TYPE:-RelWithDebInfo}" "${prefix[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$jobs"
