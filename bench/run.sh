#!/usr/bin/env bash
# Builds morek for the benchmark and runs it:
#   bench/run.sh [--rounds N] [--mb M]     the filter on generated source
#   bench/run.sh --tree [--rounds N] ...   -i and --check over a tree of files
#   bench/run.sh --tree --posix ...        and -i of a build with every POSIX
#                                          fallback forced, against the default
#   bench/run.sh --changed-lines ...       --changed-lines on a large file
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
if [ "${1:-}" = --changed-lines ]; then
  shift
  python3 bench/changed_lines.py --build build/bench "$@"
  exit
fi
if [ "${1:-}" = --tree ]; then
  shift
  peer=()
  if [ "${1:-}" = --posix ]; then
    shift
    cmake --preset bench-posix >/dev/null
    cmake --build --preset bench-posix >/dev/null
    peer=(--peer build/bench-posix)
  fi
  python3 bench/tree.py --build build/bench "${peer[@]}" "$@"
  exit
fi
echo "== the passes in isolation (Google Benchmark)"
build/bench/morek_passes_bench --benchmark_min_time=0.2
echo
echo "== whole runs"
python3 bench/run.py --build build/bench "$@"
