#!/usr/bin/env bash
# The Windows executables (run under Wine) and the Linux ones, given the same
# inputs, must print the same bytes (processor times masked) and write the
# same files, and the Windows ones must take and write non-ASCII file names.
#   same_output_test.sh LINUX_BIN_DIR WINDOWS_BIN_DIR SAMPLE.bmp
set -euo pipefail
linux_bin=$1
windows_bin=$2
sample=$3
wine_program=${WINE:-wine}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

mask_times() {
    sed -E 's/[0-9]+\.[0-9]+ sec/T sec/g'
}

# A 320x20 picture for the encoder's test layout: the sample's header with
# the height set to 20, then its first 20 lines.
make_strip() {
    head -c 54 "$sample" > "$1"
    printf '\x14\x00\x00\x00' | dd of="$1" bs=1 seek=22 conv=notrunc status=none
    dd if="$sample" bs=1 skip=54 count=$((320 * 3 * 20)) status=none >> "$1"
}

# run_both NAME INPUT... -- ARGS...: copies the inputs into linux/ and
# windows/ folders of the case, runs each program there with ARGS, and
# compares exit status, standard output and every file left in the folders.
run_both() {
    local name=$1 program=$2
    shift 2
    local inputs=()
    while [ "$1" != "--" ]; do
        inputs+=("$1")
        shift
    done
    shift
    local case_dir="$work/$name"
    mkdir -p "$case_dir/linux" "$case_dir/windows"
    for input in "${inputs[@]}"; do
        cp "$input" "$case_dir/linux/"
        cp "$input" "$case_dir/windows/"
    done
    local linux_status=0 windows_status=0
    (cd "$case_dir/linux" && "$linux_bin/$program" "$@" > ../linux.out 2> ../linux.err) ||
        linux_status=$?
    (cd "$case_dir/windows" &&
        "$wine_program" "$windows_bin/$program.exe" "$@" > ../windows.out 2> ../windows.err) ||
        windows_status=$?
    if [ "$linux_status" != "$windows_status" ]; then
        fail "$name: exit status $linux_status on Linux, $windows_status on Windows"
    fi
    if ! cmp -s <(mask_times < "$case_dir/linux.out") <(mask_times < "$case_dir/windows.out"); then
        fail "$name: standard output differs"
        diff <(mask_times < "$case_dir/linux.out") <(mask_times < "$case_dir/windows.out") |
            head -20 >&2 || true
    fi
    local linux_files windows_files
    linux_files=$(cd "$case_dir/linux" && find . -type f | LC_ALL=C sort)
    windows_files=$(cd "$case_dir/windows" && find . -type f | LC_ALL=C sort)
    if [ "$linux_files" != "$windows_files" ]; then
        fail "$name: different files: Linux [$linux_files] Windows [$windows_files]"
        return
    fi
    local file
    while IFS= read -r file; do
        [ -n "$file" ] || continue
        cmp -s "$case_dir/linux/$file" "$case_dir/windows/$file" ||
            fail "$name: $file differs"
    done <<< "$linux_files"
    echo "same: $name (status $linux_status, files: $(echo $linux_files))"
}

cp "$sample" "$work/pic.bmp"
make_strip "$work/strip.bmp"
cp "$work/pic.bmp" "$work/bild-äöü-写真.bmp"

run_both default brenvik "$work/pic.bmp" -- pic.bmp
run_both verbose-test-layout brenvik "$work/strip.bmp" -- --verbose --mode=4 -0 strip.bmp
run_both two-palettes-previews brenvik "$work/pic.bmp" -- -1 --mode=2 --pixpal=2 --preview=1 pic.bmp
run_both bad-input brenvik "$work/strip.bmp" -- strip.bmp
run_both help brenvik -- --help
run_both plain-distance brenvik "$work/pic.bmp" -- -0 --mode=2 --distance=plain --threads=1 pic.bmp
run_both plain-distance-two-palettes brenvik "$work/strip.bmp" -- \
    -1 --mode=4 --pixpal=3 --dith=3 --distance=plain --preview=1 strip.bmp
run_both bad-distance brenvik "$work/strip.bmp" -- --distance=flat strip.bmp
run_both non-ascii-name brenvik "$work/bild-äöü-写真.bmp" -- -0 --mode=2 "bild-äöü-写真.bmp"

