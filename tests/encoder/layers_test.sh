#!/usr/bin/env bash
# The layer check passes on the tree as it is and fails, naming the file and
# the folders, when a lower folder includes a higher one or a folder is not
# in its table.
#   tests/encoder/layers_test.sh REPOSITORY
set -euo pipefail
repo=$1
check=$repo/tools/check-layers.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

bash "$check" "$repo" || fail "the tree breaks the layer order"

# Cases: file to add the include to, the include, the expected message.
while IFS='|' read -r file include expected; do
  rm -rf "$work/tree" && mkdir -p "$work/tree" && cp -r "$repo/encoder" "$work/tree/"
  mkdir -p "$(dirname "$work/tree/$file")"
  printf '#include "%s"\n' "$include" >> "$work/tree/$file"
  if output=$(bash "$check" "$work/tree"); then fail "$file -> $include was accepted"; fi
  grep -qF "$expected" <<<"$output" || fail "$file -> $include: got '$output', want '$expected'"
done <<'CASES'
encoder/state/state.h|encoder/colour/colour.h|encoder/state/state.h:
encoder/colour/colour.h|encoder/search/distances.h|encoder/colour/ may not include encoder/search/
encoder/search/distances.cpp|encoder/optimiser/candidates.h|encoder/search/ may not include encoder/optimiser/
encoder/conversion/diffusion.cpp|encoder/search/distances.h|encoder/conversion/ may not include encoder/search/
encoder/output/writers.cpp|encoder/driver/block_loop.h|encoder/output/ may not include encoder/driver/
encoder/driver/convert.cpp|encoder/frontend/run.h|encoder/driver/ may not include encoder/frontend/
encoder/extra/thing.h|encoder/state/state.h|encoder/extra/: folder missing from the layer table
CASES
echo "layer check: ok"
