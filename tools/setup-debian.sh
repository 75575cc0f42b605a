#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, skipping the
# package lists' update when everything is already there. Run as root.
set -euo pipefail
packages=(cmake ninja-build g++ clang clang-format libclang-rt-14-dev
          libgtest-dev googletest libbenchmark-dev
          qt6-base-dev fonts-dejavu-core
          libpng-dev ffmpeg python3 imagemagick chromium
          parallel rsync openssh-server openssh-client
          hatari binutils-m68k-linux-gnu)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
