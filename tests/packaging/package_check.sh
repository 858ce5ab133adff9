#!/usr/bin/env bash
# Builds the Debian package from the build tree, unpacks it into a scratch
# folder and checks what a user gets: both programs answer --version from
# there, the desktop entry and the AppStream metainfo validate, lintian finds
# no error. Exits 77 (skipped) where dpkg or cpack is missing.
# Usage: package_check.sh BUILD_DIR
set -euo pipefail
build="$1"
for tool in cpack dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null 2>&1 || { echo "package check skipped: no $tool"; exit 77; }
done
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log"; exit 1; }
deb=("$scratch"/out/kestrune_*.deb)
[[ -f "${deb[0]}" ]] || { echo "no package was made"; cat "$scratch/cpack.log"; exit 1; }

dpkg-deb -x "${deb[0]}" "$scratch/root"
if dpkg-deb -c "${deb[0]}" | grep -q kestrune-sim; then
    echo "the simulated lab must not ship in the package"; exit 1
fi
"$scratch/root/usr/bin/kestrune-cli" --version | grep -q '^kestrune-cli [0-9]'
QT_QPA_PLATFORM=offscreen "$scratch/root/usr/bin/kestrune" --version | grep -q '^Kestrune [0-9]'
[[ -f "$scratch/root/usr/share/icons/hicolor/256x256/apps/io.kestrune.Kestrune.png" ]]

if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$scratch/root/usr/share/applications/io.kestrune.Kestrune.desktop"
fi
if command -v appstreamcli >/dev/null 2>&1; then
    appstreamcli validate --no-net "$scratch/root/usr/share/metainfo/io.kestrune.Kestrune.metainfo.xml"
fi
if command -v lintian >/dev/null 2>&1; then
    # Errors fail the check; warnings (no manual page yet) are shown only.
    lintian --allow-root "${deb[0]}" | tee "$scratch/lintian.log" || true
    if grep -q '^E:' "$scratch/lintian.log"; then
        echo "lintian found errors"; exit 1
    fi
fi
echo "package check passed: $(basename "${deb[0]}")"
