#!/usr/bin/env bash
# Drives a multi-threaded engine through pipes the way a GUI does, with 2 and then 4 search
# threads: timed, infinite, pondering and depth-limited searches, each answered by one legal-
# looking bestmove, then "quit". Fails when the engine misbehaves, ends with another status or
# writes a sanitizer report to its error output.
#   usage: tools/mp-pipe-check.sh ENGINE [THREADS...]
set -uo pipefail
engine=${1:?usage: $0 ENGINE [THREADS...]}
shift
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(2 4)

fail() { echo "mp-pipe-check: $*" >&2; exit 1; }

run_with_threads() {
  local threads=$1 errors line best
  errors=$(mktemp)
  coproc ENGINE { exec "$engine" 2>"$errors"; }
  send() { printf '%s\n' "$1" >&"${ENGINE[1]}"; }
  # Reads lines until one starts with $1; gives up after $2 seconds without such a line.
  expect() {
    local deadline=$((SECONDS + $2))
    while [ $SECONDS -lt $deadline ]; do
      IFS= read -r -t $((deadline - SECONDS + 1)) line <&"${ENGINE[0]}" || return 1
      case $line in "$1"*) return 0 ;; esac
    done
    return 1
  }
  # One search: the go line, an optional command after a pause, then exactly one bestmove.
  search() {
    send "$1"
    if [ -n "${2:-}" ]; then sleep "$3"; send "$2"; fi
    expect "bestmove" 120 || fail "$threads threads: no bestmove for '$1'"
    best=${line#bestmove }
    best=${best%% *}
    [[ $best =~ ^[a-h][1-8][a-h][1-8][nbrq]?$ ]] || fail "$threads threads: '$line' after '$1'"
  }
  send "uci"
  expect "option name Threads" 60 || fail "no Threads option"
  local most=${line##* max }
  most=${most%% *}
  expect "uciok" 60 || fail "no uciok"
  if [ "$threads" -gt "$most" ]; then
    # The option offers one thread per processor; the in-process parallel tests cover more.
    echo "mp-pipe-check: $threads threads skipped, this machine offers $most"
    send "quit"
    wait "$ENGINE_PID"
    rm -f "$errors"
    return 0
  fi
  send "setoption name Threads value $threads"
  send "setoption name Hash value 16"
  send "isready"
  expect "readyok" 60 || fail "no readyok with $threads threads"
  send "position startpos moves e2e4 e7e5 g1f3 b8c6"
  search "go movetime 1500"
  search "go infinite" "stop" 1
  send "position fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 8"
  search "go depth 7"
  search "go ponder wtime 4000 btime 4000" "ponderhit" 0.5
  send "ucinewgame"
  send "position fen 8/5pk1/6p1/8/3R4/6P1/5PKP/3r4 w - - 0 1"
  search "go wtime 2000 btime 2000 winc 100 binc 100"
  send "quit"
  wait "$ENGINE_PID"
  local status=$?
  if [ $status -ne 0 ] || grep -q "Sanitizer" "$errors"; then
    cat "$errors" >&2
    rm -f "$errors"
    fail "$threads threads: exit status $status"
  fi
  rm -f "$errors"
  echo "mp-pipe-check: $threads threads ok"
}

for n in "${counts[@]}"; do run_with_threads "$n"; done
