#!/usr/bin/env bash
# The bench node count identifies the search, so it must not depend on the compiler: builds
# the release engine with clang through `make EXE=... CXX=clang++` (its own build directory,
# BUILD_DIR-clang++, kept between runs so that later runs only bring it up to date) and
# compares its `bench` node count with that of the given engine (the GCC build). A difference
# means the search depends on something the language leaves open: undefined behaviour, an
# unspecified evaluation order, uninitialised data or floating-point contraction.
# Usage: compiler_bench_test.sh SOURCE_ROOT BUILD_DIR ENGINE.  Exit 77 (skipped) without clang++.
set -uo pipefail
root=${1:?source root} build=${2:?build directory} engine=${3:?engine}
if ! command -v clang++ >/dev/null 2>&1; then
  echo "SKIPPED: clang++ is not installed (apt-get install clang)"
  exit 77
fi
unset MAKEFLAGS MFLAGS MAKELEVEL
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
clang_engine=$work/engine-clang

start=$SECONDS
if ! make -C "$root" EXE="$clang_engine" CXX=clang++ BUILD="$build" JOBS=1 >"$work/make.log" 2>&1; then
  echo "FAIL: the clang build failed:"; cat "$work/make.log"; exit 1
fi
echo "clang build: $((SECONDS - start)) s"

source "$(dirname "$0")/bench_nodes.sh"
clang_nodes=$(bench_nodes "$clang_engine") || exit 1
gcc_nodes=$(bench_nodes "$engine") || exit 1
if [ "$clang_nodes" != "$gcc_nodes" ]; then
  echo "FAIL: bench searched $gcc_nodes nodes built by $engine's compiler, $clang_nodes built by clang"
  exit 1
fi
echo "PASS: bench nodes $gcc_nodes with both compilers"
