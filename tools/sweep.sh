#!/usr/bin/env bash
# Runs brenvik over every combination of --pixpal 1..3, --dith 0..5, --ed 0..3,
# --blockoflines 1..6 and --mode 0..4 on small generated pictures, and checks
# the exit status, the absence of sanitizer reports and the size of every
# output file. Meant for a sanitizer build:
#   tools/sweep.sh build-asan/bin/brenvik [jobs]
set -euo pipefail
brenvik=$(realpath "$1")
jobs=${2:-2}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One noisy gradient picture per size.
python3 - "$work" <<'PY'
import struct, sys, random
def bmp(path, w, h, seed):
    rnd = random.Random(seed)
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r = min(255, max(0, 255 * x // w + rnd.randint(-20, 20)))
            g = min(255, max(0, 255 * y // h + rnd.randint(-20, 20)))
            b = (x * 7 + y * 13) % 256
            row += bytes((b, g, r))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54) + struct.pack(
        "<iiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    open(path, "wb").write(header + data)
bmp(sys.argv[1] + "/p320x200.bmp", 320, 200, 1)
bmp(sys.argv[1] + "/p416x229.bmp", 416, 229, 2)
bmp(sys.argv[1] + "/p320x20.bmp", 320, 20, 3)
PY

run_one() {
  local brenvik=$1 work=$2 mode=$3 pixpal=$4 dith=$5 ed=$6 blocks=$7
  local w=320 h=200 colours=54
  case $mode in 1) colours=80 ;; 2) colours=48 ;; 3) w=416 h=229 colours=48 ;; 4) h=20 colours=0 ;; esac
  local dir="$work/m${mode}p${pixpal}d${dith}e${ed}b${blocks}"
  mkdir -p "$dir"
  cp "$work/p${w}x${h}.bmp" "$dir/pic.bmp"
  if ! (cd "$dir" && "$brenvik" -0 --mode=$mode --pixpal=$pixpal --dith=$dith --ed=$ed \
        --blockoflines=$blocks pic.bmp > out.txt 2> err.txt); then
    echo "FAIL exit: $dir"; cat "$dir/err.txt"; return 1
  fi
  if [ -s "$dir/err.txt" ]; then echo "FAIL stderr: $dir"; cat "$dir/err.txt"; return 1; fi
  local seg=$blocks minus=0
  case $blocks in 2) minus=0 ;; 3) minus=-1 ;; 4) minus=-1 ;; 5) minus=-2 ;; 6) minus=-2 ;; *) seg=1 ;; esac
  local first=$((1 - minus)) count=0 c
  for ((c = first; c < h + seg; c += seg)); do count=$((count + 1)); done
  local bitmap=$((w * h / 2)) record=$((2 * colours))
  local expected=$((bitmap + count * record))
  [ "$pixpal" != 1 ] && expected=$((expected + h * record))
  check() { # file size
    local size; size=$(stat -c %s "$dir/$1" 2>/dev/null || echo missing)
    [ "$size" = "$2" ] || { echo "FAIL size $1: $size, expected $2 ($dir)"; return 1; }
  }
  check pic.bVK "$expected" || return 1
  if [ "$pixpal" = 2 ]; then
    [ ! -e "$dir/Fpic.bVK" ] || { echo "FAIL Fpic.bVK written with two bitmaps ($dir)"; return 1; }
  else
    check Fpic.bVK "$expected" || return 1
  fi
  if [ "$pixpal" = 3 ]; then check picF2.bVK "$bitmap" || return 1; fi
  rm -rf "$dir"
}
export -f run_one

for mode in 0 1 2 3 4; do for pixpal in 1 2 3; do for dith in 0 1 2 3 4 5; do
  for ed in 0 1 2 3; do for blocks in 1 2 3 4 5 6; do
    echo "$mode $pixpal $dith $ed $blocks"
  done; done
done; done; done > "$work/combos"
total=$(wc -l < "$work/combos")
echo "running $total combinations with $jobs jobs"
if xargs -P "$jobs" -L 1 bash -c 'run_one "$0" "$1" $2 $3 $4 $5 $6' "$brenvik" "$work" < "$work/combos"; then
  echo "sweep: $total combinations passed"
else
  echo "sweep: failures above"; exit 1
fi
