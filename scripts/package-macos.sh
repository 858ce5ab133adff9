#!/usr/bin/env bash
# Builds Kestrune.app for macOS, puts Qt's frameworks inside it (macdeployqt),
# signs it with the hardened runtime and the camera entitlement when a
# signing identity is given, and makes a disk image to drag into
# Applications: build-release/Kestrune-VERSION.dmg.
#
# Usage: scripts/package-macos.sh ["Developer ID Application: Name (TEAMID)"]
# Notarise the result afterwards as the README says.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
identity="${1:-}"
build="$root/build-release"
[[ "$(uname -s)" == Darwin ]] || { echo "package-macos: run this on a Mac" >&2; exit 1; }

"$root/scripts/setup.sh"
KESTRUNE_BUILD_TYPE=Release "$root/scripts/build.sh" "$build" \
    -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_BUILD_BENCH=OFF
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
app="$(find "$build/src/app" -maxdepth 1 -name '*.app' | head -1)"
[[ -d "$app" ]] || { echo "package-macos: no application bundle in $build/src/app" >&2; exit 1; }

# The command line travels inside the bundle and uses the same frameworks.
cp "$build/src/cli/kestrune-cli" "$app/Contents/MacOS/"
macdeployqt="$(brew --prefix qt)/bin/macdeployqt"
deploy=("$app" "-executable=$app/Contents/MacOS/kestrune-cli" -always-overwrite)
if [[ -n "$identity" ]]; then
    deploy+=("-codesign=$identity" -hardened-runtime -timestamp)
fi
"$macdeployqt" "${deploy[@]}"

if [[ -n "$identity" ]]; then
    # macdeployqt signed the frameworks and plug-ins; the executables are
    # signed again with the entitlement, innermost first, then the bundle.
    sign=(codesign --force --options runtime --timestamp --sign "$identity")
    "${sign[@]}" "$app/Contents/MacOS/kestrune-cli"
    "${sign[@]}" --entitlements "$root/src/app/macos/Kestrune.entitlements" "$app"
    codesign --verify --strict --verbose=2 "$app"
fi

staging="$(mktemp -d)"
trap 'rm -rf "$staging"' EXIT
cp -R "$app" "$staging/Kestrune.app"
ln -s /Applications "$staging/Applications"
dmg="$build/Kestrune-$version.dmg"
hdiutil create -volname Kestrune -srcfolder "$staging" -ov -format UDZO "$dmg"
[[ -n "$identity" ]] && codesign --force --timestamp --sign "$identity" "$dmg"
echo "package-macos: $dmg"
