#!/usr/bin/env bash
# Sets up, builds and runs Pavalo. Until the game window exists this cuts the
# bundled sample picture into a puzzle with pavalo-tool and reports on it.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
./scripts/build.sh build

out=${PAVALO_OUT:-$PWD/out}
mkdir -p "$out"
picture=build/samples/sunset-harbour.jpg
build/tools/pavalo-tool cut --picture "$picture" --pieces 500 --out "$out/sample.gvp"
build/tools/pavalo-tool info "$out/sample.gvp"
echo "Cut $picture into a 500-piece puzzle: $out/sample.gvp"
