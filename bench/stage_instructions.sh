#!/usr/bin/env bash
# Old build against new build on the five runs the encoder's speed is judged
# by: processor time (user+sys), wall time and peak memory of the whole
# process (best of REPEAT runs, peak memory the largest), instructions
# (callgrind), and for each build the instructions per stage.
#   bench/stage_instructions.sh OLD_BRENVIK NEW_BRENVIK
# Environment: REPEAT (default 5), WIDE_SAMPLE (416x229 picture for mode 3,
# default samples/astronaut_416x229.bmp), NO_CALLGRIND=1 to
# skip the instruction counts. Needs python3 and valgrind.
set -euo pipefail
cd "$(dirname "$0")/.."
old=$(realpath "$1")
new=$(realpath "$2")
repeat=${REPEAT:-5}
wide=${WIDE_SAMPLE:-samples/astronaut_416x229.bmp}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$old" "$work/old_brenvik"
cp "$new" "$work/new_brenvik"

# name|picture|options
runs=(
  "default|samples/chelsea_320x200.bmp|"
  "mode3 -3|$wide|--mode=3 -3"
  "pixpal2 -1|samples/chelsea_320x200.bmp|--pixpal=2 -1"
  "blockoflines3|samples/chelsea_320x200.bmp|--blockoflines=3"
  "-1|samples/chelsea_320x200.bmp|-1"
)

# Stages: label and a regular expression for the function whose inclusive
# count it is (older builds' function names too, so both builds are found).
stages=(
  "candidate lists + kernel|build_candidate_lists_|build_candidates[(]"
  "  lists alone|OneColourLists::build[(]|PairLists::build[(]|build_(one|two)_colour_lists[(]"
  "  distance kernel|distance_[12]pix[12]pal[(]|fill_distances_[a-z_]+[(]"
  "local exploration|exploration_locale_fast[(]|anneal_block[(]"
  "  moves (rows)|move_row_|measure_row_"
  "  acceptance exp()|exp@@"
  "  copies (memcpy)|__memcpy_avx_unaligned_erms"
  "all blocks|annealKez[(]|optimise_block[(]"
  "error diffusion|error_diffusion[(]|LineDiffusion::diffuse_through[(]"
  "output files|write_outputs[(]|serialise[(]"
)

# Both builds run REPEAT times each, alternately, so that a change of the
# machine's load hits both alike; processor time (user+sys, microsecond
# resolution), wall time and peak resident memory of every run come from
# the kernel's accounting of the child. Prints "cpu wall rss" for the old
# build, then for the new one: the best time of the runs, the largest peak.
measure_pair() { # old-folder new-folder options...
  local old_dir=$1 new_dir=$2
  shift 2
  python3 - "$repeat" "$work/old_brenvik" "$old_dir" "$work/new_brenvik" "$new_dir" "$@" <<'PY'
import os, sys, time
repeat = int(sys.argv[1])
sides = [(sys.argv[2], sys.argv[3]), (sys.argv[4], sys.argv[5])]
options = sys.argv[6:]
best = [[None, None, 0], [None, None, 0]]
for _ in range(repeat):
    for i, (binary, folder) in enumerate(sides):
        start = time.perf_counter()
        pid = os.fork()
        if pid == 0:
            os.chdir(folder)
            null = os.open(os.devnull, os.O_WRONLY)
            os.dup2(null, 1)
            os.execv(binary, [binary] + options + ["pic.bmp"])
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
        if status != 0:
            sys.exit(f"{binary} failed")
        cpu = usage.ru_utime + usage.ru_stime
        b = best[i]
        b[0] = cpu if b[0] is None else min(b[0], cpu)
        b[1] = wall if b[1] is None else min(b[1], wall)
        b[2] = max(b[2], usage.ru_maxrss)
for cpu, wall, rss in best:
    print(f"{cpu:.4f} {wall:.4f} {rss}", end=" ")
print()
PY
}

instructions() { # binary folder profile options...
  local bin=$1 dir=$2 profile=$3
  shift 3
  (cd "$dir" && valgrind --tool=callgrind --callgrind-out-file="$profile" "$bin" "$@" pic.bmp \
     > /dev/null 2> valgrind.txt)
  callgrind_annotate "$profile" 2> /dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}

# Inclusive count of the function: its largest entry (the entries of code
# inlined from headers are part of it); "-" where the build has no such
# function (inlined into its caller, or not there at all).
stage_count() { # profile function-regex
  callgrind_annotate --inclusive=yes --auto=no --threshold=100 "$1" 2> /dev/null |
    awk -v pattern="$2" '$0 ~ pattern && $1 ~ /^[0-9,]+$/ {
                           gsub(",", "", $1); if ($1 + 0 > most) most = $1 + 0 }
                         END { if (most > 0) printf "%.0f", most; else printf "-" }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2fx", a / b; else print "-" }'; }

printf '%-14s | %-24s | %-24s | %-20s | %-30s\n' run "cpu s old/new" "wall s old/new" \
  "peak kB old/new" "instructions old/new"
profiles=()
n=0
for entry in "${runs[@]}"; do
  IFS='|' read -r name picture options <<< "$entry"
  n=$((n + 1))
  if [ ! -f "$picture" ]; then echo "$name: no picture $picture, skipped"; continue; fi
  for side in old new; do
    mkdir -p "$work/$n/$side"
    cp "$picture" "$work/$n/$side/pic.bmp"
  done
  # shellcheck disable=SC2086
  read -r oc ow om nc nw nm <<< "$(measure_pair "$work/$n/old" "$work/$n/new" $options)"
  oi=- ni=-
  if [ "${NO_CALLGRIND:-0}" != 1 ]; then
    # shellcheck disable=SC2086
    oi=$(instructions "$work/old_brenvik" "$work/$n/old" "$work/$n/old.out" $options)
    # shellcheck disable=SC2086
    ni=$(instructions "$work/new_brenvik" "$work/$n/new" "$work/$n/new.out" $options)
    profiles+=("$name|$work/$n/old.out|$work/$n/new.out")
  fi
  printf '%-14s | %-24s | %-24s | %-20s | %-30s\n' "$name" \
    "$oc / $nc ($(ratio "$oc" "$nc"))" "$ow / $nw ($(ratio "$ow" "$nw"))" "$om / $nm" \
    "$oi / $ni ($(ratio "$oi" "$ni"))"
done

for entry in "${profiles[@]}"; do
  IFS='|' read -r name old_profile new_profile <<< "$entry"
  echo
  echo "instructions per stage, $name (inclusive: a stage counts what it calls)"
  printf '  %-28s %16s %16s\n' stage old new
  for stage in "${stages[@]}"; do
    IFS='|' read -r label pattern <<< "$stage"
    printf '  %-28s %16s %16s\n' "$label" "$(stage_count "$old_profile" "$pattern")" \
      "$(stage_count "$new_profile" "$pattern")"
  done
done
