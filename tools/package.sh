#!/usr/bin/env bash
# Builds the Debian package and the Windows zip into dist/, installing what
# it needs, and checks both (the .deb unpacked into a throw-away root and
# its programs run; the zip's executables run under Wine).
#   tools/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh --package --windows
mkdir -p dist
sample=samples/chelsea_320x200.bmp

# Debian: the Linux build, with the window, in build/ (as tools/run-tests.sh).
cmake -S . -B build -G Ninja -DBUILD_DIALOG=ON
cmake --build build
rm -f build/packages/*.deb
(cd build && cpack -G DEB)
deb=$(ls build/packages/*.deb)
cp "$deb" dist/
bash tests/package/deb_install_test.sh "dist/$(basename "$deb")" "$sample"

# Windows: the cross build in build-windows/ (tests built, not run here).
bash tools/build-windows.sh --no-tests
rm -f build-windows/packages/*.zip
(cd build-windows && cpack -G ZIP)
zip=$(ls build-windows/packages/*.zip)
cp "$zip" dist/
# shellcheck source=tools/wine-prefix.sh
. tools/wine-prefix.sh
bash tests/package/zip_test.sh "dist/$(basename "$zip")" "$sample" "$PWD/build/bin"
echo "dist/:"
ls -l dist
