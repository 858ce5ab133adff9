#!/usr/bin/env bash
# Sets up, builds and launches Kestrune.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
app="$root/build/src/app/kestrune"
[[ -x "$app" ]] || app="$root/build/src/app/kestrune.app/Contents/MacOS/kestrune"
exec "$app" "$@"