# Pictures of other sizes and formats, made from the sample, through --fit:
# the decoders, the placement and the resampling must give the same bytes.
convert "$sample" -resize 451x300! -quality 90 -interlace Plane "$work/photo.jpg"
convert "$sample" -resize 300x451! -quality 85 "$work/upright.jpg"
# EXIF orientation 6 (a quarter turn clockwise) in an APP1 segment after SOI.
python3 - "$work/upright.jpg" "$work/turned.jpg" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
tiff = b"MM\x00\x2a" + struct.pack(">IH", 8, 1) + struct.pack(">HHIHH", 0x0112, 3, 1, 6, 0) + b"\0" * 4
app1 = b"Exif\0\0" + tiff
open(sys.argv[2], "wb").write(data[:2] + b"\xff\xe1" + struct.pack(">H", len(app1) + 2) + app1 + data[2:])
PY
convert "$sample" -resize 200x300! -depth 16 PNG48:"$work/tall.png"
convert "$sample" -resize 640x400! -alpha set -channel A -fx "i/w" -type TrueColorAlpha BMP:"$work/wide.bmp"
run_both fit-crop-progressive-jpeg brenvik "$work/photo.jpg" -- -0 --fit=crop photo.jpg
run_both fit-pad-exif-jpeg brenvik "$work/turned.jpg" -- -0 --mode=2 --fit=pad --preview=1 turned.jpg
run_both fit-crop-16-bit-png brenvik "$work/tall.png" -- -0 --mode=3 --fit=crop --gravity=top tall.png
run_both fit-stretch-bmp-alpha brenvik "$work/wide.bmp" -- -0 --mode=4 --fit=stretch wide.bmp
run_both fit-hint brenvik "$work/photo.jpg" -- photo.jpg

# Containers: frames from the encoder, a generated 8-bit WAV.
mkdir -p "$work/frames"
(cd "$work/frames" && cp ../pic.bmp ANIM00000.bmp && "$linux_bin/brenvik" -0 --mode=2 ANIM00000.bmp > /dev/null)
cp "$work/frames/ANIM00000.bVK" "$work/frames/ANIM00001.bVK"
cp "$work/frames/FANIM00000.bVK" "$work/frames/ANIM00002.bVK"
{
    head -c 44 /dev/zero
    # 80 kB of samples: every byte value, in runs that change with position.
    for i in $(seq 0 319); do
        dd if="$work/pic.bmp" bs=256 skip=$((i % 700)) count=1 status=none
    done
} > "$work/frames/all.wav"
series=("$work/frames/ANIM00000.bVK" "$work/frames/ANIM00001.bVK" "$work/frames/ANIM00002.bVK")
run_both container zorpamux-cli "${series[@]}" "$work/frames/all.wav" -- \
    -p ANIM00000.bVK -s all.wav -S 0 -L 2 -V 1 -o film.ZRP
run_both container-missing-frame zorpamux-cli "${series[@]}" -- -p ANIM00000.bVK -L 5 -o film.ZRP
run_both container-help zorpamux-cli -- --help
# The reader's subcommands on the container the Linux writer made.
film=$work/container/linux/film.ZRP
run_both container-list zorpamux-cli "$film" -- list film.ZRP
run_both container-check zorpamux-cli "$film" -- check film.ZRP
run_both container-extract zorpamux-cli "$film" -- extract-frame film.ZRP 1 -o frame1.bVK
run_both container-sound zorpamux-cli "$film" -- extract-sound film.ZRP -o sound.wav
head -c 50000 "$film" > "$work/cut.ZRP"
run_both container-check-cut zorpamux-cli "$work/cut.ZRP" -- check cut.ZRP
run_both container-non-ascii zorpamux-cli "${series[@]}" -- \
    -p ANIM00000.bVK -L 2 -o "film-äöü-写真.ZRP"

# The viewer, where it is built: PNG files and the comparison line.
if [ -x "$linux_bin/brenvik-view" ] && [ -f "$windows_bin/brenvik-view.exe" ]; then
    run_both view brenvik-view "$work/frames/ANIM00000.bVK" -- ANIM00000.bVK --scale=2
    run_both view-compare brenvik-view "$work/frames/ANIM00000.bVK" "$work/frames/ANIM00000.bmp" -- \
        ANIM00000.bVK --compare=ANIM00000.bmp --strip=strip.png -o view.png
    # The four figures (SSIM with them) of a plain-distance file of a photo.
    run_both view-compare-plain brenvik-view "$work/plain-distance/linux/pic.bVK" "$work/pic.bmp" -- \
        pic.bVK --mode=2 --compare=pic.bmp -o view.png
    run_both view-bad-input brenvik-view "$work/pic.bmp" -- pic.bmp
fi

if [ -e "$work/non-ascii-name/windows/bild-äöü-写真.bVK" ]; then
    echo "non-ASCII names: written under their own name"
else
    fail "non-ASCII names: no bild-äöü-写真.bVK from the Windows encoder"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures difference(s) between the Linux and the Windows programs" >&2
    exit 1
fi
echo "Linux and Windows programs print and write the same bytes"
