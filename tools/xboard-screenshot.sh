#!/usr/bin/env bash
# Shows Tarrow playing in a real GUI: starts a virtual X display (Xvfb), runs xboard with
# Tarrow on both sides through polyglot (the UCI-to-xboard adapter), lets them play for a few
# seconds and saves a screenshot of the board as a small PNG.
# Usage: tools/xboard-screenshot.sh [ENGINE] [OUTPUT.png] [SECONDS]
# Needs: apt-get install xvfb x11-utils xboard polyglot imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
engine=$(realpath "${1:-build/engine}")
output=$(realpath -m "${2:-doc/xboard.png}")
seconds=${3:-12}
export PATH="$PATH:/usr/games"
for tool in Xvfb xboard polyglot xwininfo import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d)  # the engines' learning files and xboard's settings stay out of the tree
display=:$((90 + RANDOM % 100))
cleanup() {
  kill ${gui:-} ${xvfb:-} 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 800x700x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
adapter="polyglot -noini -ec $engine"
DISPLAY=$display xboard -fcp "$adapter" -fd "$work" -scp "$adapter" -sd "$work" \
  -initialMode TwoMachines -tc 0:30 -inc 0 -size Medium -coords \
  -liteBackTextureFile "" -darkBackTextureFile "" -showThinking true \
  -settingsFile /dev/null -saveSettingsOnExit false -popupExitMessage false \
  >"$work/xboard.log" 2>&1 &
gui=$!
sleep "$seconds"
kill -0 "$gui" 2>/dev/null || { echo "xboard ended early:" >&2; cat "$work/xboard.log" >&2; exit 1; }
# The board window under its title (there is no window manager to draw one), reduced to a
# small palette.
window=$(DISPLAY=$display xwininfo -root -children | grep -m1 ' vs\. ' || true)
[ -n "$window" ] || { echo "no game window found" >&2; exit 1; }
id=$(echo "$window" | awk '{print $1}')
title=$(echo "$window" | sed 's/^[^"]*"\([^"]*\)".*/\1/')
DISPLAY=$display import -window "$id" "$work/board.png"
convert "$work/board.png" -background '#d8d8d8' -gravity north -splice 0x26 \
  -pointsize 16 -annotate +0+4 "xboard: $title" -colors 64 -strip "PNG8:$output"
echo "wrote $output ($(stat -c %s "$output") bytes)"
