#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs the whole test suite.
#   tools/run-tests.sh              normal build in build/
#   tools/run-tests.sh --werror     warnings as errors
#   tools/run-tests.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
flags=()
for arg in "$@"; do
  case "$arg" in
    --werror) flags+=(-DWARNINGS_AS_ERRORS=ON) ;;
    --sanitize) dir=build-asan; flags+=(-DENABLE_SANITIZERS=ON -DWARNINGS_AS_ERRORS=ON) ;;
    *) echo "unknown option $arg" >&2; exit 2 ;;
  esac
done
bash tools/setup-debian.sh
cmake -S . -B "$dir" -G Ninja "${flags[@]}"
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j 2
