#!/usr/bin/env bash
# Distributed testing frameworks build an engine with `make EXE=PATH` from the repository root
# and read the last line of `PATH bench`. Builds that way into a new nested directory, reusing
# the given build directory (so the engine is only brought up to date, not rebuilt), and checks
# that the copy prints `nodes N nps M` last, with the same N as the build's own engine.
# Usage: make_exe_test.sh SOURCE_ROOT BUILD_DIR ENGINE
set -uo pipefail
root=${1:?source root} build=${2:?build directory} engine=${3:?engine}
# The outer make's flags and a compiler in the environment would choose another build.
unset CXX MAKEFLAGS MFLAGS MAKELEVEL
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
exe=$work/openbench/out/tarrow

if ! make -C "$root" EXE="$exe" BUILD="$build" JOBS=2 >"$work/make.log" 2>&1; then
  echo "FAIL: make EXE=$exe failed:"; cat "$work/make.log"; exit 1
fi
[ -x "$exe" ] || { echo "FAIL: make EXE=$exe left no program there"; exit 1; }

source "$(dirname "$0")/bench_nodes.sh"
copy=$(bench_nodes "$exe") || exit 1
own=$(bench_nodes "$engine") || exit 1
if [ "$copy" != "$own" ]; then
  echo "FAIL: $exe bench searched $copy nodes, $engine bench $own"; exit 1
fi
echo "PASS: make EXE built $exe; bench nodes $copy"
