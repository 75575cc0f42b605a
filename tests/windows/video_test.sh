#!/usr/bin/env bash
# brenvik-video.exe under Wine, with the ffmpeg.exe beside it: a real video
# the Linux ffmpeg makes (H.264 and AAC in MP4, 1.2 s, not of the window's
# aspect) becomes, under a name outside ASCII, a container byte-identical to
# the Linux brenvik-video's with the same options, leaving no temporary
# folder behind; without ffmpeg.exe, with --sshlogin and with a missing
# input, it says why, exits with status 1 and writes nothing.
#   video_test.sh WINDOWS_BIN_DIR LINUX_BIN_DIR
set -euo pipefail
windows_bin=$1
linux_bin=$2
wine_program=${WINE:-wine}
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (Debian package ffmpeg)" >&2; exit 1; }
[ -x "$linux_bin/brenvik-video" ] ||
    { echo "no Linux brenvik-video in $linux_bin to compare with (build it first)" >&2; exit 1; }
[ -f "$windows_bin/ffmpeg.exe" ] || { echo "no ffmpeg.exe in $windows_bin" >&2; exit 1; }

work=$(mktemp -d)
# A Wine prefix of the test's own, so that its temporary folder holds only
# what these runs leave (other tests run brenvik-video.exe at the same time).
export WINEPREFIX="$work/wine"
mkdir -p "$WINEPREFIX"
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
wineboot -i >/dev/null 2>&1 || true
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" <<< "$2"; }
# The Wine prefix's temporary folders, where brenvik-video.exe makes its own.
left_in_wine_temp() {
    find "$WINEPREFIX/drive_c/users" -maxdepth 6 -name 'brenvik-video.*' 2>/dev/null
}

mkdir -p "$work/clip"
ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=256x144:rate=30:duration=1.2" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=1.2" \
    -c:v libx264 -pix_fmt yuv420p -c:a aac "$work/clip/clip.mp4"

# options | frames
cases=(
    "--quality=0|30"
    "--fit=crop --diffused --quality=1 --ed=2 --seed=9 --start=0.2 --duration=0.6|15"
)
out="vidéo-写真.ZRP"
for row in "${cases[@]}"; do
    IFS='|' read -r options frames <<< "$row"
    # shellcheck disable=SC2086  # the options are words on purpose
    linux=$(cd "$work/clip" && "$linux_bin/brenvik-video" clip.mp4 linux.ZRP $options 2> /dev/null) ||
        { fail "$options: the Linux brenvik-video failed"; continue; }
    status=0
    # shellcheck disable=SC2086
    windows=$(cd "$work/clip" &&
        "$wine_program" "$windows_bin/brenvik-video.exe" clip.mp4 "$out" $options 2> "$work/err.txt") ||
        status=$?
    [ "$status" = 0 ] || { fail "$options: exit status $status: $(cat "$work/err.txt")"; continue; }
    [ "$(field frames "$windows")" = "$frames" ] || fail "$options: summary '$windows'"
    [ "$(field bytes "$windows")" = "$(field bytes "$linux")" ] || fail "$options: summary '$windows'"
    if cmp -s "$work/clip/linux.ZRP" "$work/clip/$out"; then
        echo "same container: $options ($frames frames, $(stat -c %s "$work/clip/$out") bytes)"
    else
        fail "$options: the container differs from the Linux brenvik-video's"
    fi
    rm -f "$work/clip/$out"
done
[ -z "$(left_in_wine_temp)" ] || fail "temporary folders left: $(left_in_wine_temp)"

# Refusals, the last after its work folder was made.
mkdir -p "$work/alone"
cp "$windows_bin/brenvik-video.exe" "$work/alone/"
# what | program folder | input | options | words of the message
refusals=(
    "no ffmpeg.exe|$work/alone|clip.mp4||ffmpeg.exe is neither beside brenvik-video.exe nor on PATH"
    "--sshlogin|$windows_bin|clip.mp4|--sshlogin=:|GNU parallel and ssh, which the Windows build does not use"
    "missing input|$windows_bin|missing.mp4||ffmpeg cannot read"
)
for row in "${refusals[@]}"; do
    IFS='|' read -r what folder input options words <<< "$row"
    status=0
    # shellcheck disable=SC2086
    (cd "$work/clip" && "$wine_program" "$folder/brenvik-video.exe" "$input" refused.ZRP $options \
        > "$work/out.txt" 2> "$work/err.txt") || status=$?
    [ "$status" = 1 ] || fail "$what: exit status $status, not 1"
    grep -qF -- "$words" "$work/err.txt" || fail "$what: message $(cat "$work/err.txt")"
    [ ! -s "$work/out.txt" ] || fail "$what: a summary was printed"
    [ ! -e "$work/clip/refused.ZRP" ] || fail "$what: a container was written"
done
# A run that fails after its work folder was made (ffmpeg has just run and
# ended) takes the folder away too.
[ -z "$(left_in_wine_temp)" ] || fail "temporary folders left after the refusals: $(left_in_wine_temp)"

if [ "$failures" -ne 0 ]; then
    echo "$failures problem(s) with brenvik-video.exe" >&2
    exit 1
fi
echo "brenvik-video.exe: the Linux program's containers; refusals named"
