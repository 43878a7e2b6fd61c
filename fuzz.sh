#!/usr/bin/env bash
# Runs every fuzz target for SECONDS (default 60) each, one after the other, in build-fuzz:
# clang with AddressSanitizer and UndefinedBehaviorSanitizer, the libraries under test built
# with coverage for libFuzzer. What a target learns stays in build-fuzz/fuzz/corpus-<name>.
set -euo pipefail
cd "$(dirname "$0")"
seconds="${1:-60}"
targets=(settings nameformat valuetext rtf preprocessor activation variabletable condition)
# The document readers of Import Text(s).
targets+=(docx odt html md pdf)

./scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVEXANA_SANITIZE=ON -DVEXANA_FUZZ=ON -DVEXANA_TESTS=OFF -DVEXANA_BENCH=OFF >/dev/null
cmake --build build-fuzz --target "${targets[@]}"
# Each target's seeds: fuzz/corpus/<name>; the RTF reader's also the real documents the tests
# use. A crash leaves its input in build-fuzz/fuzz/.
for name in "${targets[@]}"; do
  seeds=("fuzz/corpus/$name")
  limits=()
  # The real documents run to 133 KB: mutations are kept shorter, for more runs a second.
  [ "$name" = rtf ] && seeds+=("tests/data/rtf") && limits=(-max_len=16384)
  work="build-fuzz/fuzz/corpus-$name"
  mkdir -p "$work"
  echo "== $name ($seconds s)"
  "build-fuzz/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 "${limits[@]}" \
    -artifact_prefix="build-fuzz/fuzz/$name-" "$work" "${seeds[@]}"
done
