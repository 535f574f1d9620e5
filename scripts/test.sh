#!/usr/bin/env bash
# Sets up and runs every test: the optimised build, its install and Debian
# package, the sanitizer build and a short run of every fuzz target.
# FUZZ_SECONDS sets the length of each fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

echo "== optimised build"
./scripts/build.sh build
ctest --test-dir build --output-on-failure -j 2

echo "== install and package checks"
./scripts/check_install.sh build

echo "== sanitizer build (ASan + UBSan)"
./scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DPAVALO_SANITIZE=ON -DPAVALO_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/sanitizer/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j 2

echo "== fuzz targets (smoke run)"
./scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAVALO_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
ctest --test-dir build-fuzz --output-on-failure -j 2
