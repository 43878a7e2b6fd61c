#!/usr/bin/env bash
# Runs every fuzz target for SECONDS (default 60) each, on the sanitizer build of ./test.sh.
set -euo pipefail
cd "$(dirname "$0")"
seconds="${1:-60}"

./scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVEXANA_SANITIZE=ON -DVEXANA_FUZZ=ON -DVEXANA_BENCH=OFF >/dev/null
cmake --build build-test
# Each target's seeds: fuzz/corpus/<name>, except the RTF reader's, which starts from the
# real documents the tests use.
for name in settings nameformat valuetext rtf preprocessor activation; do
  seeds="fuzz/corpus/$name"
  [ "$name" = rtf ] && seeds="tests/data/rtf"
  work="build-test/fuzz/corpus-$name"
  mkdir -p "$work"
  echo "== $name ($seconds s)"
  "build-test/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 "$work" "$seeds"
done
