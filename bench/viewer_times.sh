#!/usr/bin/env bash
# Time per picture of brenvik-view (rendering plus PNG, with and without
# --compare) and time of zorpa-preview per 100 frames of a container.
#   bench/viewer_times.sh [build/bin] [frames]
# The container is frames (default 100) mode-2 frames of the bundled sample
# encoded at -0 with a generated tone, packed by zorpamux-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/bin}")
frames=${2:-100}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp samples/chelsea_320x200.bmp "$work/pic.bmp"
cd "$work"
"$bin/brenvik" -0 --mode=2 pic.bmp > /dev/null
cp pic.bmp two.bmp
"$bin/brenvik" -0 --mode=0 --pixpal=3 two.bmp > /dev/null

seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }

# Wall and processor seconds (user + system) of a command, "wall cpu".
timed() {
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f '%U %S' -o cpu.txt "$@" > /dev/null
  end=$(date +%s.%N)
  echo "$(seconds "$start" "$end") $(awk '{ print $1 + $2 }' cpu.txt)"
}

runs=50
printf '%-48s %12s %12s\n' "brenvik-view, per picture" wall_s cpu_s
for args in "pic.bVK" "pic.bVK --compare=pic.bmp" "pic.bVK --compare=pic.bmp --strip=s.png" \
            "two.bVK --each" "pic.bVK --scale=4"; do
  wall=0
  cpu=0
  for _ in $(seq "$runs"); do
    read -r w c < <(timed "$bin/brenvik-view" $args -o out.png)
    wall=$(awk -v a="$wall" -v b="$w" 'BEGIN { print a + b }')
    cpu=$(awk -v a="$cpu" -v b="$c" 'BEGIN { print a + b }')
  done
  printf '%-48s %12.4f %12.4f\n' "$args" "$(awk -v t="$wall" -v n="$runs" 'BEGIN { print t / n }')" \
    "$(awk -v t="$cpu" -v n="$runs" 'BEGIN { print t / n }')"
done

# A container of `frames` copies of the mode-2 picture.
for i in $(seq 0 $((frames - 1))); do ln -s pic.bVK "$(printf 'FRAME%05d.bVK' "$i")"; done
python3 - <<'PY'
import math, struct
n = 50066 * 6
data = bytes(int(128 + 90 * math.sin(2 * math.pi * 440 * i / 50066)) for i in range(n))
header = b'RIFF' + struct.pack('<I', 36 + n) + b'WAVEfmt ' + \
    struct.pack('<IHHIIHH', 16, 1, 1, 50066, 50066, 1, 8) + b'data' + struct.pack('<I', n)
open('tone.wav', 'wb').write(header + data)
PY
"$bin/zorpamux-cli" -p FRAME00000.bVK -s tone.wav -L $((frames - 1)) -o clip.zrp
# zorpa-preview's own processor time, ffmpeg's (its child) included.
printf '%-48s %12s %12s\n' "zorpa-preview, per 100 frames" wall_s cpu_s
for scale in 1 2; do
  read -r w c < <(timed "$bin/zorpa-preview" clip.zrp -o clip.mp4 --scale=$scale)
  printf '%-48s %12.3f %12.3f\n' "$frames frames, --scale=$scale" \
    "$(awk -v t="$w" -v n="$frames" 'BEGIN { print t * 100 / n }')" \
    "$(awk -v t="$c" -v n="$frames" 'BEGIN { print t * 100 / n }')"
done
