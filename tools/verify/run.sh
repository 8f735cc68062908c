#!/usr/bin/env bash
# Runs every oracle of the verify build in turn and ends with one summary line per oracle.
# Usage: tools/verify/run.sh BUILD_DIR [QUICK]
# Each oracle prints its own progress and tables, and as its last line
#   "verify <name>: <checked> checked, <disagreements> disagreements"
# and exits 1 when it found a disagreement in a cached or incremental value.
set -uo pipefail
build=${1:?build directory}
quick=${2:-}
summary=()
status=0
for program in "$build"/verify_*; do
  [ -x "$program" ] || continue
  name=$(basename "$program")
  echo "== $name"
  start=$SECONDS
  if [ -n "$quick" ]; then "$program" --quick | tee "$build/$name.out"; else "$program" | tee "$build/$name.out"; fi
  rc=${PIPESTATUS[0]}
  [ "$rc" -eq 0 ] || status=1
  summary+=("$(tail -n 1 "$build/$name.out") (exit $rc, $((SECONDS - start)) s)")
done
echo
echo "== summary"
printf '%s\n' "${summary[@]}"
exit $status
