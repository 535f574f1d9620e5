#!/usr/bin/env bash
# Checks an installed Pavalo: installs BUILD_DIR into a temporary prefix,
# starts the installed game on a virtual screen with a new puzzle of an
# installed sample until it saves a screenshot, runs the installed
# pavalo-tool on a sample, then builds the Debian package and runs lintian
# on it (errors fail; the warnings left are listed in the README).
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

echo "-- cmake --install into a temporary prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/pavalo bin/pavalo-tool share/pavalo/gfx/tile.bmp share/pavalo/gfx/splash.wda \
         share/pavalo/samples/sunset-harbour.jpg share/applications/io.github.pavalo.Pavalo.desktop \
         share/metainfo/io.github.pavalo.Pavalo.metainfo.xml share/mime/packages/io.github.pavalo.Pavalo.xml \
         share/icons/hicolor/scalable/apps/io.github.pavalo.Pavalo.svg \
         share/icons/hicolor/48x48/apps/io.github.pavalo.Pavalo.png \
         share/man/man6/pavalo.6.gz share/man/man6/pavalo-tool.6.gz; do
  test -s "$prefix/$f" || { echo "not installed: $f"; exit 1; }
done
# Nothing installed may name the build or source folder: the programs find
# their content relative to themselves (debug information aside, which the
# package strips).
src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
if grep -rlF -e "$build" -e "$src" "$prefix/share"; then
  echo "installed files above name the build or source folder"; exit 1
fi
for program in pavalo pavalo-tool; do
  objcopy --strip-debug "$prefix/bin/$program" "$work/$program.stripped"
  if strings "$work/$program.stripped" | grep -F "$build" | grep -q .; then
    echo "bin/$program names the build folder:"
    strings "$work/$program.stripped" | grep -F "$build" | head -5
    exit 1
  fi
done

echo "-- the install, moved elsewhere"
# A relocated install must find its content beside its programs.
mv "$prefix" "$work/moved"
prefix="$work/moved"

echo "-- the installed pavalo-tool on an installed sample"
"$prefix/bin/pavalo-tool" probe "$prefix/share/pavalo/samples/balloons.bmp"
"$prefix/bin/pavalo-tool" cut --picture "$prefix/share/pavalo/samples/sunset-harbour.jpg" --pieces 60 --seed 3 \
  --out "$work/sample.gvp" >/dev/null
"$prefix/bin/pavalo-tool" info "$work/sample.gvp"

echo "-- the installed game on a virtual screen"
if command -v xvfb-run >/dev/null; then
  shot="$work/installed.png"
  # The bare file name form, as a launcher passes it: a saved puzzle opens.
  env -u PAVALO_SHARE TAVORN_HOME="$work/home" SDL_AUDIODRIVER=dummy timeout 90 \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$prefix/bin/pavalo" --window 1024x768 "$work/sample.gvp" --screenshot "$shot"
  test -s "$shot" || { echo "the installed game took no screenshot"; exit 1; }
  # The data folder received the installed content.
  test -s "$work/home/gfx/tile.bmp" || { echo "the installed game did not find share/pavalo"; exit 1; }
  test -s "$work/home/samples/balloons.bmp"
else
  echo "SKIPPED the installed game: xvfb-run is not installed"
fi

echo "-- Debian package"
if ! command -v dpkg-shlibdeps >/dev/null || ! command -v lintian >/dev/null; then
  echo "SKIPPED the package: dpkg-dev or lintian is not installed (scripts/setup.sh installs them)"
  exit 0
fi
rm -f "$build"/pavalo_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/pavalo_*.deb)
dpkg-deb --field "$deb" Package Version Depends Recommends
dpkg-deb --contents "$deb" | awk '{print $6}' > "$work/contents"
grep -q '^./usr/games/pavalo$' "$work/contents"
grep -q '^./usr/share/applications/io.github.pavalo.Pavalo.desktop$' "$work/contents"
# The package's programs find the package's content.
dpkg-deb -x "$deb" "$work/unpacked"
"$work/unpacked/usr/games/pavalo-tool" probe "$work/unpacked/usr/share/pavalo/samples/stained-glass.bmp" >/dev/null
# lintian: errors fail the check; warnings are printed.
lintian --no-tag-display-limit --fail-on error "$deb" | tee "$work/lintian"
echo "lintian: $(grep -c '^E:' "$work/lintian" || true) errors, $(grep -c '^W:' "$work/lintian" || true) warnings"
echo "install checks passed"
