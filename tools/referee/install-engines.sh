#!/usr/bin/env bash
# Installs what matches need besides Tarrow itself: the opponents and oracles from Debian's
# packages (Glaurung 2.2, Toga II 3.0, Ethereal, Stockfish, and polyglot as an adapter), and the
# referee's one npm dependency (chess.js, from package-lock.json). Safe to run again: it installs
# only what is missing. Needs root and apt-get for the engines; npm for the referee.
set -euo pipefail
cd "$(dirname "$0")"
missing=()
for pair in glaurung:glaurung toga2:toga2 ethereal-chess:ethereal-chess stockfish:stockfish \
  polyglot:polyglot; do
  program=${pair%%:*} package=${pair#*:}
  command -v "$program" >/dev/null 2>&1 || [ -x "/usr/games/$program" ] || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing match engines: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null 2>&1; then
    echo "Please install: ${missing[*]} (for example: sudo apt-get install ${missing[*]})" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
[ -f node_modules/chess.js/package.json ] || npm ci --no-audit --no-fund
