#!/usr/bin/env bash
# Builds morek for the benchmark and runs it: bench/run.sh [--rounds N] [--mb M]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
echo "== the passes in isolation (Google Benchmark)"
build/bench/morek_passes_bench --benchmark_min_time=0.2
echo
echo "== whole runs"
python3 bench/run.py --build build/bench "$@"
