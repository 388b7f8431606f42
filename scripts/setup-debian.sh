#!/usr/bin/env bash
# Installs what Tarnwick needs to build, test and run on Debian 12.
# Safe to run again; uses sudo when not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git python3
  qt6-base-dev qt6-base-dev-tools qt6-serialbus-dev libqt6serialbus6-bin libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libinih-dev
  clang libclang-rt-dev
  qt6-charts-dev libqt6opengl6-dev python3-can can-utils zlib1g-dev
  xvfb xauth fonts-dejavu-core fonts-dejavu-extra imagemagick
)

"$(dirname "$0")/apt-install-missing.sh" "${packages[@]}"
