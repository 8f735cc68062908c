#!/usr/bin/env bash
# The manual page must name every option the programs announce to a GUI, and render without
# a single groff warning.  Usage: manpage_test.sh MANPAGE ENGINE ENGINE_MP
set -uo pipefail
page=${1:?usage: $0 MANPAGE ENGINE ENGINE_MP}
engine=$2
engine_mp=$3
status=0
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
engine=$(absolute "$engine")
engine_mp=$(absolute "$engine_mp")

workdir=$(mktemp -d)  # the engine may write its learning file where it runs
trap 'rm -rf "$workdir"' EXIT
for program in "$engine" "$engine_mp"; do
  options=$(cd "$workdir" && printf 'uci\nquit\n' | "$program" | sed -n 's/^option name \(.*\) type .*/\1/p')
  if [ -z "$options" ]; then
    echo "FAIL: $program announced no options"; status=1
  fi
  while IFS= read -r name; do
    [ -z "$name" ] && continue
    if ! grep -qF -- "$name" "$page"; then
      echo "FAIL: option '$name' of $(basename "$program") is not in the manual page"; status=1
    fi
  done <<< "$options"
done

if command -v groff >/dev/null 2>&1; then
  warnings=$(groff -ww -man -z "$page" 2>&1)
  if [ -n "$warnings" ]; then
    echo "FAIL: groff -ww warns:"; echo "$warnings"; status=1
  fi
else
  echo "groff is not installed: rendering not checked"
fi
[ $status -eq 0 ] && echo "OK: every option documented"
exit $status
