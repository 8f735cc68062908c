#!/usr/bin/env bash
# Plays the first move of a game through Debian's polyglot, the adapter that lets xboard-protocol
# GUIs (xboard, cutechess in xboard mode, ICS clients) drive a UCI engine. Passes when the
# engine, after the opponent's 1.e4, answers with one of Black's twenty legal replies.
# Usage: polyglot_xboard_test.sh ENGINE.  Exit 77 (skipped) when polyglot is not installed.
set -uo pipefail
engine=${1:?usage: $0 ENGINE}
polyglot=$(command -v polyglot || true)
[ -z "$polyglot" ] && [ -x /usr/games/polyglot ] && polyglot=/usr/games/polyglot
if [ -z "$polyglot" ]; then
  echo "SKIPPED: polyglot is not installed (apt-get install polyglot)"
  exit 77
fi
case $engine in /*) ;; *) engine=$PWD/$engine ;; esac

# The engine writes its learning file into the working directory: keep that out of the tree.
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT
cd "$workdir" || exit 1

coproc PG { exec "$polyglot" -noini -ec "$engine" 2>&1; }
send() { printf '%s\n' "$1" >&"${PG[1]}"; }
# Reads polyglot's lines until one matches the pattern; fails after the given seconds.
expect_line() {
  local pattern=$1 deadline=$((SECONDS + $2)) line
  while [ $SECONDS -lt $deadline ]; do
    IFS= read -r -t $((deadline - SECONDS)) line <&"${PG[0]}" || break
    if [[ $line =~ $pattern ]]; then REPLY=$line; return 0; fi
  done
  return 1
}

send xboard
send "protover 2"
# The engine calibrates its speed for about a second before it answers polyglot's "uci".
if ! expect_line '^feature .*done=1' 20; then
  echo "FAIL: no 'feature done=1' after protover 2"; exit 1
fi
send new
send "st 1"  # one second a move keeps the test short
send "usermove e2e4"
if ! expect_line '^move ' 60; then
  echo "FAIL: no move after usermove e2e4"; exit 1
fi
move=${REPLY#move }
send quit
wait "$PG_PID" 2>/dev/null

legal=" a7a6 a7a5 b7b6 b7b5 c7c6 c7c5 d7d6 d7d5 e7e6 e7e5 f7f6 f7f5 g7g6 g7g5 h7h6 h7h5 b8a6 b8c6 g8f6 g8h6 "
if [[ $legal != *" $move "* ]]; then
  echo "FAIL: '$move' is not a legal reply to 1.e4"; exit 1
fi
echo "OK: polyglot relayed the engine's reply $move"
