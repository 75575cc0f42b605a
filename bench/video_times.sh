#!/usr/bin/env bash
# Frames per second of brenvik-video for a 10-second 25 fps clip (a slow zoom
# into the bundled sample picture with a tone), once per job count:
#   bench/video_times.sh [build/bin] [seconds] [jobs...]     (default: 10 s, 1 and 2 jobs)
# VIDEO_OPTIONS adds options to every brenvik-video run, such as
# VIDEO_OPTIONS=--threads=0 (encoders with one worker per core each instead of
# single-threaded ones). Prints the machine's load beside each figure: on a
# shared machine they move with it.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(readlink -f "${1:-build/bin}")
seconds=${2:-10}
shift $(($# > 2 ? 2 : $#))
job_counts=("$@")
((${#job_counts[@]})) || job_counts=(1 2)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/video-times.XXXXXX")
trap 'rm -rf -- "$scratch"' EXIT
ffmpeg -nostdin -hide_banner -loglevel error -loop 1 -framerate 25 -i samples/chelsea_320x200.bmp \
  -f lavfi -i "sine=frequency=330:sample_rate=44100:duration=$seconds" \
  -vf "zoompan=z='1+0.002*on':x='iw/2-iw/zoom/2':y='ih/2-ih/zoom/2':d=1:s=320x200:fps=25" \
  -t "$seconds" -c:v ffv1 -c:a pcm_s16le "$scratch/clip.mkv"

printf 'cores=%s clip=%ss\n' "$(nproc)" "$seconds"
for jobs in "${job_counts[@]}"; do
  load_before=$(cut -d' ' -f1 /proc/loadavg)
  # shellcheck disable=SC2086  # VIDEO_OPTIONS is a list of options
  summary=$("$bin/brenvik-video" "$scratch/clip.mkv" "$scratch/clip.ZRP" --jobs="$jobs" \
    ${VIDEO_OPTIONS:-} 2>/dev/null)
  load_after=$(cut -d' ' -f1 /proc/loadavg)
  printf 'jobs=%s %s %s load=%s..%s\n' "$jobs" "${VIDEO_OPTIONS:-}" "${summary% container=*}" \
    "$load_before" "$load_after"
done
