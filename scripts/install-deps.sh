#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-dev
  libeigen3-dev libloki-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 gnuplot-nox
  juce-modules-source libflac-dev libvorbis-dev libogg-dev libpng-dev libjpeg-dev
  libasound2-dev libfreetype-dev libfontconfig-dev
  libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev
  fst-dev ardour
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
