#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer
# (clang, so the fuzz targets build too; the benchmarks are built so they keep compiling)
# and runs every test with ctest.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVEXANA_SANITIZE=ON -DVEXANA_FUZZ=ON -DVEXANA_BENCH=ON >/dev/null
cmake --build build-test
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-test --output-on-failure -j"$(nproc)" "$@"
