#!/usr/bin/env bash
# Measures the emulator's colour for each of the 4096 STE colours: builds a
# ROM that shows a chart of all of them (half in each of two alternating
# frames), records it in Hatari and reads the chart back.
#
#   tools/st-measure-colours.sh [OUT.csv] [BUILD_DIR]
#
# OUT.csv defaults to ste/hatari-colours.csv, BUILD_DIR to build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/ste/hatari-colours.csv}
build=${2:-$root/build}
# shellcheck source=tools/st-hatari.sh
. "$root/tools/st-hatari.sh"
for tool in hatari ffmpeg ffprobe; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
host=$build/bin/ste-host
template=$build/bin/ste/bvk-rom.img
[ -x "$host" ] && [ -f "$template" ] || { echo "build ste-host and the ROM template first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$host" chart -o "$work/chart.bVK"
"$host" embed "$template" "$work/chart.bVK" --mode=2 --pixpal=2 -o "$work/chart.img"
st_run_rom "$work/chart.img" 20 "$work/chart.avi"
st_frame "$work/chart.avi" -2 "$work/a.ppm"
st_frame "$work/chart.avi" -1 "$work/b.ppm"
"$host" measure "$work/a.ppm" "$work/b.ppm" -o "$out"
echo "wrote $out"
