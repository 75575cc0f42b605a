#!/usr/bin/env bash
# The README's picture of the two colour distances: the sky of the bundled
# rocket photo (left) encoded in mode 2 with the default distance (middle) and
# with --distance=plain (right), the plain picture files rendered by
# brenvik-view, the same crop of each enlarged 4x (nearest neighbour), side
# by side.
#   tools/distance-sky.sh [build/bin] [docs/distance_sky.png]
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(readlink -f "${1:-build/bin}")
picture=$(readlink -f "${2:-docs/distance_sky.png}")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/distance-sky.XXXXXX")
trap 'rm -rf -- "$scratch"' EXIT

inputs=(-i samples/rocket_320x200.bmp)
for distance in phased plain; do
  mkdir "$scratch/$distance"
  cp samples/rocket_320x200.bmp "$scratch/$distance/"
  (cd "$scratch/$distance" && "$bin/brenvik" --mode=2 --distance="$distance" rocket_320x200.bmp >/dev/null)
  "$bin/brenvik-view" "$scratch/$distance/rocket_320x200.bVK" --mode=2 -o "$scratch/$distance.png" \
    --compare=samples/rocket_320x200.bmp
  inputs+=(-i "$scratch/$distance.png")
done
# 110x70 pixels of sky right of the rocket, 4x, with white gaps between.
crop="crop=110:70:190:0,scale=iw*4:ih*4:flags=neighbor,format=rgb24"
ffmpeg -nostdin -hide_banner -loglevel error -y "${inputs[@]}" -filter_complex \
  "[0]$crop,pad=iw+8:ih:0:0:white[a];[1]$crop,pad=iw+8:ih:0:0:white[b];[2]$crop[c];
   [a][b][c]hstack=inputs=3" -frames:v 1 "$picture"
printf 'wrote %s\n' "$picture"
