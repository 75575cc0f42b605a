#!/usr/bin/env bash
# Peak memory of zorpamux-cli against the number of frames it packs.
#
# Generates a series of picture files (empty ones: the writer zero-fills
# short files, so only the file count matters) and an 8-bit WAV long enough
# for every frame, then packs the first N frames for each N given and prints
# the maximum resident set size reported by /usr/bin/time -v.
#
# Usage: bench/container_memory.sh [ZORPAMUX_CLI] [FRAME_COUNT...]
#   defaults: zorpamux-cli of the build-mux tree, frame counts 100 and 3000
set -euo pipefail

build="$(dirname "$0")/../build-mux"
default_cli="$build/bin/zorpamux-cli"
[ -x "$default_cli" ] || default_cli="$build/multiplexer/zorpamux-cli"
cli=${1:-"$default_cli"}
shift || true
counts=("$@")
if [ ${#counts[@]} -eq 0 ]; then
    counts=(100 3000)
fi
if [ ! -x "$cli" ]; then
    echo "container_memory.sh: $cli is not an executable zorpamux-cli" >&2
    exit 1
fi
if [ ! -x /usr/bin/time ]; then
    echo "container_memory.sh: needs /usr/bin/time (Debian package 'time')" >&2
    exit 1
fi

largest=0
for n in "${counts[@]}"; do
    if ! [[ "$n" =~ ^[0-9]+$ ]] || [ "$n" -lt 1 ] || [ "$n" -gt 100000 ]; then
        echo "container_memory.sh: frame count '$n' must be 1..100000" >&2
        exit 1
    fi
    [ "$n" -gt "$largest" ] && largest=$n
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zorpa-memory.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Picture files FRAME00000.bVK .. for the largest series.
(cd "$work" && for ((f = 0; f < largest; f++)); do : >"$(printf 'FRAME%05d.bVK' "$f")"; done)
# 44-byte header and 2048 bytes of sound per frame plus the pre-roll.
head -c $((44 + 8192 + 2048 * largest)) /dev/urandom >"$work/sound.wav"

printf '%8s  %14s  %12s\n' frames container_bytes max_rss_kib
for n in "${counts[@]}"; do
    out="$work/out$n.zrp"
    /usr/bin/time -v -o "$work/time$n.txt" \
        "$cli" -p "$work/FRAME00000.bVK" -s "$work/sound.wav" -S 0 -L $((n - 1)) -o "$out"
    rss=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$work/time$n.txt")
    printf '%8d  %14d  %12d\n' "$n" "$(stat -c %s "$out")" "$rss"
    rm -f "$out"
done
