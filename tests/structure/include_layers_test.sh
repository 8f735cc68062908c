#!/usr/bin/env bash
# The source folders form layers, and a file may include only from its own layer or below:
#   platform < core < board < eval < search = learn = tablebase < driver
# (learning and the tablebase module sit beside the search: it calls them, they read the
# table and the board). Also no header or source may reach itself through its includes.
# Usage: include_layers_test.sh SOURCE_ROOT
set -uo pipefail
root=${1:?source root}/src
declare -A layer=([platform]=0 [core]=1 [board]=2 [eval]=3 [search]=4 [learn]=4 [tablebase]=4 [driver]=5)
failures=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
while IFS= read -r file; do
  rel=${file#"$root"/}
  from=${rel%%/*}
  [ -n "${layer[$from]+x}" ] || { echo "unknown folder: $rel"; failures=$((failures + 1)); continue; }
  while IFS= read -r inc; do
    to=${inc%%/*}
    [ -n "${layer[$to]+x}" ] || continue
    if [ "${layer[$to]}" -gt "${layer[$from]}" ]; then
      echo "upward include: $rel includes $inc ($from may not depend on $to)"
      failures=$((failures + 1))
    fi
    # Edges for the circle check: a source file stands for its header's unit.
    echo "${rel%.*} ${inc%.*}" >> "$edges"
  done < <(sed -n 's/^#include "\([a-z_]*\/[^"]*\)".*/\1/p' "$file")
done < <(find "$root" -name '*.h' -o -name '*.cpp')
# tsort names the members of every loop on standard error.
loops=$(awk '$1 != $2' "$edges" | tsort 2>&1 >/dev/null)
if [ -n "$loops" ]; then
  echo "include circle:"
  echo "$loops"
  failures=$((failures + 1))
fi
if [ "$failures" -gt 0 ]; then
  echo "$failures layering faults"
  exit 1
fi
echo "include layers: every include goes downward or sideways, no circle"
