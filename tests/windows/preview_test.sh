#!/usr/bin/env bash
# zorpa-preview.exe under Wine: a container (packed by zorpamux-cli.exe)
# becomes an MP4 that ffprobe reads as 25 frames per second with sound,
# with ffmpeg.exe beside the program or on PATH; without ffmpeg.exe it says
# so and writes nothing.
#   preview_test.sh WINDOWS_BIN_DIR FFMPEG.exe
set -euo pipefail
windows_bin=$1
ffmpeg_exe=$2
wine_program=${WINE:-wine}
command -v ffprobe >/dev/null || { echo "ffprobe is missing (Debian package ffmpeg)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# 30 frames of two patterns and 1.5 s of a rising tone.
mkdir -p "$work/clip"
python3 - "$work/clip" <<'PY'
import math, sys
folder = sys.argv[1]
for frame in range(30):
    data = bytes((i * (3 + frame % 2) + (i >> 8)) & 0xFF for i in range(51200))
    open(f"{folder}/CLIP{frame:05d}.BVK", "wb").write(data)
samples = bytes(int(128 + 90 * math.sin(i * i / 4e6)) for i in range(75000))
open(f"{folder}/tone.wav", "wb").write(b"RIFF" + bytes(4) + b"WAVEfmt " + bytes(28) + samples)
PY
(cd "$work/clip" && "$wine_program" "$windows_bin/zorpamux-cli.exe" -p CLIP00000.BVK -s tone.wav \
    -L 29 -o clip.zrp > /dev/null)

# The program alone in a folder, with or without ffmpeg.exe beside it.
mkdir -p "$work/beside" "$work/alone" "$work/tools"
cp "$windows_bin/zorpa-preview.exe" "$work/beside/"
cp "$windows_bin/zorpa-preview.exe" "$work/alone/"
cp "$ffmpeg_exe" "$work/beside/ffmpeg.exe"
cp "$ffmpeg_exe" "$work/tools/ffmpeg.exe"

check_video() {
    local name=$1 video=$2
    local probe
    probe=$(ffprobe -v error -count_frames -show_entries \
        stream=codec_type,r_frame_rate,nb_read_frames,width,height,sample_rate:format=duration \
        -of default=noprint_wrappers=1 "$video" 2>&1) || { fail "$name: ffprobe cannot read it"; return; }
    grep -qx 'codec_type=video' <<< "$probe" || fail "$name: no video stream"
    grep -qx 'r_frame_rate=25/1' <<< "$probe" || fail "$name: not 25 frames per second"
    grep -qx 'nb_read_frames=30' <<< "$probe" || fail "$name: not 30 frames"
    grep -qx 'width=640' <<< "$probe" || fail "$name: not 640 pixels wide"
    grep -qx 'codec_type=audio' <<< "$probe" || fail "$name: no sound"
    grep -qx 'sample_rate=48000' <<< "$probe" || fail "$name: sound not at 48 kHz"
    local duration
    duration=$(sed -n 's/^duration=//p' <<< "$probe")
    awk -v d="$duration" 'BEGIN { exit !(d > 1.17 && d < 1.23) }' ||
        fail "$name: lasts $duration s, not 1.2 s"
    echo "$name: $(tr '\n' ' ' <<< "$probe")"
}

# Beside the program, and a name outside ASCII.
out="vidéo-写真.mp4"
(cd "$work/clip" && "$wine_program" "$work/beside/zorpa-preview.exe" clip.zrp -o "$out" --scale=2) ||
    fail "beside: exit status $?"
check_video beside "$work/clip/$out"

# On PATH (Wine's PATH takes WINEPATH's folders).
(cd "$work/clip" && WINEPATH='Z:'"${work//\//\\}"'\tools' \
    "$wine_program" "$work/alone/zorpa-preview.exe" clip.zrp -o on-path.mp4 --scale=2) ||
    fail "on PATH: exit status $?"
check_video on-path "$work/clip/on-path.mp4"

# Nowhere: a message, exit status 1, no video.
status=0
(cd "$work/clip" && "$wine_program" "$work/alone/zorpa-preview.exe" clip.zrp -o none.mp4 \
    2> "$work/none.err") || status=$?
[ "$status" = 1 ] || fail "no ffmpeg: exit status $status, not 1"
grep -q 'ffmpeg.exe is neither beside zorpa-preview.exe nor on PATH' "$work/none.err" ||
    fail "no ffmpeg: message $(cat "$work/none.err")"
[ ! -e "$work/clip/none.mp4" ] || fail "no ffmpeg: a video was written"

if [ "$failures" -ne 0 ]; then
    echo "$failures problem(s) with zorpa-preview.exe" >&2
    exit 1
fi
echo "zorpa-preview.exe: 25 frames per second with sound, ffmpeg.exe beside it or on PATH"
