#!/usr/bin/env bash
# Compares the resampling filters of --fit on photos: each photo is fitted
# (crop) into 320x200 with Lanczos-3 and with Catmull-Rom, the fitted picture
# is encoded (mode 0, quality 3) and the picture file and its diffused twin
# are measured by brenvik-view --compare against that fitted picture.
#   bench/fit_filters.sh BIN_DIR PHOTO...
# BIN_DIR holds brenvik, brenvik-view and fit_filter_tool (a build with
# -DBUILD_BENCHMARKS=ON). Prints one table row per photo and filter, then the
# means.
set -euo pipefail
bin=$(realpath "$1")
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-22s %-12s %8s %8s %8s %8s\n' photo filter psnr seen F_psnr F_seen
for photo in "$@"; do
  name=$(basename "${photo%.*}")
  for filter in lanczos3 catmull-rom; do
    dir=$work/$name-$filter
    mkdir -p "$dir"
    "$bin/fit_filter_tool" "$filter" crop 320 200 "$photo" "$dir/pic.bmp"
    (cd "$dir" && "$bin/brenvik" -3 pic.bmp > /dev/null)
    read -r plain_psnr plain_seen < <("$bin/brenvik-view" "$dir/pic.bVK" -o "$dir/v.png" \
      --compare="$dir/pic.bmp" | sed -E 's/psnr=([^ ]+) weighted=[^ ]+ seen_psnr=(.*)/\1 \2/')
    read -r f_psnr f_seen < <("$bin/brenvik-view" "$dir/Fpic.bVK" -o "$dir/f.png" \
      --compare="$dir/pic.bmp" | sed -E 's/psnr=([^ ]+) weighted=[^ ]+ seen_psnr=(.*)/\1 \2/')
    printf '%-22s %-12s %8s %8s %8s %8s\n' "$name" "$filter" "$plain_psnr" "$plain_seen" \
      "$f_psnr" "$f_seen"
  done
done | tee "$work/table"
awk 'NR > 0 { n[$2]++; p[$2] += $3; s[$2] += $4; fp[$2] += $5; fs[$2] += $6 }
     END { for (f in n) printf "%-22s %-12s %8.4f %8.4f %8.4f %8.4f\n", "mean", f,
           p[f] / n[f], s[f] / n[f], fp[f] / n[f], fs[f] / n[f] }' "$work/table"
