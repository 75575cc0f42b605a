#!/usr/bin/env bash
# Emulator test: encodes the bundled sample and checks, in Hatari, that the
# STE display program draws every pixel the way the reference rendering
# says. References: brenvik-view's rendering when it is built, else the
# encoder's preview BMPs (which the viewer must equal pixel for pixel).
#
#   emulator_check.sh SOURCE_DIR BUILD_DIR
#
# Exit status 77 (skipped) when Hatari, ffmpeg or the ROM template is missing.
set -euo pipefail
src=$1
build=$2
for tool in hatari ffmpeg ffprobe; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (tools/setup-debian.sh installs it)"
        exit 77
    fi
done
if [ ! -f "$build/bin/ste/bvk-rom.img" ]; then
    echo "skipped: the ROM template was not built (no m68k-linux-gnu-as)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$src/samples/chelsea_320x200.bmp" "$work/pic.bmp"
viewer=$build/bin/brenvik-view
failed=0

# check NAME BRENVIK_OPTIONS... -- ST_CHECK_OPTIONS...
check() {
    local name=$1 encode=() checkopts=() refs=()
    shift
    while [ "$1" != -- ]; do encode+=("$1"); shift; done
    shift
    checkopts=("$@")
    rm -f "$work"/*.bVK "$work"/*_preview*.bmp
    "$build/bin/brenvik" -1 --preview=1 "${encode[@]}" "$work/pic.bmp" >/dev/null
    if [ ! -x "$viewer" ]; then
        refs=(--reference="$work/pic_preview.bmp")
        [ ! -f "$work/pic_preview2.bmp" ] || refs+=(--reference2="$work/pic_preview2.bmp")
    fi
    local out
    if out=$("$src/tools/st-check.sh" "$work/pic.bVK" "${encode[@]}" "${checkopts[@]}" "${refs[@]}" \
             --build="$build" 2>&1); then
        echo "ok   $name: $(echo "$out" | tr '\n' ' ')"
    else
        echo "FAIL $name: $out"
        failed=1
    fi
}

check "mode 0, one-line blocks"   --mode=0 --
check "mode 0, three-line blocks" --mode=0 --blockoflines=3 --
check "mode 2, one-line blocks"   --mode=2 --
check "mode 2, four-line blocks"  --mode=2 --blockoflines=4 --
check "mode 2, two palettes"      --mode=2 --pixpal=3 --blockoflines=2 --
check "mode 2, shifted 4 columns" --mode=2 --shiftpixels=9 -- --columns=5-320
# Mode 1 reloads every register four times inside the line, which the bus
# cannot carry (see ste/display.S); its first two slots are exact, and they
# are all a pixel can show before column 104 + shift.
check "mode 1, first two slots"   --mode=1 --shiftpixels=3 -- --columns=1-101
# The TOS program, loaded and served by a stand-in for GEMDOS.
check "SHOWBVK.PRG, mode 0, two-line blocks" --mode=0 --blockoflines=2 -- --through-prg
check "SHOWBVK.PRG, mode 2, two palettes"    --mode=2 --pixpal=2 --blockoflines=5 -- --through-prg
exit $failed
