#!/usr/bin/env bash
# Installs every Debian package the project needs, then configures and builds.
# Usage: scripts/setup.sh [extra CMake arguments]
# Environment: ZM_BUILD_DIR (default: build), ZM_SKIP_APT=1 to skip packages.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev
    libpng-dev zlib1g-dev libfreetype-dev libfontconfig-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-ipafont-gothic fontconfig
    clang libclang-rt-14-dev
    xvfb xauth xdotool imagemagick
    hyperfine sox libsox-fmt-all time parallel
    libsndfile1-dev
    locales
    dpkg-dev appstream desktop-file-utils file
    libaubio-dev
    gettext qt6-translations-l10n
)

if [ "${ZM_SKIP_APT:-0}" != "1" ]; then
    sudo=""
    if [ "$(id -u)" != "0" ]; then
        sudo="sudo"
    fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update
    $sudo apt-get install -y --no-install-recommends "${packages[@]}"
    # A locale with a decimal comma, so the tests can show that files and
    # labels keep "." whatever locale the user runs under.
    if ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$'; then
        $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
    fi
fi

build_dir="${ZM_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build_dir" --parallel "$(nproc)"
