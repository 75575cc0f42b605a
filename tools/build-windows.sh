#!/usr/bin/env bash
# Cross-builds the Windows x86-64 executables with MinGW-w64 into
# build-windows/bin, with ffmpeg.exe beside them, and runs the Windows tests
# under Wine (the window's on a virtual display, Xvfb).
#   tools/build-windows.sh [--werror] [--no-tests]
# With a Linux build in build/ (tools/run-tests.sh), the tests also compare
# what the Windows and the Linux programs print and write.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dir=build-windows
flags=()
run_tests=1
for arg in "$@"; do
  case "$arg" in
    --werror) flags+=(-DWARNINGS_AS_ERRORS=ON) ;;
    --no-tests) run_tests=0 ;;
    *) echo "unknown option $arg" >&2; exit 2 ;;
  esac
done
bash tools/setup-debian.sh --windows

# libpng and libjpeg-turbo for MinGW (the picture readers and the viewer
# need them): built from Debian's own source packages, fetched with a private
# source list so the system's apt configuration stays as it is, and installed
# into a prefix of the build.
# shellcheck source=tools/debian-source.sh
. tools/debian-source.sh
deps=$root/$dir/deps
# zlib from Debian's MinGW package, linked in (not zlib1.dll).
mingw=/usr/x86_64-w64-mingw32
zlib=(-DZLIB_LIBRARY="$mingw/lib/libz.a" -DZLIB_LIBRARY_RELEASE="$mingw/lib/libz.a"
      -DZLIB_INCLUDE_DIR="$mingw/include")
build_libpng() {
  [ -f "$deps/lib/libpng.a" ] && return 0
  local work=$root/$dir/libpng-source source
  source=$(fetch_debian_source libpng1.6 "$work")
  cmake -S "$source" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" "${zlib[@]}" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DSKIP_INSTALL_PROGRAMS=ON \
    -DSKIP_INSTALL_FILES=ON >/dev/null
  cmake --build "$work/build"
  cmake --install "$work/build" >/dev/null
}
# libjpeg-turbo's plain C code: its vector code would need nasm, and the
# accurate integer transform and smooth upsampling the readers ask for give
# the same pixels either way (tests/input checks that on Linux).
build_libjpeg() {
  [ -f "$deps/lib/libjpeg.a" ] && return 0
  local work=$root/$dir/libjpeg-source source
  source=$(fetch_debian_source libjpeg-turbo "$work")
  cmake -S "$source" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF -Wno-dev >/dev/null
  cmake --build "$work/build" >&2
  cmake --install "$work/build" >/dev/null
}
if [ -d input ] || [ -d viewer ] || [ "${BUILD_WINDOWS_LIBPNG:-0}" = 1 ]; then
  build_libpng
fi
if [ -d input ]; then
  build_libjpeg
fi

# ffmpeg.exe for zorpa-preview and the zip: from Debian's ffmpeg source
# package, built once and then taken from a cache (see the script).
bash tools/build-ffmpeg-windows.sh "$root/$dir/ffmpeg"

linux_bin=()
if [ -x build/bin/brenvik ] && [ -x build/bin/zorpamux-cli ]; then
  linux_bin=(-DLINUX_BIN_DIR="$root/build/bin")
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DBUILD_DIALOG=OFF -DCMAKE_FIND_ROOT_PATH="$deps" -DCMAKE_PREFIX_PATH="$deps" "${zlib[@]}" \
  -DFFMPEG_WINDOWS_DIR="$root/$dir/ffmpeg" "${linux_bin[@]}" "${flags[@]}"
cmake --build "$dir"

if [ "$run_tests" = 1 ]; then
  # shellcheck source=tools/wine-prefix.sh
  . tools/wine-prefix.sh
  ctest --test-dir "$dir" --output-on-failure -j 2
fi
