#!/usr/bin/env bash
# Validates the desktop integration files with the desktop's own tools: the
# menu entry, the AppStream metadata (offline), the file-type definitions and
# the man pages, and the generated icons. Exits 77 (skipped) only when a
# validator is not installed.
# Usage: check_desktop_files.sh ENTRY.desktop METAINFO.xml MIME.xml MAN_DIR ICON_DIR
set -euo pipefail
desktop=$1 metainfo=$2 mime=$3 mandir=$4 icondir=$5
missing=()
for tool in desktop-file-validate appstreamcli xmllint update-mime-database man file; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: not installed: ${missing[*]} (scripts/setup.sh installs them)"
  exit 77
fi

echo "-- desktop-file-validate"
out=$(desktop-file-validate "$desktop" 2>&1) || { echo "$out"; exit 1; }
# It reports hints without failing; a hint is a fault to fix here too.
if [ -n "$out" ]; then echo "$out"; exit 1; fi

echo "-- appstreamcli validate --no-net"
appstreamcli validate --no-net --pedantic "$metainfo"

echo "-- shared-mime-info definitions"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/mime/packages"
cp "$mime" "$work/mime/packages/"
XDG_DATA_DIRS="$work" update-mime-database "$work/mime" 2>&1 | tee "$work/log"
if [ -s "$work/log" ]; then exit 1; fi
# Every type the menu entry opens that is ours must be defined here.
for type in $(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' '); do
  case $type in
    application/x-pavalo-*|video/x-pavalo-*)
      grep -q "^$type:" "$work/mime/globs" || { echo "$type is opened but not defined"; exit 1; } ;;
  esac
done
grep -q '^application/x-pavalo-puzzle:\*\.gvp$' "$work/mime/globs"
grep -q '^application/x-pavalo-library:\*\.gvl$' "$work/mime/globs"
grep -q '^video/x-pavalo-wda:\*\.wda$' "$work/mime/globs"

echo "-- man pages"
for page in "$mandir"/*.6; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then echo "$page: $warnings"; exit 1; fi
done
echo "-- icons"
xmllint --noout "$icondir/pavalo.svg"
for png in "$icondir"/pavalo-*.png; do
  size=${png##*/pavalo-}
  size=${size%.png}
  file "$png" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA" || { file "$png"; exit 1; }
done
echo "all desktop files valid"
