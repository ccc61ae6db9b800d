#!/usr/bin/env bash
# Installs the Debian 12 packages the utility needs to build, run, test and package, skipping those
# that are installed already. Run as a user, it asks sudo to run apt and nothing else.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev
    nlohmann-json3-dev libcli11-dev libcsv-dev
    iproute2 procps
    xvfb xauth xdotool imagemagick
    fonts-wine fonts-dejavu-core
    clang libclang-rt-14-dev
    dpkg-dev file help2man
    lintian appstream desktop-file-utils
    # hardening-check, for the packaging test.
    devscripts
    # The demo test asks sudo as a user, and runs where a desktop's dbus-launch would start a
    # session bus for a window that has none.
    sudo dbus-x11
    ansible-core
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
((${#missing[@]})) || exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "Installing them needs root: apt-get install ${missing[*]}" >&2
        exit 1
    fi
    as_root=(sudo)
fi
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
