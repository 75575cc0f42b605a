#!/usr/bin/env bash
# Reads the display routine's beam timing back from Hatari's CPU trace: for
# each mode, the line and cycle of the first instruction after the beam lock
# (the second of the two locks, the one the timing counts from) and of every
# entry into the frame loop, and the cycles between entries (one frame: 313
# lines of 512 cycles, 160256). These figures set LOCK_EXIT and check
# M0/M1/M2_START in ste/display.S and mode 3's entry at line 33, cycle 0 in
# ste/overscan.S; the pixel column of a palette write (COLUMN_CYCLE,
# M3_COLUMN_CYCLE) is checked by tools/st-check.sh.
#
#   tools/st-calibrate.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
host=$build/bin/ste-host
template=$build/bin/ste/bvk-rom.img
object=$build/ste/bvk-rom.img.o
for f in "$host" "$template" "$object"; do
    [ -e "$f" ] || { echo "st-calibrate: $f is missing; build first" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
m68k-linux-gnu-nm "$object" >"$work/symbols"
symbol() { awk -v n="$1" '$3==n{print $1}' "$work/symbols"; }
routine=$(symbol routine)
# The ROM copies the routine to RAM at 0x30000 before running it.
in_ram() { printf "%08x" $((0x30000 + 0x$1 - 0x$routine)); }

for mode in 0 1 2 3; do
    vbls=14
    case $mode in
        0) size=53600; shift=5 ;;
        1) size=64000; shift=3 ;;
        2) size=51200; shift=5 ;;
        3) size=69616; shift=2; vbls=34 ;;  # its set-up takes about 20 frames
    esac
    head -c "$size" /dev/zero >"$work/blank.bVK"
    "$host" embed "$template" "$work/blank.bVK" --mode=$mode --shiftpixels=$shift -o "$work/rom.img"
    # The lock ends with lsl.w; the instruction after the last one is the
    # first one locked to the beam.
    m68k-linux-gnu-objdump -d "$object" --start-address=0x"$(symbol "enter_$mode")" \
        --stop-address=0x"$(symbol "frame_$mode")" >"$work/code"
    lock=$(in_ram "$(awk '/lslw %d7,%d6/{getline; sub(":", "", $1); last = $1} END{print last}' "$work/code")")
    frame=$(in_ram "$(symbol "frame_$mode")")
    HOME=$work SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
        hatari --tos "$work/rom.img" --machine ste --memsize 1 --patch-tos false --fast-boot false \
            --sound off --frameskips 0 --statusbar false --drive-led false --confirm-quit false \
            --run-vbls "$vbls" --trace cpu_disasm --trace-file /dev/stdout </dev/null 2>/dev/null |
        grep -E ": ($lock|$frame) " >"$work/trace" || true
    echo "mode $mode:"
    # Trace lines: "... CYCLE@ LINE TOTAL : ADDRESS ..." (cycle within the line).
    sed -E 's/.* ([0-9]+)@ *([0-9]+) ([0-9]+) : ([0-9a-f]+) .*/\1 \2 \3 \4/' "$work/trace" |
        awk -v lock="$lock" '
            $4 == lock { printf "  after the lock: line %d cycle %d\n", $2, $1; next }
            { if (last) printf "  frame loop: line %d cycle %d, %d cycles after the previous entry\n", $2, $1, $3 - last
              else printf "  frame loop: line %d cycle %d\n", $2, $1
              last = $3 }'
done
