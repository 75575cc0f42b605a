#!/usr/bin/env bash
# Wall time and quality figure of brenvik on the bundled sample picture in
# mode 0 at qualities 1, 3 and 5.
#   bench/encode_times.sh [build/bin/brenvik]
set -euo pipefail
cd "$(dirname "$0")/.."
brenvik=$(realpath "${1:-build/bin/brenvik}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp samples/chelsea_320x200.bmp "$work/"
cd "$work"
printf '%-8s %10s %10s %s\n' quality wall_s cpu_s bestdistancemoyenneall
for q in 1 3 5; do
  start=$(date +%s.%N)
  /usr/bin/time -f '%U %S' -o times.txt "$brenvik" -$q chelsea_320x200.bmp > out.txt
  end=$(date +%s.%N)
  cpu=$(awk '{print $1 + $2}' times.txt)
  figure=$(sed -n 's/^bestdistancemoyenneall=\([0-9.]*\) .*/\1/p' out.txt)
  printf '%-8s %10.2f %10.2f %s\n' "-$q" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$cpu" "$figure"
done
