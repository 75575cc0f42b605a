#!/usr/bin/env bash
# Runs brenvik on every case of a reference folder (caseNN/command.txt, the
# picture's folder, expected outputs) and reports which outputs differ.
# usage: tools/compare_reference.sh BRENVIK REFERENCE_DIR SAMPLES_DIR
set -u
brenvik=$(realpath "$1"); ref=$(realpath "$2"); samples=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for dir in "$ref"/case*/; do
  name=$(basename "$dir")
  read -r picture options < "$dir/command.txt"
  mkdir -p "$work/$name"
  cp "$samples/$picture" "$work/$name/"
  chmod u+w "$work/$name/$picture"
  (cd "$work/$name" && "$brenvik" $options "$picture" > stdout.txt 2> stderr.txt; echo "exit $?" >> stderr.txt)
  sed -i -E 's/[0-9]+\.[0-9]+ seconds/T seconds/; s/in [0-9]+\.[0-9]+ sec/in T sec/' "$work/$name/stdout.txt"
  result="ok"
  for f in "$dir"/*; do
    b=$(basename "$f")
    [ "$b" = command.txt ] && continue
    if ! cmp -s "$f" "$work/$name/$b"; then result="DIFF($b)"; status=1; break; fi
  done
  for f in "$work/$name"/*; do
    b=$(basename "$f"); [ "$b" = "$picture" ] && continue
    [ -e "$dir/$b" ] || { result="$result EXTRA($b)"; status=1; }
  done
  echo "$name [$picture $options]: $result"
done
exit $status
