#!/usr/bin/env bash
# Cross-builds a small ffmpeg.exe and ffprobe.exe for Windows x86-64 from
# Debian's own ffmpeg source package with MinGW-w64: only the decoders,
# demuxers, filters, encoders and muxers the tool chain uses, LGPL parts
# only, linked statically so the programs import system DLLs alone.
#   tools/build-ffmpeg-windows.sh OUT_DIR
# leaves OUT_DIR/ffmpeg.exe, OUT_DIR/ffprobe.exe and OUT_DIR/ffmpeg-licence/
# (ffmpeg's licence texts, Debian's copyright file and where the source came
# from, with the configure line).
#
# The result is kept in a cache folder keyed on the source version, the
# configure line and the compiler, so that the next build copies it instead
# of building again: ${BRENVIK_CACHE_DIR:-$XDG_CACHE_HOME/brenvik (default
# ~/.cache/brenvik)}/ffmpeg-windows-KEY.
set -euo pipefail
[ $# = 1 ] || { echo "usage: $0 OUT_DIR" >&2; exit 2; }
out=$1
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/debian-source.sh
. "$root/tools/debian-source.sh"

triplet=x86_64-w64-mingw32
cc=$triplet-gcc-posix

# What goes in. Video: the decoders and demuxers of the files users have
# (H.264, HEVC, VP8/VP9, MPEG-4, MJPEG, ProRes, FFV1; PNG, BMP and JPEG image
# sequences; MP4/MOV, Matroska/WebM, AVI). Sound: AAC, MP3, Vorbis, Opus and
# PCM (also in Ogg, MP3, AAC and WAV files). Out: BMP frames, raw video,
# unsigned 8-bit sound, and the preview's MP4 (MPEG-4 part 2 video and AAC
# sound, both ffmpeg's own encoders).
decoders=h264,hevc,vp8,vp9,mpeg4,mjpeg,prores,png,bmp,ffv1,rawvideo
decoders+=,aac,aac_latm,mp3,mp3float,vorbis,opus
decoders+=,pcm_u8,pcm_s8,pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,pcm_s32le,pcm_s32be
decoders+=,pcm_f32le,pcm_f32be,pcm_f64le,pcm_alaw,pcm_mulaw
demuxers=mov,matroska,avi,ogg,mp3,aac,wav,image2,rawvideo
parsers=h264,hevc,vp8,vp9,mpeg4video,mjpeg,png,bmp,aac,aac_latm,mpegaudio,vorbis,opus
encoders=bmp,rawvideo,pcm_u8,pcm_s16le,mpeg4,aac
muxers=image2,image2pipe,rawvideo,pcm_u8,wav,mp4,null
# The filters brenvik-video and zorpa-preview ask for, and those the ffmpeg
# program itself inserts (cutting, rotation, format conversion).
filters=buffer,buffersink,abuffer,abuffersink,null,anull,format,aformat
filters+=,scale,fps,pad,crop,setsar,trim,atrim,aresample,apad
filters+=,transpose,hflip,vflip
configure=(--enable-cross-compile --arch=x86_64 --target-os=mingw32
           --cross-prefix=$triplet- --cc=$cc --pkg-config=false
           --extra-ldflags=-static
           --disable-everything --disable-autodetect --disable-doc --disable-debug
           --disable-network --disable-shared --enable-static --disable-x86asm
           --disable-avdevice --disable-postproc --disable-ffplay
           --enable-ffmpeg --enable-ffprobe --enable-w32threads --enable-zlib
           --enable-protocol=file,pipe
           --enable-decoder=$decoders --enable-demuxer=$demuxers
           --enable-parser=$parsers --enable-encoder=$encoders
           --enable-muxer=$muxers --enable-filter=$filters)

# The version: the one of the ffmpeg program this machine's package lists
# offer, so the key is known before anything is fetched.
version=$(apt-cache policy ffmpeg | sed -n 's/^ *Candidate: //p')
[ -n "$version" ] && [ "$version" != "(none)" ] ||
    { echo "no ffmpeg package known to apt (run apt-get update)" >&2; exit 1; }

cache_base=${BRENVIK_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/brenvik}
cache_key() {
    { echo "ffmpeg $1"; printf '%s\n' "${configure[@]}"; "$cc" --version | head -n 1; } |
        sha256sum | cut -c1-16
}

# The cache entry copied out, with a note of where the source came from
# (written here, so its wording may change without a new build).
install_from() {
    rm -rf "$out"
    mkdir -p "$(dirname "$out")"
    cp -r "$1" "$out"
    local fetched upstream
    fetched=$(cat "$out/version")
    rm "$out/version"
    upstream=${fetched#*:}
    upstream=${upstream%-*}
    {
        echo "ffmpeg.exe is FFmpeg $upstream, built from Debian's source package"
        echo "ffmpeg $fetched (with Debian's patches), under the GNU Lesser General"
        echo "Public License version 2.1 or later (COPYING.LGPLv2.1; no GPL or non-free"
        echo "part is enabled). The same source is had on Debian 12 with"
        echo
        echo "    apt-get source ffmpeg=$fetched"
        echo
        echo "or from the Debian archive (https://snapshot.debian.org/package/ffmpeg/)."
        echo "It was cross-compiled with $("$cc" --version | head -n 1),"
        echo "linked statically, with this configure line:"
        echo
        echo "    ./configure ${configure[*]}"
    } > "$out/ffmpeg-licence/SOURCE.txt"
}

cached=$cache_base/ffmpeg-windows-$(cache_key "$version")
if [ -f "$cached/ffmpeg.exe" ] && [ -f "$cached/version" ]; then
    install_from "$cached"
    echo "ffmpeg for Windows: from the cache $cached"
    exit 0
fi

started=$SECONDS
work=$(mktemp -d "${TMPDIR:-/tmp}/ffmpeg-windows-XXXXXX")
chmod 755 "$work"  # apt fetches as its own user
trap 'rm -rf "$work"' EXIT
source_dir=$(fetch_debian_source ffmpeg "$work/source" "$version")
fetched=$(cat "$work/source/version")
if [ "$fetched" != "$version" ]; then
    cached=$cache_base/ffmpeg-windows-$(cache_key "$fetched")
    version=$fetched
fi

mkdir -p "$work/build"
(cd "$work/build" && "$source_dir/configure" "${configure[@]}" > configure.log) || {
    tail -n 30 "$work/build/config.log" >&2
    exit 1
}
make -C "$work/build" -j "$(nproc)" ffmpeg.exe ffprobe.exe > "$work/build/make.log" 2>&1 || {
    tail -n 40 "$work/build/make.log" >&2
    exit 1
}

# The result, whole, then moved into the cache in one step.
result=$work/result
mkdir -p "$result/ffmpeg-licence"
cp "$work/build/ffmpeg.exe" "$work/build/ffprobe.exe" "$result/"
cp "$source_dir/COPYING.LGPLv2.1" "$source_dir/LICENSE.md" "$result/ffmpeg-licence/"
cp "$source_dir/debian/copyright" "$result/ffmpeg-licence/debian-copyright"
echo "$version" > "$result/version"
mkdir -p "$cache_base"
rm -rf "$cached.partial"
mv "$result" "$cached.partial"
rm -rf "$cached"
mv "$cached.partial" "$cached"
install_from "$cached"
echo "ffmpeg for Windows: built in $((SECONDS - started)) s, cached in $cached"
ls -l "$out"/*.exe
