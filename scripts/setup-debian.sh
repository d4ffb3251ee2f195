#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a fresh Debian machine.
# Run as root. Skips the package manager when every package is already there.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config clang-format
          libgtest-dev libgmock-dev googletest libbenchmark-dev libpng-dev
          g++-mingw-w64-i686 wine wine32:i386 fonts-wine xvfb xauth
          ffmpeg frei0r-plugins-dev python3 parallel melt
          libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
          gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
          gstreamer1.0-plugins-ugly gstreamer1.0-libav
          imagemagick
          clang libclang-rt-14-dev
          time)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  # The Windows module's tests run under 32-bit Wine.
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
