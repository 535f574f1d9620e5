#!/usr/bin/env bash
# Builds the Debian package of Pavalo: package.sh [BUILD_DIR] (default
# build-package). Also takes the AppStream screenshots from the built game
# (BUILD_DIR/data/screenshots). The .deb lands in BUILD_DIR; install it with
#   sudo apt-get install ./BUILD_DIR/pavalo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}

./scripts/setup.sh
./scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAVALO_BENCH=OFF
cmake --build "$dir" --target pavalo_screenshots
(cd "$dir" && cpack -G DEB)
ls "$dir"/pavalo_*.deb
