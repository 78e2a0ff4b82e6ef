#!/usr/bin/env bash
# Builds the benchmark (preset "bench": Release, -O2) and runs it. Arguments go to tonalith_bench:
#   scripts/bench.sh                  # full run: 1080p and 2160p, three contents, ~3-5 min
#   scripts/bench.sh --quick          # 1080p only, fewer rounds, ~1 min
#   scripts/bench.sh --filter HSV     # only the cases whose name contains HSV
#   scripts/bench.sh --wall           # wall-clock instead of thread CPU time
# BUILD_DIR (default build/bench) picks the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build/bench}
cmake --preset bench -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target tonalith_bench >/dev/null
exec "$BUILD_DIR/bench/tonalith_bench" "$@"
