#!/usr/bin/env bash
# Takes the screenshots the AppStream metadata shows, from the built game on
# a virtual screen: a half-assembled 100-piece puzzle, and the same puzzle
# with the overview map open.
# Usage: take_screenshots.sh PAVALO PAVALO_TOOL PICTURE OUT_DIR
set -euo pipefail
game=$1 tool=$2 picture=$3 out=$4
mkdir -p "$out"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
"$tool" cut --picture "$picture" --pieces 100 --seed 11 --play-area 1280x720 --out "$home/cut.gvp" >/dev/null
"$tool" solve "$home/cut.gvp" --pieces "$(seq -s, 0 2 98)" --out "$home/half.gvp" >/dev/null
shoot() {
  local name=$1
  shift
  TAVORN_HOME="$home/data" SDL_AUDIODRIVER=dummy timeout 90 xvfb-run -a -s "-screen 0 1280x720x24" \
    env "$@" "$game" --window 1280x720 --open "$home/half.gvp" --screenshot "$out/$name.png"
  test -s "$out/$name.png" || { echo "no screenshot $name was taken" >&2; exit 1; }
}
shoot puzzle
# The side windows are windows of their own: the whole screen is taken.
shoot window-only PAVALO_DEBUG_COMMANDS="32819,shot" PAVALO_DEBUG_SHOT="$out/overview.png"
rm -f "$out/window-only.png"
test -s "$out/overview.png" || { echo "no screenshot overview was taken" >&2; exit 1; }
echo "screenshots in $out"
