#!/usr/bin/env bash
# Checks that the encoder's folders include one another in one direction
# only: each folder may include the folders listed for it below and nothing
# above or beside it; and that format/, the ground every program stands on,
# includes no project header but its own. Prints every include that breaks
# the order.
#   tools/check-layers.sh [ROOT]   (ROOT: the repository, default this one)
# Exit status 0 when every include is allowed, 1 otherwise.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}

# Folder -> the encoder folders it may include (besides itself). Keep in step
# with docs/architecture.md.
declare -A allowed=(
  [frontend]="api driver output conversion optimiser search colour state"
  [api]="driver output conversion optimiser search colour state"
  [driver]="output conversion optimiser search colour state"
  [output]="conversion colour state"
  [conversion]="colour state"
  [optimiser]="search colour state"
  [search]="colour state"
  [colour]="state"
  [state]=""
)

status=0
for dir in "$root"/encoder/*/; do
  folder=$(basename "$dir")
  if [[ ! -v allowed[$folder] ]]; then
    echo "encoder/$folder/: folder missing from the layer table of tools/check-layers.sh"
    status=1
    continue
  fi
  while IFS= read -r match; do
    file=${match%%:*}
    rest=${match#*:}
    line=${rest%%:*}
    target=$(sed -E 's/.*include[[:space:]]*"encoder\/([^/"]+)\/.*/\1/' <<<"$rest")
    [ "$target" = "$folder" ] && continue
    if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
      echo "${file#"$root"/}:$line: encoder/$folder/ may not include encoder/$target/"
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"encoder/' "$dir" || true)
done
# format/ is the ground: only the standard library and its own headers.
while IFS= read -r match; do
  echo "${match%%:*}:$(cut -d: -f2 <<<"$match"): format/ may include only format/ headers"
  status=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$root"/format |
         grep -vE 'include[[:space:]]*"format/' || true)
exit $status
