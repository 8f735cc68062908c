#!/usr/bin/env bash
# Measures what each "UCI_Elo" setting plays like: matches of the engine with
# UCI_LimitStrength against Stockfish with UCI_LimitStrength (Debian's stockfish 15.1, whose
# UCI_Elo scale runs from 1350 to 2850), then the table and fit of levels.js.
#
#   tools/referee/calibrate-levels.sh [ENGINE [OUT_DIR [GAMES]]]
#
# ENGINE defaults to build/engine, OUT_DIR to levels-<date>, GAMES (per point) to 100. Each
# point plays Stockfish at the Elo listed beside it: the same setting where that gives an
# informative score, the bottom of Stockfish's scale below it, and a lower setting where the
# same setting wins nearly every game (found by 20-game probes; see doc/strength.md). Two games
# at a time at 5 s + 0.05 s, Hash 16, openings-balanced.txt; about 10 minutes per 100 games.
# Keep the machine otherwise quiet: Stockfish plays on the clock.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
engine=$(realpath "${1:-build/engine}")
out=${2:-levels-$(date +%Y%m%d)}
games=${3:-100}
mkdir -p "$out"

# setting:anchor pairs
points="1000:1350 1200:1350 1400:1400 1600:1600 1800:1800 2000:1750 2200:1850 2400:1950"

measured=()
for point in $points; do
  setting=${point%:*} anchor=${point#*:}
  pgn=$out/levels-$setting-$anchor.pgn
  echo "UCI_Elo $setting against Stockfish at $anchor, $games games"
  node "$here/referee.js" --engine1 "$engine" --engine2 /usr/games/stockfish \
    --option1 Hash=16 --option1 UCI_LimitStrength=true --option1 UCI_Elo="$setting" \
    --option2 Threads=1 --option2 Hash=16 --option2 UCI_LimitStrength=true --option2 UCI_Elo="$anchor" \
    --games "$games" --tc 5+0.05 --concurrency 2 --openings openings-balanced.txt \
    --pgn "$pgn" | tail -n 4
  measured+=("$setting:$anchor:$pgn")
done
node "$here/levels.js" "${measured[@]}"
