#!/usr/bin/env bash
# Installs what matches need besides Tarrow itself: the opponents and oracles from Debian's
# packages (Glaurung 2.2, Toga II 3.0, Ethereal, Stockfish, and polyglot as an adapter), and the
# referee's one npm dependency (chess.js, from package-lock.json). Safe to run again: it installs
# only what is missing. Needs root and apt-get for the engines; npm for the referee.
set -euo pipefail
cd "$(dirname "$0")"
missing=()
for program in glaurung toga2 ethereal-chess stockfish polyglot; do  # each package's program name
  command -v "$program" >/dev/null 2>&1 || [ -x "/usr/games/$program" ] || missing+=("$program")
done
../apt-install.sh "match engines" "${missing[@]}"
[ -f node_modules/chess.js/package.json ] || npm ci --no-audit --no-fund
