#!/usr/bin/env bash
# Encodes the same pictures with two brenvik builds over a wide option sweep
# and reports every run whose files or standard output (timing figures
# masked) differ. Used to check that a speed change keeps the output.
#   tools/compare_builds.sh OLD_BRENVIK NEW_BRENVIK [jobs]
# Exit status 0 when every run matches.
set -euo pipefail
jobs=${3:-2}
here=$(cd "$(dirname "$0")/.." && pwd)
samples=${SAMPLES:-$here/samples}
wide=${WIDE_SAMPLE:-$samples/astronaut_416x229.bmp}
second=${SECOND_SAMPLE:-$samples/astronaut_320x200.bmp}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Private copies, so a rebuild during the run cannot mix two builds.
cp "$1" "$work/old_brenvik"
cp "$2" "$work/new_brenvik"
old=$work/old_brenvik
new=$work/new_brenvik

cp "$samples/chelsea_320x200.bmp" "$work/p320x200.bmp"
cp "$wide" "$work/p416x229.bmp"
cp "$second" "$work/p320x200_second.bmp"
# The 320x20 picture of mode 4: the top 20 lines of the photo.
python3 - "$work/p320x200.bmp" "$work/p320x20.bmp" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
offset = struct.unpack_from("<I", data, 10)[0]
w, h = struct.unpack_from("<ii", data, 18)
row = (w * 3 + 3) & ~3
top = h - 20  # bottom-up rows: the top lines are stored last
pixels = data[offset + top * row: offset + h * row]
header = b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54) + struct.pack(
    "<iiiHHIIiiII", 40, w, 20, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[2], "wb").write(header + pixels)
PY

# One case per line: picture size, companion picture (0/1), options.
cases=$work/cases.txt
{
  for q in -0 -1 -3 -5; do
    for m in 0 1 2; do echo "320x200 0 $q --mode=$m"; done
    echo "416x229 0 $q --mode=3"
    echo "320x20 0 $q --mode=4"
  done
  for p in 1 2 3; do
    for d in 0 1 2 3 4 5; do
      echo "320x200 0 -1 --pixpal=$p --dith=$d"
      echo "320x200 1 -1 --pixpal=$p --dith=$d"
    done
  done
  for e in 0 1 2 3; do echo "320x200 0 -1 --ed=$e"; done
  for b in 1 2 3 4 5 6; do
    echo "320x200 0 -1 --blockoflines=$b"
    echo "416x229 0 -1 --mode=3 --blockoflines=$b"
    echo "320x200 1 -1 --pixpal=3 --blockoflines=$b"
  done
  echo "320x200 0 -3 --pixpal=2"
  echo "320x200 0 -3 --blockoflines=3"
  for s in 0 3 9; do echo "320x200 0 -1 --mode=1 --shiftpixels=$s"; done
  echo "320x200 0 -1 --seed=7"
  echo "320x200 0 -1 --verbose --preview=1"
  echo "320x200 1 -1 --verbose --pixpal=3 --blockoflines=2"
  for p in 1 2 3; do
    for d in 0 1 2 3 4 5; do
      for e in 0 1 2 3; do
        for b in 1 2 3 4 5 6; do
          echo "320x20 $((p > 1 ? 1 : 0)) -1 --mode=4 --pixpal=$p --dith=$d --ed=$e --blockoflines=$b"
        done
      done
    done
  done
  echo "320x20 0 -3 --mode=4 --verbose --seed=11 --dith=3"
  echo "320x20 1 -3 --mode=4 --verbose --pixpal=2 --preview=1"
} > "$cases"

run_case() { # number, binary, folder, size, companion, options...
  local n=$1 bin=$2 dir=$3 size=$4 companion=$5
  shift 5
  mkdir -p "$dir"
  cp "$work/p$size.bmp" "$dir/pic.bmp"
  [ "$companion" = 1 ] && cp "$work/p320x200_second.bmp" "$dir/pic_bis.bmp"
  [ "$companion" = 1 ] && [ "$size" = 320x20 ] && cp "$work/p320x20.bmp" "$dir/pic_bis.bmp"
  (cd "$dir" && "$bin" "$@" pic.bmp > stdout.txt 2> stderr.txt; echo "exit $?" >> stderr.txt)
  sed -i -E 's/[0-9]+\.[0-9]+ seconds/T seconds/g; s/in [0-9]+\.[0-9]+ sec/in T sec/g' "$dir/stdout.txt"
  : "$n"
}
export -f run_case
export work

compare_one() { # number and case line
  local n=$1
  shift
  local size=$1 companion=$2
  shift 2
  run_case "$n" "$old" "$work/old/$n" "$size" "$companion" "$@"
  run_case "$n" "$new" "$work/new/$n" "$size" "$companion" "$@"
  if diff -r -q "$work/old/$n" "$work/new/$n" > "$work/new/$n.diff"; then
    echo "same $n: $size $companion $*"
    rm -rf "$work/old/$n" "$work/new/$n"
  else
    echo "DIFF $n: $size $companion $* ($(tr '\n' ' ' < "$work/new/$n.diff"))"
  fi
}
export -f compare_one
export old new

nl -ba "$cases" | xargs -P "$jobs" -L 1 bash -c 'compare_one "$@"' _ > "$work/results.txt"
sort -k2 -n "$work/results.txt" > "$work/sorted.txt"
total=$(wc -l < "$work/sorted.txt")
bad=$(grep -c '^DIFF' "$work/sorted.txt" || true)
grep '^DIFF' "$work/sorted.txt" || true
echo "$total runs, $bad differ"
[ "$bad" = 0 ]
