#!/usr/bin/env bash
# Plays a Zorpa container on an emulated STE with the container player and
# records what the machine shows and plays.
#
#   tools/st-play.sh CONTAINER.ZRP [-o PLAY.mp4] [--check] [--keep=DIR]
#                    [--frames=A-B] [--build=DIR] [--through-prg]
#
# The container is the first ACSI disk (the file itself is the disk image);
# Hatari boots the player's ROM (no TOS) headless, with fast-forward, and
# records every 50 Hz frame (320 x 200, PNG) and the sound at 50066 Hz.
# -o writes an MP4 to watch (the frames doubled, H.264, AAC sound).
# --check compares every recorded frame with the viewer's rendering of the
# container's frames through the emulator's colour table, and the recorded
# sound with the container's stream; its last line is
#   frames=N shown=N dropped=D repeated=R sound_corr=C sync_ms=S
# --keep=DIR keeps the recording (DIR/recording.avi) and the disk image.
# --frames=A-B plays frames A..B only (from 0). --through-prg runs
# ZRPPLAY.PRG instead, in a ROM that stands in for GEMDOS and serves the
# file from the same disk. --build=DIR is the build folder (default build/).
# Exit status: with --check, 0 only when every frame was shown for two
# frames in order, C >= 0.95 and |S| <= 20 (ms); else 0 when the run was
# recorded; 1 on failures, 2 on usage errors.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
    sed -n '5,6p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

container=
output=
check=0
keep=
frames=
build=$root/build
through_prg=0
while [ $# -gt 0 ]; do
    case "$1" in
        -o) [ $# -ge 2 ] || usage; output=$2; shift ;;
        --check) check=1 ;;
        --keep=*) keep=${1#*=} ;;
        --frames=*) frames=${1#*=} ;;
        --build=*) build=${1#*=} ;;
        --through-prg) through_prg=1 ;;
        -*) usage ;;
        *) [ -z "$container" ] || usage; container=$1 ;;
    esac
    shift
done
[ -n "$container" ] || usage
for tool in hatari ffmpeg ffprobe; do
    command -v "$tool" >/dev/null || { echo "st-play: $tool is not installed" >&2; exit 1; }
done
host=$build/bin/ste-host
cli=$build/bin/zorpamux-cli
if [ "$through_prg" = 1 ]; then template=$build/bin/ste/zrp-prg-rom.img; else template=$build/bin/ste/zrp-rom.img; fi
for f in "$host" "$cli" "$template"; do
    [ -e "$f" ] || { echo "st-play: $f is missing; build ste-host, zorpamux-cli and ste_programs in $build" >&2; exit 1; }
done

count=$("$cli" check "$container" | sed -n 's/^ok frames=\([0-9]*\).*/\1/p')
[ -n "$count" ] && [ "$count" -gt 0 ] || { echo "st-play: $container: not a container with frames" >&2; exit 1; }
first=0
last=$((count - 1))
if [ -n "$frames" ]; then
    [[ $frames =~ ^([0-9]+)-([0-9]+)$ ]] || usage
    first=$((10#${BASH_REMATCH[1]}))
    last=$((10#${BASH_REMATCH[2]}))
    [ "$last" -lt "$count" ] || last=$((count - 1))
    [ "$first" -le "$last" ] || { echo "st-play: --frames=$frames: no frame of the $count to play" >&2; exit 2; }
fi

if [ -n "$keep" ]; then
    work=$keep
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi

# The disk image: the container itself.
cp "$container" "$work/disk.img"
cp "$template" "$work/player.img"
chmod u+w "$work/player.img"
# put OFFSET BYTES...: writes bytes into the ROM image.
put() {
    local offset=$1
    shift
    printf "$(printf '\\x%02x' "$@")" | dd of="$work/player.img" bs=1 seek="$offset" conv=notrunc status=none
}
long_bytes() { echo $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)); }
if [ "$through_prg" = 1 ]; then
    tail=" D:\\FILM.ZRP $first $last"
    # shellcheck disable=SC2046
    put $((0x80)) ${#tail} $(printf '%s' "$tail" | od -An -tu1)
    startup=40
else
    # shellcheck disable=SC2046
    put $((0x38)) $(long_bytes "$first") $(long_bytes "$last")
    startup=12
fi
# Start-up (reading the header and the sound before the first frame), two
# frames per picture, a few after the end.
vbls=$((startup + first / 200 + 2 * (last - first + 1) + 8))

avi=$work/recording.avi
home=$work/hatari-home
mkdir -p "$home"
rm -f "$avi"
HOME=$home SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    hatari --tos "$work/player.img" --machine ste --memsize 1 --patch-tos false --fast-boot false \
        --acsi 0="$work/disk.img" --sound 50066 --ym-mixing table --fast-forward true \
        --frameskips 0 --zoom 1 --max-width 320 --max-height 200 --borders false \
        --statusbar false --drive-led false --confirm-quit false --log-level error --alert-level fatal \
        --avirecord --avi-vcodec png --png-level 1 --avi-file "$avi" --run-vbls "$vbls" \
        </dev/null >"$work/hatari.log" 2>&1 || true
if [ ! -s "$avi" ]; then
    echo "st-play: Hatari recorded nothing; its output:" >&2
    cat "$work/hatari.log" >&2
    exit 1
fi

# Hatari writes each 50 Hz period's picture with the sound of that period;
# the recording's header gives the frame rate the machine had when it
# started (60 Hz before the ROM's first instruction), so the frames are
# timed anew: the STE's 50 Hz frames come 8021247 / 160256 times a second.
if [ -n "$output" ]; then
    ffmpeg -v error -y -i "$avi" \
        -vf "setpts=N/(8021247/160256)/TB,scale=640:400:flags=neighbor" \
        -r 8021247/160256 -c:v libx264 -pix_fmt yuv420p -crf 16 \
        -af aresample=48000 -c:a aac -b:a 160k -shortest "$output"
fi

status=0
if [ "$check" = 1 ]; then
    # Where each period starts in the recorded sound: the sound packets'
    # timestamps (one packet per period).
    ffprobe -v error -select_streams a:0 -show_entries packet=pts -of csv=p=0 "$avi" \
        >"$work/frame-starts.txt"
    rate=$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of csv=p=0 "$avi")
    ffmpeg -v error -y -i "$avi" -map 0:a:0 -ac 1 -f s16le "$work/sound.s16"
    ffmpeg -v error -i "$avi" -map 0:v:0 -f rawvideo -pix_fmt rgb24 - |
        "$host" play-check "$container" --colours="$root/ste/hatari-colours.csv" --video=- \
            --frame-starts="$work/frame-starts.txt" --sound="$work/sound.s16" --sound-rate="$rate" \
            --frames="$first-$last" || status=$?
fi
exit "$status"
