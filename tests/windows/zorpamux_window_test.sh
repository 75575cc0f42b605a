#!/usr/bin/env bash
# Runs the zorpamux dialog's tests under Wine on a virtual display (Xvfb),
# in a Wine prefix of their own.
# With a Linux build, it first makes a fixture for the comparison case: a
# numbered series of picture files and a WAV in a folder with a non-ASCII
# name, and the container the Linux zorpamux-cli writes from them.
#   zorpamux_window_test.sh TEST.exe [LINUX_BIN_DIR]
set -euo pipefail
test_program=$1
linux_bin=${2:-}
wine_program=${WINE:-wine}
command -v xvfb-run >/dev/null ||
    { echo "xvfb-run is missing (Debian packages xvfb, xauth)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -n "$linux_bin" ]; then
    folder="$work/déjà-写真"
    mkdir -p "$folder"
    first=2 offset=3 last=99
    # Frames whose bytes differ with position and frame; 150000 samples.
    python3 - "$folder" "$first" "$last" <<'PY'
import sys
folder, first, last = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for frame in range(first, last + 1):
    data = bytes((i * 7 + frame * 31 + (i >> 9)) & 0xFF for i in range(51200))
    open(f"{folder}/clip{frame:05d}.BVK", "wb").write(data)
samples = bytes((i * 5 + (i >> 7)) & 0xFF for i in range(150000))
open(f"{folder}/sound.WAV", "wb").write(b"RIFF" + bytes(4) + b"WAVEfmt " + bytes(28) + samples)
PY
    "$linux_bin/zorpamux-cli" -p "$folder/$(printf 'clip%05d.BVK' "$first")" -s "$folder/sound.WAV" \
        -S "$first" -L "$last" -V "$offset" -o "$folder/linux.ZRP"
    echo "$first $offset $last" > "$folder/fields.txt"
    export ZORPAMUX_FIXTURE="Z:$work"
fi
# A Wine prefix of the test's own: Wine's desktop process belongs to the
# prefix, and one that a console program of another test started without
# a display gives no window to this one.
export WINEPREFIX="$work/wine"
mkdir -p "$WINEPREFIX"
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" \
    sh -c 'wineboot -i >/dev/null 2>&1; exec "$0" "$1" --gtest_brief=1' "$wine_program" "$test_program"
