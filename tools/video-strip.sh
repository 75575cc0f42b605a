#!/usr/bin/env bash
# The README's strip of frames from a real result: a 2-second zoom into the
# bundled sample picture made into a container by brenvik-video (default
# settings), four of its frames taken back out with the container reader and
# rendered by brenvik-view, side by side.
#   tools/video-strip.sh [build/bin] [docs/video_strip.png]
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(readlink -f "${1:-build/bin}")
strip=$(readlink -f "${2:-docs/video_strip.png}")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/video-strip.XXXXXX")
trap 'rm -rf -- "$scratch"' EXIT

ffmpeg -nostdin -hide_banner -loglevel error -loop 1 -framerate 25 -i samples/chelsea_320x200.bmp \
  -vf "zoompan=z='1+0.01*on':x='iw/2-iw/zoom/2':y='ih/3-ih/zoom/3':d=1:s=640x400:fps=25" \
  -t 2 -c:v ffv1 "$scratch/clip.mkv"
"$bin/brenvik-video" "$scratch/clip.mkv" "$scratch/clip.ZRP"
inputs=()
for frame in 0 16 32 48; do
  "$bin/zorpamux-cli" extract-frame "$scratch/clip.ZRP" "$frame" -o "$scratch/$frame.bVK" >/dev/null
  "$bin/brenvik-view" "$scratch/$frame.bVK" -o "$scratch/$frame.png"
  inputs+=(-i "$scratch/$frame.png")
done
ffmpeg -nostdin -hide_banner -loglevel error -y "${inputs[@]}" \
  -filter_complex "hstack=inputs=4" -frames:v 1 "$strip"
printf 'wrote %s\n' "$strip"
