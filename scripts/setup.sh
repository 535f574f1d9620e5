#!/usr/bin/env bash
# Installs the Debian packages Pavalo needs to build, run and test.
# Idempotent: installs only what is missing. The one place for packages.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config ccache git
  # tests, benchmarks, fuzzing
  googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # picture loading (JPEG, PNG, WebP); PNG also for the generated icons
  libjpeg62-turbo-dev libpng-dev libwebp-dev
  # the window front end, and a virtual screen for its tests
  qt6-base-dev xvfb xauth
  # sound effects, music (MIDI through a General-MIDI soundfont) and CD audio
  libsdl2-dev libsdl2-mixer-dev libfluidsynth-dev fluidsynth timgm6mb-soundfont libcdio-dev
  # network sessions, and the HTTP picture download
  libenet-dev libcurl4-openssl-dev
  # movies
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  # checks of the install: desktop entry, AppStream metadata, file types,
  # man pages, the Debian package and its dependencies
  desktop-file-utils appstream shared-mime-info libxml2-utils man-db lintian dpkg-dev file binutils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
