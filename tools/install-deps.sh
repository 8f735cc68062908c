#!/usr/bin/env bash
# Installs what the build and CI need on a fresh Debian machine: g++, cmake and GoogleTest, for
# the tablebase tests Debian's Gaviota probing library and its 3-man tables (an oracle), and
# clang with libFuzzer for the fuzzing harnesses (CI runs a short pass of each), and the match
# referee's npm package when Node.js is there (its tests run with the others).
set -euo pipefail
referee="$(dirname "$0")/referee"
if command -v npm >/dev/null 2>&1 && [ ! -f "$referee/node_modules/chess.js/package.json" ]; then
  # Not fatal: without it only the referee's tests are skipped.
  (cd "$referee" && npm ci --no-audit --no-fund --silent) ||
    echo "warning: npm ci in tools/referee failed; the referee's tests will be skipped" >&2
fi
missing=()
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -e /usr/include/gtb-probe.h ] || missing+=(libgaviotatb-dev)
[ -d /usr/share/gaviotatb ] || missing+=(gaviotatb)
command -v clang++ >/dev/null 2>&1 || missing+=(clang)
compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null ||
  missing+=(libclang-rt-dev)
exec "$(dirname "$0")/apt-install.sh" "build dependencies" "${missing[@]}"
