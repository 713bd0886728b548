#!/usr/bin/env bash
# Installs what building and testing Orvane needs, with apt, only what is missing.
# Runs as root, or through sudo. Non-interactive.
# --test adds what the acceptance suite and the package checks need: an X server, a window
# manager, a notification area, xdotool, screenshots, fonts with Cyrillic, lintian, AppStream.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config git
  qt6-base-dev qt6-qpa-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libfuse3-dev fuse3
  clang libclang-rt-14-dev
)
if [ "${1:-}" = --test ]; then
  packages+=(
    python3 xvfb xauth openbox trayer xdotool x11-utils imagemagick fonts-dejavu-core
    dpkg-dev file lintian appstream qt6-translations-l10n
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
