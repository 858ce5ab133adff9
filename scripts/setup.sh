#!/usr/bin/env bash
# Installs what building and testing Kestrune needs, and nothing when it is all
# there already: Debian/Ubuntu packages through apt-get, or Homebrew formulae on
# macOS. Safe to run again and again.
set -euo pipefail

debian_packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-svg-dev libgl-dev
    zsh procps xvfb xauth
    chromium
    # The console's and the runner's symbols (⏳, 🛑, ✅) on Linux desktops.
    fonts-noto-color-emoji
    # The package check: its desktop entry, metainfo and lintian's verdict.
    desktop-file-utils appstream lintian
    clang clang-14 libclang-rt-14-dev
)
brew_formulae=(cmake qt)

if [[ "$(uname -s)" == "Darwin" ]]; then
    if ! command -v brew >/dev/null 2>&1; then
        echo "setup: Homebrew is required on macOS (https://brew.sh)" >&2
        exit 1
    fi
    missing=()
    for f in "${brew_formulae[@]}"; do
        brew list --formula "$f" >/dev/null 2>&1 || missing+=("$f")
    done
    if ((${#missing[@]})); then
        brew install "${missing[@]}"
    fi
    exit 0
fi

if ! command -v apt-get >/dev/null 2>&1; then
    echo "setup: this script knows apt-get (Debian/Ubuntu) and Homebrew (macOS); install the equivalents of: ${debian_packages[*]}" >&2
    exit 1
fi

missing=()
for p in "${debian_packages[@]}" ${KESTRUNE_EXTRA_PACKAGES:-}; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
    echo "setup: installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
