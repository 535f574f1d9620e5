#!/usr/bin/env bash
# pavalo-tool's library and wda commands end to end: a library is created,
# filled, listed, shortened and its thumbnail saved; an animation drawn from
# the program's own frames is encoded again and draws the same frames.
set -euo pipefail
tool=$1 samples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"

# Libraries.
lib=$("$tool" library create Holidays --password secret --data "$work")
test "$lib" = "$work/Holidays.gvl"
grep -q "Holidays.gvl=dword:0" "$XDG_CONFIG_HOME/tavorn/registry.ini"
if "$tool" library create Holidays --data "$work" 2>/dev/null; then echo "a second create must fail"; exit 1; fi
"$tool" library add "$lib" "$samples/balloons.bmp" "$samples/sunset-harbour.jpg" "$samples/sunset-lake.wda" >/dev/null
# The same picture again is refused.
if "$tool" library add "$lib" "$samples/balloons.bmp" 2>"$work/err"; then echo "a duplicate must be refused"; exit 1; fi
grep -q "already exists in the library" "$work/err"
list=$("$tool" library list "$lib")
echo "$list" | grep -q "^count 3$"
echo "$list" | grep -q "^password set$"
echo "$list" | grep -q "sunset-lake"
"$tool" library remove "$lib" 0 | grep -q "2 pictures left"
test "$(stat -c %s "$lib")" -eq $((312 + 2 * 9624))
"$tool" library thumb "$lib" 1 "$work/thumb.bmp"
test "$(stat -c %s "$work/thumb.bmp")" -gt 9216

# Animations: two frames of the about box's animation as BMPs, encoded
# again, must draw the same pictures.
"$tool" wda frame resource:193 0 "$work/f0.bmp"
"$tool" wda frame resource:193 40 "$work/f1.bmp"
"$tool" wda encode "$work/again.wda" "$work/f0.bmp" "$work/f1.bmp" >/dev/null
"$tool" wda info "$work/again.wda" | grep -q "^frames 2$"
"$tool" wda frame "$work/again.wda" 1 "$work/g1.bmp"
cmp "$work/f1.bmp" "$work/g1.bmp"
"$tool" wda frame "$work/again.wda" 1 "$work/g24.bmp" --depth 24
test "$(stat -c %s "$work/g24.bmp")" -gt "$(stat -c %s "$work/g1.bmp")"
echo ok
