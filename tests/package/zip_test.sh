#!/usr/bin/env bash
# Unpacks the Windows zip and checks it: executables, ffmpeg.exe with its
# licence, README and licence; no DLL outside those every Windows install
# has (libstdc++, libgcc and winpthread are linked in); the executables run
# under Wine, from the unpacked zip alone: a picture encoded, packed into a
# container, and the container made into an MP4 by zorpa-preview.exe with
# the zip's ffmpeg.exe; a video made into a container by brenvik-video.exe
# (the same bytes as the Linux brenvik-video's, given a Linux build) and
# that container into an MP4.
#   zip_test.sh PACKAGE.zip SAMPLE.bmp [LINUX_BIN_DIR]
set -euo pipefail
zip=$(realpath "$1")
sample=$(realpath "$2")
linux_bin=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work/unpacked"
top=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d | head -n 1)
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
for file in brenvik.exe zorpamux-cli.exe brenvik-view.exe zorpamux.exe zorpa-preview.exe \
    brenvik-video.exe ffmpeg.exe ffmpeg-licence/COPYING.LGPLv2.1 ffmpeg-licence/SOURCE.txt README.md LICENSE; do
    [ -f "$top/$file" ] || fail "$file missing from the zip"
done
system_dlls='^(kernel32|msvcrt|shell32|user32|gdi32|comctl32|comdlg32|advapi32|ws2_32|bcrypt|ucrtbase|api-ms-win-.*)\.dll$'
for exe in "$top"/*.exe; do
    while read -r dll; do
        [[ "${dll,,}" =~ $system_dlls ]] || fail "$(basename "$exe") needs $dll"
    done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done
if [ -f "$top/brenvik.exe" ]; then
    cp "$sample" "$work/pic.bmp"
    (cd "$work" && ${WINE:-wine} "$top/brenvik.exe" -0 --mode=2 pic.bmp > /dev/null) ||
        fail "brenvik.exe failed under Wine"
    [ "$(stat -c %s "$work/pic.bVK" 2>/dev/null)" = 51200 ] || fail "brenvik.exe: no 51200-byte picture"
    cp "$work/pic.bVK" "$work/ANIM00000.bVK"
    cp "$work/Fpic.bVK" "$work/ANIM00001.bVK"
    (cd "$work" && ${WINE:-wine} "$top/zorpamux-cli.exe" -p ANIM00000.bVK -L 1 -o film.ZRP) ||
        fail "zorpamux-cli.exe failed under Wine"
    (cd "$work" && ${WINE:-wine} "$top/zorpa-preview.exe" film.ZRP -o film.mp4) ||
        fail "zorpa-preview.exe failed under Wine"
    probe=$(ffprobe -v error -show_entries stream=codec_type,r_frame_rate -of csv=p=0 \
        "$work/film.mp4" 2>&1 || true)
    [ "$probe" = "video,25/1"$'\n'"audio,0/0" ] ||
        fail "zorpa-preview.exe: not a 25 frames per second video with sound: $probe"
fi
if [ -f "$top/brenvik-video.exe" ]; then
    # A second of video with sound, as a camera or a phone writes it.
    ffmpeg -nostdin -hide_banner -loglevel error -y \
        -f lavfi -i "testsrc2=size=320x180:rate=25:duration=1" \
        -f lavfi -i "sine=frequency=330:sample_rate=44100:duration=1" \
        -c:v libx264 -pix_fmt yuv420p -c:a aac "$work/holiday.mp4"
    summary=$(cd "$work" && ${WINE:-wine} "$top/brenvik-video.exe" holiday.mp4 holiday.ZRP \
        --quality=0 2> "$work/video.err") ||
        fail "brenvik-video.exe failed under Wine: $(cat "$work/video.err")"
    [[ "$summary" == "frames=25 encoded=25 "* ]] || fail "brenvik-video.exe: summary '$summary'"
    if [ -n "$linux_bin" ]; then
        (cd "$work" && "$linux_bin/brenvik-video" holiday.mp4 linux.ZRP --quality=0 > /dev/null 2>&1) ||
            fail "the Linux brenvik-video failed"
        cmp -s "$work/holiday.ZRP" "$work/linux.ZRP" ||
            fail "brenvik-video.exe: not the Linux brenvik-video's container"
    fi
    (cd "$work" && ${WINE:-wine} "$top/zorpa-preview.exe" holiday.ZRP -o holiday.mp4.mp4) ||
        fail "zorpa-preview.exe failed on brenvik-video.exe's container"
    probe=$(ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames \
        -of csv=p=0 "$work/holiday.mp4.mp4" 2>&1 || true)
    [[ "$probe" == "video,25"$'\n'"audio,"* ]] ||
        fail "zorpa-preview.exe: not the video's 25 frames with sound: $probe"
fi
if [ "$failures" -ne 0 ]; then
    echo "$failures problem(s) in $zip" >&2
    exit 1
fi
echo "package $zip: complete, self-contained, runs"
