#!/usr/bin/env bash
# Runs the game on a virtual screen with a new 100-piece puzzle, lets it take
# a screenshot of its window and quit, then checks the screenshot.
set -euo pipefail
game=$1 checker=$2 picture=$3 work=$4
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
shot="$work/e2e-window.png"
rm -f "$shot"
TAVORN_HOME="$home" SDL_AUDIODRIVER=dummy timeout 90 xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$game" --window 1280x800 --new "$picture" --pieces 100 --seed 7 --screenshot "$shot"
test -s "$shot" || { echo "no screenshot was taken"; exit 1; }
QT_QPA_PLATFORM=offscreen "$checker" "$shot" "$picture"
