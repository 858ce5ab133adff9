#!/usr/bin/env bash
# Configures one build folder and builds only the given target.
# Usage: build-target.sh <folder> <target> [cmake options...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; target="$2"; shift 2
jobs="${KESTRUNE_JOBS:-$( (nproc || sysctl -n hw.ncpu) 2>/dev/null || echo 2)}"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE="${KESTRUNE_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$dir" -j "$jobs" --target "$target"
