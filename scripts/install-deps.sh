#!/usr/bin/env bash
# Installs the Debian 12 packages Quillet needs to build, test and run.
# Does nothing when every package is already present, so it is cheap to call before each build.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config make
    qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-svg-dev libgl-dev
    libcmark-gfm-dev libcmark-gfm-extensions-dev cmark-gfm
    libbenchmark-dev
    clang libclang-rt-14-dev fonts-dejavu-core
    xvfb xclip xdotool x11-apps x11-utils netpbm jq python3 dbus libglib2.0-bin
    at-spi2-core python3-pyatspi
    librsvg2-bin dpkg-dev desktop-file-utils appstream lintian
)

missing=()
for pkg in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
