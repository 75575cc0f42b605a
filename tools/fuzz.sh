#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in a build tree of their own and runs
# every target for the given number of seconds (default 60) from its seed
# corpus in fuzz/corpus/<target>/. Fails on any crash, sanitizer report, leak,
# timeout or out-of-memory; the inputs that caused it are kept in
# <build tree>/fuzz-findings/.
#
#   tools/fuzz.sh [seconds]
#
# FUZZ_BUILD_DIR overrides the build tree (default: build-fuzz).
set -euo pipefail

seconds=${1:-60}
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "usage: $0 [seconds per target]" >&2
    exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}

targets=()
for corpus in "$root"/fuzz/corpus/*/; do
    targets+=("$(basename "$corpus")")
done

cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_FUZZERS=ON -DBUILD_TESTING=OFF -DBUILD_DIALOG=OFF -DBUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings=$build/fuzz-findings
mkdir -p "$findings"

failed=()
for target in "${targets[@]}"; do
    corpus=$work/corpus-$target
    mkdir -p "$corpus"
    cp "$root/fuzz/corpus/$target"/* "$corpus"/
    log=$work/$target.log
    echo "== $target: ${seconds} s"
    status=0
    # Corpus and artifact paths are absolute: the targets change into a
    # private scratch folder of their own.
    "$build/bin/$target" \
        -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$corpus" >"$log" 2>&1 || status=$?
    grep -E '^stat::number_of_executed_units|^Done' "$log" || true
    if [ "$status" -ne 0 ]; then
        echo "!! $target failed (exit status $status); last lines of its log:"
        tail -n 60 "$log"
        cp "$log" "$findings/$target.log"
        failed+=("$target")
    fi
done

if [ "${#failed[@]}" -ne 0 ]; then
    echo "fuzzing found problems in: ${failed[*]} (inputs in $findings)" >&2
    exit 1
fi
echo "all ${#targets[@]} fuzz targets ran ${seconds} s each without a finding"
