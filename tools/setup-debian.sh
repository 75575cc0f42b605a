#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, skipping the
# package lists' update when everything is already there. Run as root.
#   tools/setup-debian.sh             Linux build and tests
#   tools/setup-debian.sh --windows   also the MinGW-w64 cross compiler and Wine
#   tools/setup-debian.sh --package   also what the packages need (zip, .deb)
set -euo pipefail
packages=(cmake ninja-build g++ clang clang-format libclang-rt-14-dev
          libgtest-dev googletest libbenchmark-dev
          qt6-base-dev fonts-dejavu-core help2man
          libpng-dev libjpeg62-turbo-dev ffmpeg python3 imagemagick chromium
          parallel rsync openssh-server openssh-client
          hatari binutils-m68k-linux-gnu)
# Windows executables: cross compiler (posix threads for std::thread), zlib
# for MinGW (libpng, libjpeg-turbo and ffmpeg are built from Debian's source
# packages by tools/build-windows.sh; make for ffmpeg's build), Wine to run
# the Windows tests and Xvfb (with xauth for xvfb-run) for the window's,
# Wine's fonts for its picture (tools/zorpamux-windows-shot.sh), dpkg-dev for
# apt-get source.
windows_packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 dpkg-dev make
                  xvfb xauth fonts-wine)
# Packages: the zip and the .deb (dpkg-shlibdeps finds the libraries it needs).
package_packages=(zip file dpkg-dev)
for arg in "$@"; do
  case "$arg" in
    --windows) packages+=("${windows_packages[@]}") ;;
    --package) packages+=("${package_packages[@]}") ;;
    *) echo "unknown option $arg" >&2; exit 2 ;;
  esac
done
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
