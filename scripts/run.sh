#!/usr/bin/env bash
# Sets up, builds and runs Pavalo. Without arguments the game starts with a
# 100-piece puzzle of the bundled sample picture; any arguments are passed to
# the game instead (see README).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
./scripts/build.sh build

if [ $# -eq 0 ]; then
  set -- --new build/samples/sunset-harbour.jpg --pieces 100
fi
exec build/app/pavalo "$@"
