#!/usr/bin/env bash
# The Windows ffmpeg.exe built for the zip (tools/build-ffmpeg-windows.sh),
# under Wine: short clips the Linux ffmpeg makes in each format the tool
# chain takes (video codecs, containers, sound codecs, image sequences) come
# out as brenvik-video takes them: 25 frames a second as 320x200 BMPs
# through its filters, and the sound as unsigned 8-bit samples at 50066 Hz.
# The frames and the sound must equal the Linux ffmpeg's from the same
# command. Only system DLLs may be imported.
#   ffmpeg_test.sh FFMPEG.exe
set -euo pipefail
ffmpeg_exe=$1
wine_program=${WINE:-wine}
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (Debian package ffmpeg)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

system_dlls='^(kernel32|msvcrt|shell32|user32|advapi32|ws2_32|bcrypt|ucrtbase|api-ms-win-.*)\.dll$'
while read -r dll; do
    [[ "${dll,,}" =~ $system_dlls ]] || fail "ffmpeg.exe needs $dll"
done < <(x86_64-w64-mingw32-objdump -p "$ffmpeg_exe" | sed -n 's/^\s*DLL Name: //p')

# One second of a moving test picture (non-square pixels in one case) and a tone.
source_video=(-f lavfi -i "testsrc2=size=176x100:rate=25:duration=1")
source_sound=(-f lavfi -i "sine=frequency=330:sample_rate=44100:duration=1")
make() {
    ffmpeg -nostdin -hide_banner -loglevel error -y "${source_video[@]}" "$@"
}
cases=()
add_case() {  # NAME INPUT(relative to the case folder) ENCODER-ARGS...
    local name=$1 input=$2
    shift 2
    mkdir -p "$work/$name"
    (cd "$work/$name" && make "$@") || { fail "$name: the Linux ffmpeg cannot make it"; return; }
    cases+=("$name|$input")
}
add_case h264-aac-mp4 in.mp4 "${source_sound[@]}" -c:v libx264 -pix_fmt yuv420p -c:a aac in.mp4
add_case hevc-mp3-mkv in.mkv "${source_sound[@]}" -c:v libx265 -x265-params log-level=none \
    -c:a libmp3lame in.mkv
add_case vp9-opus-webm in.webm "${source_sound[@]}" -c:v libvpx-vp9 -c:a libopus in.webm
add_case vp8-vorbis-webm in.webm "${source_sound[@]}" -c:v libvpx -c:a libvorbis in.webm
add_case mpeg4-pcm-avi in.avi "${source_sound[@]}" -c:v mpeg4 -c:a pcm_s16le in.avi
add_case mjpeg-anamorphic-avi in.avi "${source_sound[@]}" -vf setsar=4/3 -c:v mjpeg \
    -c:a pcm_u8 in.avi
add_case prores-pcm-mov in.mov "${source_sound[@]}" -c:v prores_ks -c:a pcm_s24le in.mov
add_case ffv1-silent-mkv in.mkv -c:v ffv1 in.mkv
add_case png-sequence 'img%03d.png' -c:v png 'img%03d.png'
add_case bmp-sequence 'img%03d.bmp' -c:v bmp 'img%03d.bmp'
add_case jpeg-sequence 'img%03d.jpg' -c:v mjpeg 'img%03d.jpg'

# brenvik-video's frame filter (pad fit) and sound conversion.
filter="scale=w='trunc(iw*if(gt(sar,0),sar,1))':h=ih,fps=25"
filter+=",scale=320:158:force_original_aspect_ratio=decrease:flags=lanczos,format=bgr24"
filter+=",pad=320:158:(ow-iw)/2:(oh-ih)/2:black,pad=320:200:0:21:black,setsar=1"
extract() {  # PROGRAM... -- INPUT OUTPUT-FOLDER HAS-SOUND
    local program=()
    while [ "$1" != "--" ]; do program+=("$1"); shift; done
    shift
    local input=$1 out=$2 has_sound=$3
    mkdir -p "$out"
    local sound=()
    [ "$has_sound" = 0 ] || sound=(-map 0:a:0 -ac 1 -ar 50066 -f u8 "$out/sound.raw")
    local rate=()
    [[ "$input" != *%* ]] || rate=(-framerate 25)
    "${program[@]}" -nostdin -hide_banner -loglevel error "${rate[@]}" -i "$input" \
        -map 0:v:0 -vf "$filter" -c:v bmp -pix_fmt bgr24 -start_number 0 -y \
        "$out/frame%05d.bmp" "${sound[@]}"
}

for entry in "${cases[@]}"; do
    name=${entry%%|*}
    input=${entry#*|}
    has_sound=1
    [[ "$name" != *silent* && "$name" != *sequence* ]] || has_sound=0
    (cd "$work/$name" && extract ffmpeg -- "$input" linux "$has_sound") ||
        { fail "$name: the Linux ffmpeg cannot read it"; continue; }
    (cd "$work/$name" && extract "$wine_program" "$ffmpeg_exe" -- "$input" windows "$has_sound") ||
        { fail "$name: ffmpeg.exe cannot read it"; continue; }
    frames=$(find "$work/$name/windows" -name 'frame*.bmp' | wc -l)
    # One second at 25 frames a second (the fps filter may keep one more at
    # the end of a container whose last frame lasts longer).
    [ "$frames" -ge 25 ] && [ "$frames" -le 26 ] || fail "$name: $frames frames, not 25"
    size=$(stat -c %s "$work/$name/windows/frame00000.bmp" 2>/dev/null || echo 0)
    [ "$size" = 192054 ] || fail "$name: a frame of $size bytes, not a 320x200 BMP"
    if [ "$has_sound" = 1 ]; then
        samples=$(stat -c %s "$work/$name/windows/sound.raw" 2>/dev/null || echo 0)
        [ "$samples" -gt 48000 ] && [ "$samples" -lt 52000 ] ||
            fail "$name: $samples sound samples for one second"
    fi
    if diff -rq "$work/$name/linux" "$work/$name/windows" > /dev/null; then
        echo "same: $name ($frames frames$([ "$has_sound" = 0 ] || echo ", $samples samples"))"
    else
        fail "$name: ffmpeg.exe's frames or sound differ from the Linux ffmpeg's"
        diff -rq "$work/$name/linux" "$work/$name/windows" | head -3 >&2 || true
    fi
done

if [ "$failures" -ne 0 ]; then
    echo "$failures problem(s) with ffmpeg.exe" >&2
    exit 1
fi
echo "ffmpeg.exe reads every format of the chain as the Linux ffmpeg does"
