#!/usr/bin/env bash
# Shows a picture file on an emulated STE and checks the emulator's frame
# against a rendering of the file, pixel for pixel.
#
#   tools/st-check.sh PICTURE.bVK --mode=N [--blockoflines=N] [--pixpal=N]
#                     [--shiftpixels=N] [--second-bitmap=FILE] [--reference=IMAGE]
#                     [--reference2=IMAGE] [--columns=A-B] [--through-prg]
#                     [--build=DIR] [--keep=DIR]
#
# Builds a ROM image with the picture in it, runs Hatari headless for a few
# frames, takes the last frame(s), and compares them with the reference
# picture (any BMP or PNG of the picture's size; default: the rendering of
# brenvik-view) through the emulator's measured colour table
# (ste/hatari-colours.csv). Two-palette files (--pixpal=2 or 3) alternate
# every frame: the last two frames are compared with --reference and
# --reference2 (in either order). --columns=A-B compares only those columns
# (1-based), for the modes the hardware cannot follow to the end of a line.
# Mode 3 (416 x 229, borders opened) is recorded with Hatari's borders and
# compared on the 416 x 229 area at the top left of the bordered frame: all
# of its width (the 48 pixels left and right of the ordinary picture) and
# its first 229 lines, lines 34..262 of the beam, where the display starts
# once the top border is opened.
# --through-prg runs SHOWBVK.PRG (in a ROM that stands in for GEMDOS) in
# place of the ROM's own copy of the display routine. --keep=DIR keeps the ROM, the recording and
# the frames. Exit status 0 when every pixel is equal, 1 otherwise, 2 on
# usage errors.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/st-hatari.sh
. "$root/tools/st-hatari.sh"

usage() {
    sed -n '5,9p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

picture=
mode=
block=1
pixpal=1
shift=5
second=
reference=
reference2=
build=$root/build
keep=
columns=()
rom_name=bvk-rom.img
vbls=20
prg_vbls=40
for arg in "$@"; do
    case "$arg" in
        --mode=*) mode=${arg#*=} ;;
        --blockoflines=*) block=${arg#*=} ;;
        --pixpal=*) pixpal=${arg#*=} ;;
        --shiftpixels=*) shift=${arg#*=} ;;
        --second-bitmap=*) second=${arg#*=} ;;
        --reference=*) reference=${arg#*=} ;;
        --reference2=*) reference2=${arg#*=} ;;
        --build=*) build=${arg#*=} ;;
        --keep=*) keep=${arg#*=} ;;
        --columns=*) columns=("$arg") ;;
        --through-prg) rom_name=bvk-prg-rom.img ;;
        -*) usage ;;
        *) [ -z "$picture" ] || usage; picture=$arg ;;
    esac
done
[ -n "$picture" ] && [ -n "$mode" ] || usage
borders=false
crop=
if [ "$mode" = 3 ]; then
    # The set-up shifts the bitmap into 230-byte lines (half a second).
    borders=true
    crop=832:458:0:0
    vbls=40
    prg_vbls=60
fi
[ "$rom_name" = bvk-rom.img ] || vbls=$prg_vbls
for tool in hatari ffmpeg ffprobe; do
    command -v "$tool" >/dev/null || { echo "st-check: $tool is not installed" >&2; exit 1; }
done
host=$build/bin/ste-host
template=$build/bin/ste/$rom_name
viewer=$build/bin/brenvik-view
colours=$root/ste/hatari-colours.csv
[ -x "$host" ] && [ -f "$template" ] || { echo "st-check: build ste-host and the ROM template in $build first" >&2; exit 1; }

if [ -n "$keep" ]; then
    work=$keep
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi

# References: given, or rendered by the viewer.
if [ -z "$reference" ]; then
    [ -x "$viewer" ] || { echo "st-check: no --reference and no $viewer" >&2; exit 1; }
    if [ "$pixpal" = 1 ]; then
        "$viewer" "$picture" --mode="$mode" --blockoflines="$block" --shiftpixels="$shift" \
            --pixpal=1 -o "$work/reference.png"
        reference=$work/reference.png
    else
        # --each writes the two alternating pictures as NAME_1.png, NAME_2.png.
        "$viewer" "$picture" --mode="$mode" --blockoflines="$block" --shiftpixels="$shift" \
            --pixpal="$pixpal" --each -o "$work/reference.png"
        reference=$work/reference_1.png
        reference2=$work/reference_2.png
    fi
fi
if [ "$pixpal" != 1 ] && [ -z "$reference2" ]; then
    echo "st-check: a two-palette file needs --reference2" >&2
    exit 2
fi

embed=("$host" embed "$template" "$picture" --mode="$mode" --blockoflines="$block" --pixpal="$pixpal"
       --shiftpixels="$shift")
[ -z "$second" ] || embed+=(--second-bitmap="$second")
"${embed[@]}" -o "$work/picture.img"
st_run_rom "$work/picture.img" "$vbls" "$work/picture.avi" "$borders"
st_ppm "$reference" "$work/reference1.ppm"
st_frame "$work/picture.avi" -1 "$work/frame1.ppm" "$crop"
if [ "$pixpal" = 1 ]; then
    "$host" compare "$work/reference1.ppm" "$work/frame1.ppm" --colours="$colours" "${columns[@]}"
    exit
fi
st_ppm "$reference2" "$work/reference2.ppm"
st_frame "$work/picture.avi" -2 "$work/frame2.ppm" "$crop"
# The frame order depends on the phase the display locked in; one of the two
# pairings must match completely.
if "$host" compare "$work/reference1.ppm" "$work/frame1.ppm" --colours="$colours" "${columns[@]}" >"$work/a1" &&
   "$host" compare "$work/reference2.ppm" "$work/frame2.ppm" --colours="$colours" "${columns[@]}" >"$work/a2"; then
    cat "$work/a1" "$work/a2"
    exit 0
fi
if "$host" compare "$work/reference1.ppm" "$work/frame2.ppm" --colours="$colours" "${columns[@]}" >"$work/b1" &&
   "$host" compare "$work/reference2.ppm" "$work/frame1.ppm" --colours="$colours" "${columns[@]}" >"$work/b2"; then
    cat "$work/b1" "$work/b2"
    exit 0
fi
echo "first palette set against the last frame, second against the one before:"
cat "$work/a1" "$work/a2" 2>/dev/null || true
exit 1
