#!/usr/bin/env bash
# Installs what Quillmoor needs from Debian 12's packages (only what is missing)
# and builds it into ./build. Safe to run again: a second run installs nothing
# and rebuilds only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libqt6webenginecore6-bin
    libcpp-httplib-dev libgumbo-dev libcurl4-openssl-dev libssl-dev libgl-dev libxkbcommon-dev zlib1g-dev libexiv2-dev
    fonts-wqy-microhei fonts-dejavu-extra
    librsvg2-bin desktop-file-utils appstream dpkg-dev file
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools dbus-daemon
    libatspi2.0-dev at-spi2-core xvfb
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build --parallel "$(nproc)"
