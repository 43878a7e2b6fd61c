#!/usr/bin/env bash
# Builds the benchmarks optimised and runs them; each prints its figure next to its baseline.
# VEXANA_BENCH_SCALE=0.1 runs a smaller project for a quick look.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh unrtf   # the RTF benchmark compares against it
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXANA_TESTS=OFF >/dev/null
cmake --build build-bench
for b in build-bench/bench/*_bench; do
  echo "== $(basename "$b")"
  "$b" "$@"
done
