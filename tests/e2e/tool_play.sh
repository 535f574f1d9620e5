#!/usr/bin/env bash
# pavalo-tool play end to end: a puzzle cut from a sample is played through
# the game session's commands; selecting and solving everything completes
# it, the result is a valid saved puzzle, and a wrong command changes nothing.
set -euo pipefail
tool=$1 samples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$tool" cut --picture "$samples/balloons.bmp" --pieces 24 --seed 3 --out "$work/start.gvp" >/dev/null
out=$("$tool" play "$work/start.gvp" select-all solve-selected --out "$work/solved.gvp")
echo "$out" | grep -q "^pieces 20, in place 20, in play 0, completed yes$"
"$tool" info "$work/solved.gvp" >/dev/null

# Arranging without a selection leaves the pieces in play.
"$tool" play "$work/start.gvp" arrange --out "$work/arranged.gvp" | grep -q "in place 0, in play 20, completed no"

# Unknown names are usage errors; nothing is written.
status=0
"$tool" play "$work/start.gvp" no-such-command --out "$work/bad.gvp" 2>/dev/null || status=$?
test "$status" -eq 2
test ! -e "$work/bad.gvp"
echo "tool play: ok"
