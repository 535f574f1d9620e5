#!/usr/bin/env bash
# Runs the game on a virtual screen with a new 100-piece puzzle of the sample
# movie, takes two screenshots 600 ms apart, and checks that the first shows
# the movie's colours and that the pieces changed between the two.
set -euo pipefail
game=$1 tool=$2 checker=$3 movie=$4 work=$5
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
first="$work/e2e-movie-1.png" second="$work/e2e-movie-2.png" frame="$work/e2e-movie-frame.bmp"
rm -f "$first" "$second" "$frame"
TAVORN_HOME="$home" SDL_AUDIODRIVER=dummy timeout 90 xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$game" --window 1280x800 --new "$movie" --pieces 100 --seed 7 --screenshot "$first" --second-screenshot "$second"
test -s "$first" && test -s "$second" || { echo "the screenshots were not taken"; exit 1; }
"$tool" movie frame "$movie" 0 "$frame"
QT_QPA_PLATFORM=offscreen "$checker" "$first" "$frame"
QT_QPA_PLATFORM=offscreen "$checker" --differ "$first" "$second"
